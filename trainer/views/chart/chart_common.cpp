#include "chart_data.h"
#include "doc_helpers.h"

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

QString withCount(const QString& format, int count)
{
    QString text = format;
    const qsizetype at = text.indexOf(QLatin1String("%i"));
    if (at >= 0)
        text.replace(at, 2, QString::number(count));
    return text;
}

void addTimeFrame(CChartImpl& chart, const TimeWindow& w, double axisY)
{
    chart.AddBand(0, -w.before, 0, w.before, 0, 1, 0xC0C0C0, true, 0xF5F5F5);
    for (int k = -3; k <= 10; ++k) {
        if (k == 0)
            continue;
        const double x = k * w.window / -10.0;
        chart.AddMarker(x, axisY, QString::asprintf("%-1G", x), true);
    }
}

void forEachWantedPart(const ChartContext& ctx, bool document, bool model,
                       const std::function<void(int part, IShotCollection* shots)>& each)
{
    if (document)
        each(0, ctx.matchShots.get());
    if (model)
        each(1, ctx.modelShots.get());
}

WindowRanges windowRanges(IShotCollection* shots, const TimeWindow& w)
{
    WindowRanges out;
    out.shotCount = countOf(shots);
    ComPtr<IRangeCollection> rc;
    int32_t count = 0;
    if (out.shotCount > 0 && SUCCEEDED(shots->Range(float(-w.window), 0.3f, rc.put())) && rc)
        rc->get_Count(&count);
    if (count < 1)
        return out;
    rc->get_Item(1, out.first.put());
    rc->get_RequestedFirst(&out.requestedFirst);
    rc->get_RequestedLast(&out.requestedLast);
    out.ranges = rc;
    return out;
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
