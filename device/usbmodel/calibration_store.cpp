#include "device/usbmodel/calibration_store.h"

#include <charconv>
#include <cmath>

namespace kavro {

namespace {
constexpr auto kRootPath = "software\\Kavro\\Kavro Professional";
// What the reader looks at of a stored number.
constexpr qsizetype kMaxNumberText = 100;
constexpr double kMinScale = 0.01;
constexpr int32_t kMaxLightLevel = 7;

QString valueName(const QString& prefix, const QString& name)
{
    return prefix + QLatin1Char('.') + name;
}
} // namespace

CalibrationStore CalibrationStore::open()
{
    SettingsKey key;
    SettingsKey::create(SettingsRoot::CurrentUser, QString::fromLatin1(kRootPath), &key);
    return CalibrationStore(key);
}

QString CalibrationStore::keyText(const QString& sensorSerial, const QString& targetSerial)
{
    return sensorSerial + QLatin1Char('.') + targetSerial;
}

std::optional<double> CalibrationStore::readNumber(const QString& name) const
{
    QString text;
    if (!key_.isValid() || FAILED(key_.readString(name, &text)))
        return std::nullopt;
    // Parsed as strtod does in the C locale: leading blanks, then the longest number.
    const QByteArray bytes = text.left(kMaxNumberText).toLatin1().trimmed();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+')
        ++begin;
    double v = 0;
    const auto r = std::from_chars(begin, end, v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool CalibrationStore::writeNumber(const QString& name, double value) const
{
    // QString::asprintf formats in the C locale, whatever the user's locale is.
    return key_.isValid() && SUCCEEDED(key_.writeString(name, QString::asprintf("%f", value)));
}

std::optional<SensorCalibration> CalibrationStore::Load(const QString& keyText, SignalRange range) const
{
    SensorCalibration c;
    for (int i = 0; i < 2; ++i) {
        const auto v = readNumber(valueName(keyText, QStringLiteral("signal%1").arg(i)));
        if (!v || *v < range.low || *v > range.high)
            return std::nullopt;
        c.signal[i] = static_cast<int32_t>(*v);
    }
    const auto angle0 = readNumber(valueName(keyText, QStringLiteral("angle0")));
    const auto dx0 = readNumber(valueName(keyText, QStringLiteral("dx0")));
    const auto dy0 = readNumber(valueName(keyText, QStringLiteral("dy0")));
    const auto corrx = readNumber(valueName(keyText, QStringLiteral("corrx")));
    const auto corry = readNumber(valueName(keyText, QStringLiteral("corry")));
    const auto scale = readNumber(valueName(keyText, QStringLiteral("scale")));
    if (!angle0 || !dx0 || !dy0 || !corrx || !corry || !scale || !(*scale > kMinScale))
        return std::nullopt;
    c.angle0 = *angle0;
    c.dx0 = *dx0;
    c.dy0 = *dy0;
    c.corrx = std::nearbyint(*corrx);
    c.corry = std::nearbyint(*corry);
    c.scale = *scale;
    return c;
}

bool CalibrationStore::Invalidate(const QString& keyText) const
{
    return writeNumber(valueName(keyText, QStringLiteral("scale")), 0);
}

bool CalibrationStore::Save(const QString& keyText, const SensorCalibration& c) const
{
    const QString scaleName = valueName(keyText, QStringLiteral("scale"));
    if (!Invalidate(keyText))
        return false;
    for (int i = 0; i < 2; ++i)
        if (!writeNumber(valueName(keyText, QStringLiteral("signal%1").arg(i)), c.signal[i]))
            return false;
    const std::pair<const char*, double> values[]
        = {{"angle0", c.angle0}, {"dx0", c.dx0}, {"dy0", c.dy0}, {"corrx", c.corrx}, {"corry", c.corry}};
    for (const auto& [name, v] : values)
        if (!writeNumber(valueName(keyText, QString::fromLatin1(name)), v))
            return false;
    return writeNumber(scaleName, c.scale);
}

int32_t CalibrationStore::LoadLightLevel(const QString& targetSerial, const char* name) const
{
    uint32_t v = 0;
    if (!key_.isValid() || FAILED(key_.readDword(valueName(targetSerial, QString::fromLatin1(name)), &v))
        || v > kMaxLightLevel)
        return kMaxLightLevel;
    return static_cast<int32_t>(v);
}

bool CalibrationStore::SaveLightLevel(const QString& targetSerial, const char* name, int32_t level) const
{
    return key_.isValid()
        && SUCCEEDED(key_.writeDword(valueName(targetSerial, QString::fromLatin1(name)), static_cast<uint32_t>(level)));
}

} // namespace kavro
