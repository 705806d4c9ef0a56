#include "live/live_wire.h"

#include <cmath>
#include <cstdio>

namespace kavro::live {

namespace {

int32_t roundViaFloat(double product, int32_t lo, int32_t hi)
{
    const float f = static_cast<float>(product);
    if (std::isnan(f))
        return 0;
    const double r = std::nearbyint(static_cast<double>(f));
    if (r <= lo)
        return lo;
    if (r >= hi)
        return hi;
    return static_cast<int32_t>(r);
}

} // namespace

const char* messageName(Message m)
{
    switch (m) {
    case Message::State: return "KAVRO:STATE";
    case Message::Point: return "KAVRO:POINT";
    case Message::Shot: return "KAVRO:SHOT";
    case Message::Trigger: return "KAVRO:TRIGGER";
    case Message::HeartBeat: return "KAVRO:HEARTBEAT";
    }
    return "";
}

int16_t wireCoordinate(double mm)
{
    return static_cast<int16_t>(roundViaFloat(mm * 20.0, INT16_MIN, INT16_MAX));
}

uint32_t packPoint(double x, double y)
{
    const uint32_t lo = static_cast<uint16_t>(wireCoordinate(x));
    const uint32_t hi = static_cast<uint16_t>(wireCoordinate(y));
    return (hi << 16) | lo;
}

int32_t shotResultParam(double result)
{
    return roundViaFloat(result * 10.0, INT32_MIN, INT32_MAX);
}

QByteArray formatLine(Message m, int32_t wParam, uint32_t lParam)
{
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%s %d %u\n", messageName(m), wParam, lParam);
    return QByteArray(buf, n);
}

std::optional<int32_t> parseRegister(QByteArrayView line)
{
    static constexpr QByteArrayView prefix("KAVRO:REGISTER ");
    if (!line.startsWith(prefix))
        return std::nullopt;
    const QByteArrayView number = line.sliced(prefix.size());
    if (number.isEmpty() || number.size() > 11)
        return std::nullopt;
    bool ok = false;
    const qlonglong v = QByteArray(number.data(), number.size()).toLongLong(&ok, 10);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    for (char c : number)
        if (!(c == '-' || (c >= '0' && c <= '9')))
            return std::nullopt;
    return static_cast<int32_t>(v);
}

QByteArray registeredLine(int32_t flags)
{
    return QByteArrayLiteral("KAVRO:REGISTERED ") + QByteArray::number(flags) + '\n';
}

} // namespace kavro::live
