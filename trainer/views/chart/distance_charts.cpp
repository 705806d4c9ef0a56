// The distance chart (one shot's distance from its area centre, with X and Y and the trigger) and
// the coordination chart (the mean of that distance over all match shots and the model's).
#include "chart_data.h"
#include "chart_doc.h"

#include <algorithm>
#include <cmath>

namespace kavro::charts {
namespace {

constexpr COLORREF kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00C000, kSilver = 0xC0C0C0;

ComPtr<ITargetParams> targetOf(IEventParams* event, int subTarget)
{
    ComPtr<ITargetParams> target;
    if (event)
        event->get_Target(subTarget, target.put());
    return target;
}

// Half the width of area `area` of a sub-target; 0 when it has none.
double areaHalfWidth(IEventParams* event, int subTarget, int area)
{
    ComPtr<ITargetParams> target = targetOf(event, subTarget);
    ComPtr<ITargetElement> element;
    float width = 0;
    if (target && SUCCEEDED(target->get_Areas(area, element.put())) && element)
        element->get_Width(&width);
    return width / 2.0;
}

// The top of a distance scale holding `maxD`: for the two-target event at least the standing
// area's edge, so that both positions' marks are on the scale; else the nearest ring.
double distanceScaleTop(const ChartContext& ctx, ITargetParams* target, double maxD)
{
    if (ctx.targetKind == TargetKind::Biathlon)
        return std::max(maxD, areaHalfWidth(ctx.event.get(), 1, 1));
    return roundUpToRing(target, maxD);
}

// The value markers of a distance scale: the prone/standing area edges of the two-target event,
// else the rings' half diameters labelled with the ring number. `both` adds the negative side.
// Returns the scale's top raised to cover the marks (two targets) or to the nearest ring. With
// `onScaleOnly` the rings beyond that top are left out: their labels would stand outside the
// plot, over the boxes above it.
double addDistanceScale(CChartImpl* top, CChartImpl* bottom, const ChartContext& ctx, ITargetParams* target,
                        double maxD, bool onScaleOnly)
{
    if (ctx.targetKind == TargetKind::Biathlon) {
        const double standing = areaHalfWidth(ctx.event.get(), 1, 1);
        const double prone = areaHalfWidth(ctx.event.get(), 2, 2);
        const std::pair<double, int> marks[] = {{standing, kTextStanding}, {prone, kTextProne}};
        for (const auto& [r, id] : marks) {
            if (top) {
                top->AddMarker(0, r, ctx.str(id), true);
                top->AddMarker(0, -r, ctx.str(id), true);
            }
            if (bottom)
                bottom->AddMarker(0, r, ctx.str(id), true);
        }
        return distanceScaleTop(ctx, target, maxD);
    }
    maxD = distanceScaleTop(ctx, target, maxD);
    for (int n = 1; n <= 10 && target; ++n) {
        float ring = 0;
        if (FAILED(target->get_Ring(n, &ring)) || ring == 0 || (onScaleOnly && ring / 2.0 > maxD))
            continue;
        const QString label = QString::asprintf("%i", n);
        if (top) {
            top->AddMarker(0, ring / 2.0, label, true);
            top->AddMarker(0, -ring / 2.0, label, true);
        }
        if (bottom)
            bottom->AddMarker(0, ring / 2.0, label, true);
    }
    return maxD;
}

} // namespace

void setupDistanceCharts(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx)
{
    top.Clear();
    bottom.Clear();
    top.AddSeries(2, kRed, 15, true);
    top.AddSeries(3, kBlue, 15, true);
    bottom.AddSeries(1, kBlue, 15, true);
    bottom.AddSeries(4, kGreen, 15, true);
    top.SetSeriesName(2, ctx.str(kTextDisplacementX));
    top.SetSeriesName(3, ctx.str(kTextDisplacementY));
    bottom.SetSeriesName(1, ctx.str(kTextAbsoluteDistance));
    bottom.SetSeriesName(4, ctx.str(kTextTrigger));
    for (CChartImpl* c : {&top, &bottom}) {
        c->xCaption = ctx.str(kTextTimeBeforeShot);
        c->yCaption = ctx.str(kTextDistance);
    }
}

void recalcDistance(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx)
{
    top.ClearSeries(2);
    top.ClearSeries(3);
    bottom.ClearSeries(1);
    bottom.ClearSeries(4);
    IShot* shot = ctx.selectedShot.get();
    if (!ctx.hasDocument || !shot || ::isMissed(shot))
        return;
    top.ClearMarkers();
    top.ClearBands();
    bottom.ClearMarkers();
    bottom.ClearBands();

    const TimeWindow& w = ctx.window;
    ComPtr<ITargetParams> target = targetOf(ctx.event.get(), shotSubTarget(shot));
    ComPtr<IRange> r;
    double maxD = 0;
    int32_t first = 0, last = -1;
    if (SUCCEEDED(shot->Range(float(-w.window), 0.3f, r.put())) && r) {
        r->get_First(&first);
        r->get_Last(&last);
        VARIANT_BOOL valid = VARIANT_FALSE;
        r->get_Valid(&valid);
        if (valid != VARIANT_TRUE)
            last = first - 1;
    }
    if (last >= first) {
        const int32_t s = first < 1 && last >= 0 ? 0 : last;
        float sx = 0, sy = 0, cx = 0, cy = 0;
        int32_t area = 0;
        r->get_x(s, &sx);
        r->get_y(s, &sy);
        r->GetNearestArea(sx, sy, &area, &cx, &cy);
        for (int32_t i = first; i <= last; ++i) {
            float x = 0, y = 0;
            r->get_x(i, &x);
            r->get_y(i, &y);
            const double dx = double(x) - cx, dy = double(y) - cy;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double t = rangeSeconds(r.get(), i);
            bottom.AddPoint(1, t, d);
            top.AddPoint(2, t, double(cx) - x);
            top.AddPoint(3, t, double(cy) - y);
            if (i < 1)
                maxD = std::max(maxD, std::fabs(d));
        }
    }
    maxD = addDistanceScale(&top, &bottom, ctx, target.get(), maxD, true);
    addTimeFrame(top, w, 0);
    addTimeFrame(bottom, w, 0);
    for (CChartImpl* c : {&top, &bottom}) {
        c->xMin = -w.window;
        c->xMax = 0.3;
        c->xAxisAt = 0;
        c->yAxisAt = 0;
    }
    bottom.yMin = 0;
    bottom.yMax = maxD;
    top.yMin = -maxD;
    top.yMax = maxD;

    ComPtr<IAimingTrace> trace;
    int32_t channel = -1;
    if (r && SUCCEEDED(r->get_Trace(trace.put())) && trace)
        trace->GetUserData(QStringLiteral("_trigger"), &channel);
    bottom.SetSeriesVisible(4, channel > 0);
    if (channel > 0 && last >= first) {
        int32_t ref = 0;
        if (FAILED(r->get_UserData(channel, 0, &ref)))
            ref = 1;
        // A reference of 0 (no pressure at the shot) would divide by zero: take it as 1.
        if (ref <= 0)
            ref = 1;
        for (int32_t i = first; i <= last; ++i) {
            int32_t v = 0;
            r->get_UserData(channel, i, &v);
            bottom.AddPoint(4, rangeSeconds(r.get(), i), double(v) * maxD / (ref * 1.2));
        }
        for (int p = 20; p <= 120; p += 20)
            bottom.AddMarker(bottom.xMin, bottom.yMin + (bottom.yMax - bottom.yMin) * p / 120.0,
                             QString::asprintf("%i%%", p), true);
    }
}

void setupCoordinationChart(CChartImpl& chart, const ChartContext& ctx)
{
    chart.Clear();
    chart.AddSeries(1, kBlue, 15, true);
    chart.AddSeries(2, kSilver, 15, true);
    chart.AddSeries(3, kBlue, 15, true);
    chart.AddSeries(4, kRed, 15, false);
    chart.AddSeries(5, kRed, 15, false);
    chart.AddSeries(6, kRed, 15, false);
    chart.xCaption = ctx.str(kTextTimeBeforeShot);
    chart.yCaption = ctx.str(kTextDistance);
}

void recalcCoordination(CChartImpl& chart, CoordinationState& state, const ChartContext& ctx, bool document, bool model,
                        bool frame)
{
    if (!ctx.hasDocument) {
        chart.ClearMarkers();
        chart.ClearBands();
        for (int id = 1; id <= 6; ++id)
            chart.ClearSeries(id);
        state = {};
        return;
    }
    const TimeWindow& w = ctx.window;
    if (ctx.progress)
        ctx.progress->begin(kTextCalcCoordination, 4);
    ComPtr<ITargetParams> target = targetOf(ctx.event.get(), 1);
    if (frame) {
        chart.ClearMarkers();
        chart.ClearBands();
        addDistanceScale(nullptr, &chart, ctx, target.get(), 0, false);
        addTimeFrame(chart, w, 0);
    }
    forEachWantedPart(ctx, document, model, [&](int p, IShotCollection* shots) {
        const int base = p == 0 ? 1 : 4;
        if (ctx.progress)
            ctx.progress->step();
        state.count[p] = 0;
        state.max[p] = 0;
        for (int id = base; id < base + 3; ++id)
            chart.ClearSeries(id);
        const WindowRanges wr = windowRanges(shots, w);
        const int32_t count = wr.shotCount;
        state.count[p] = count;
        if (wr.ranges) {
            IRangeCollection* rc = wr.ranges.get();
            IRange* r1 = wr.first.get();
            const int32_t first = wr.requestedFirst, last = wr.requestedLast;
            bool dropped = false;
            for (int32_t i = 0; i >= first; --i) {
                float v = 0;
                rc->get_CoordinationPoint(i, &v);
                if (v <= 0)
                    dropped = true;
                if (v == 0)
                    continue;
                chart.AddPoint(dropped ? base + 1 : base, rangeSeconds(r1, i), std::fabs(v));
                state.max[p] = std::max(state.max[p], double(std::fabs(v)));
            }
            for (int32_t i = 0; i <= last; ++i) {
                float v = 0;
                rc->get_CoordinationPoint(i, &v);
                if (v != 0)
                    chart.AddPoint(base + 2, rangeSeconds(r1, i), std::fabs(v));
            }
        }
        chart.SetSeriesName(
            base, p == 0 || count ? withCount(ctx.str(p == 0 ? kTextCoordination : kTextModel), count) : QString());
    });
    chart.xMin = -w.window;
    chart.xMax = 0.3;
    chart.yMin = 0;
    chart.yMax = distanceScaleTop(ctx, target.get(), std::max(state.max[0], state.max[1]));
    if (ctx.progress)
        ctx.progress->end();
}

} // namespace kavro::charts
