#include "c_format.h"
#include "chart_data.h"

#include <algorithm>
#include <cmath>

namespace kavro::charts {

TimeWindow timeWindow(float traceSeconds, bool showControlInterval2, int controlInterval2)
{
    TimeWindow w;
    w.before = std::max(1.0, double(traceSeconds));
    w.window = w.before;
    if (showControlInterval2)
        w.window = std::max(w.before, double(controlInterval2));
    return w;
}

int targetKindOf(IEventParams* event)
{
    if (!event)
        return 0;
    QString name;
    if (FAILED(event->get_ShortName(&name)))
        return 1;
    static const std::pair<const char*, int> kinds[] = {
        {"BTLN", 2},      {"SP1", 4},       {"SP2", 5},       {"SPF", 6},       {"N4TL3", 7},   {"N4TL15", 8},
        {"MRF-22-10", 9}, {"MRF-32-10", 9}, {"MRF-22-8", 10}, {"MRF-32-8", 10}, {"MRF-22-6", 11}, {"MRF-32-6", 11},
    };
    for (const auto& [shortName, kind] : kinds)
        if (name == QLatin1String(shortName))
            return kind;
    return 1;
}

QString withCount(const QString& format, int count)
{
    QString text = format;
    const qsizetype at = text.indexOf(QLatin1String("%i"));
    if (at >= 0)
        text.replace(at, 2, QString::number(count));
    return text;
}

QString elapsedTimeText(double days, bool shortForm)
{
    const int64_t total = std::llround(std::max(0.0, days) * 86400.0);
    const int hours = static_cast<int>(std::min<int64_t>(total / 3600, 99999));
    const int minutes = static_cast<int>(total / 60 % 60), seconds = static_cast<int>(total % 60);
    if (hours == 0 && shortForm)
        return formatC("%02i:%02i", minutes, seconds);
    return formatC("%02i:%02i:%02i", hours, minutes, seconds);
}

void addTimeFrame(CChartImpl& chart, const TimeWindow& w, double axisY)
{
    chart.AddBand(0, -w.before, 0, w.before, 0, 1, 0xC0C0C0, true, 0xF5F5F5);
    for (int k = -3; k <= 10; ++k) {
        if (k == 0)
            continue;
        const double x = k * w.window / -10.0;
        chart.AddMarker(x, axisY, formatC("%-1G", x), true);
    }
}

double roundUpToRing(ITargetParams* target, double value)
{
    if (!target)
        return value;
    for (int n = 8; n >= 1; --n) {
        float ring = 0;
        if (FAILED(target->get_Ring(n, &ring)) || ring == 0)
            continue;
        if (ring / 2.0 >= value)
            return ring / 2.0;
    }
    return value;
}

} // namespace kavro::charts
