// The time-intervals chart (one bar per match shot at the moment it was fired, the result as its
// height) and the probability charts (how the total moves when every breach is spread).
#include "chart_data.h"
#include "chart_doc.h"
#include "com/numeric.h"
#include "com/oledate.h"

#include <algorithm>
#include <cmath>

namespace kavro::charts {
namespace {

constexpr COLORREF kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00, kSilver = 0xC0C0C0;
constexpr double kTopResult = double(10.9f);

QString clockText(DATE t)
{
    DateFields f;
    if (!dateToFields(t, &f))
        return QString();
    return QString::asprintf("%02i:%02i:%02i", f.hour, f.minute, f.second);
}

COLORREF oneTargetColour(IShot* shot, const ChartContext& ctx)
{
    if (sameObject(shot, ctx.selectedShot.get()))
        return ctx.highlight;
    float r = 0;
    shot->get_Result(&r);
    return r >= 10 ? kRed : kGreen;
}

// Time labels below the axis: "00:00" at the start, the whole span at the end and a fifth of the
// span (in whole `unit`s of seconds) between; all in one unit, in days on the axis.
void addElapsedLabels(CChartImpl& chart, double start, double spanDays, double unitSeconds, double axisY)
{
    const double unitDays = unitSeconds / 86400.0;
    const int64_t units = roundSaturated(static_cast<float>(spanDays / unitDays));
    const int64_t step = std::max<int64_t>(1, units / 5);
    // Labels run up to one step before the span itself, not its rounded count; the span is taken
    // to the millisecond so that a whole number of units compares exactly.
    const double spanMs = std::round(spanDays * 86400000.0);
    const double stepMs = double(step) * unitSeconds * 1000.0;
    for (int64_t k = 1; double(k) * stepMs < spanMs - stepMs; ++k)
        chart.AddMarker(start + double(k * step) * unitDays, axisY,
                        AppendElapsedTime(double(k * step) * unitDays, true), true);
    // Nudged off the ends so that neither counts as a value of the vertical axis.
    chart.AddMarker(start + 1e-7, axisY, AppendElapsedTime(0, true), true);
    chart.AddMarker(start + spanDays - 1e-7, axisY, AppendElapsedTime(spanDays, true), true);
}

void addPulse(CChartImpl& chart, const ChartContext& ctx)
{
    if (ctx.pulse.empty())
        return;
    int pmax = 100;
    for (const auto& [t, v] : ctx.pulse)
        pmax = std::max(pmax, v);
    auto scaled = [&](int v) { return chart.yMin + (chart.yMax - chart.yMin) * v / pmax; };
    chart.AddSeries(0, kSilver, 15, true);
    chart.SetSeriesName(0, ctx.str(kTextPulse));
    chart.AddPoint(0, ctx.pulse[0].time, scaled(ctx.pulse[0].pulse));
    for (size_t i = 1; i < ctx.pulse.size(); ++i) {
        chart.AddPoint(0, ctx.pulse[i].time, scaled(ctx.pulse[i - 1].pulse));
        chart.AddPoint(0, ctx.pulse[i].time, scaled(ctx.pulse[i].pulse));
    }
    if (ctx.pulse.back().time < chart.xMax)
        chart.AddPoint(0, chart.xMax, scaled(ctx.pulse.back().pulse));
    const int step = std::max(1, pmax / 10);
    for (int v = step; v <= pmax; v += step)
        chart.AddMarker(chart.xMin, scaled(v), QString::asprintf("%i", v), true);
}

// The bar height of a two-target shot: 25 at its area's edge up to 95 at the centre, 25 for a miss.
double twoTargetHeight(IShot* shot, IEventParams* event)
{
    float result = 0;
    shot->get_Result(&result);
    if (result < 1)
        return 25;
    float bx = 0, by = 0, cx = 0, cy = 0;
    shot->get_BreachX(&bx);
    shot->get_BreachY(&by);
    ComPtr<IRange> r;
    int32_t area = 0;
    if (FAILED(shot->Range(0, 0, r.put())) || !r || FAILED(r->GetNearestArea(bx, by, &area, &cx, &cy)))
        return 25;
    ComPtr<ITargetParams> target;
    ComPtr<ITargetElement> element;
    float width = 0;
    if (event && SUCCEEDED(event->get_Target(shotSubTarget(shot), target.put())) && target
        && SUCCEEDED(target->get_Areas(area, element.put())) && element)
        element->get_Width(&width);
    const double half = width / 2.0;
    if (!(half > 0))
        return 25; // no area to measure against
    const double d = std::hypot(double(bx) - cx, double(by) - cy);
    return (half - d) * 70 / half + 25;
}

void colourTwoTargetBar(CChartImpl& chart, int id, IShot* shot, IAiming* aiming, const ChartContext& ctx,
                        IAiming* selectedAiming)
{
    const bool ofSelected = sameObject(aiming, selectedAiming);
    chart.SetSeriesWidth(id, ofSelected ? 15 : 0);
    chart.SetSeriesColor(id, !ofSelected ? kSilver : sameObject(shot, ctx.selectedShot.get()) ? ctx.highlight : kGreen);
}

ComPtr<IAiming> selectedAimingOf(const ChartContext& ctx)
{
    ComPtr<IAiming> aiming;
    if (ctx.matchAimings && ctx.selectedShot)
        ctx.matchAimings->FindAiming(ctx.selectedShot.get(), aiming.put());
    return aiming;
}

} // namespace

void setupIntervalsChart(CChartImpl& chart, const ChartContext& ctx)
{
    chart.Clear();
    chart.xCaption = ctx.str(kTextTime);
    chart.yCaption = ctx.str(kTextResult);
}

void recalcIntervals(CChartImpl& chart, IntervalsState& state, const ChartContext& ctx)
{
    chart.RemoveAllSeries();
    chart.ClearMarkers();
    chart.minLineWidth = 0;
    state = {};
    if (!ctx.hasDocument)
        return;
    if (ctx.targetKind != TargetKind::Biathlon) {
        const int32_t n = ::countOf(ctx.matchShots.get());
        if (n < 2)
            return;
        double minResult = 9.0;
        for (int32_t k = 1; k <= n; ++k) {
            ComPtr<IShot> shot = ::shotAt(ctx.matchShots.get(), k);
            if (!shot)
                continue;
            float r = 0;
            DATE t = 0;
            shot->get_Result(&r);
            shot->get_ShotTime(&t);
            if (!::isMissed(shot.get()) && r < minResult)
                minResult = r;
            chart.AddSeries(k, oneTargetColour(shot.get(), ctx), 25, true);
            chart.AddPoint(k, t, 0);
            chart.AddPoint(k, t, r);
            if (k == 1) {
                state.firstTime = t;
                chart.SetSeriesName(k, ctx.str(kTextFirstShot) + QLatin1Char(' ') + clockText(t));
            }
            if (k == n) {
                state.lastTime = t;
                chart.SetSeriesName(k, ctx.str(kTextLastShot) + QLatin1Char(' ') + clockText(t));
            }
            state.shots.push_back(shot);
        }
        state.count = n;
        chart.xMin = state.firstTime;
        chart.xMax = state.lastTime;
        chart.yMin = std::max(minResult - 1, 0.0);
        chart.yMax = kTopResult;
        chart.xAxisAt = chart.yMin;
        chart.yAxisAt = state.lastTime;
        chart.AddMarker(state.lastTime, kTopResult, QStringLiteral("10.9"), true);
        for (int i = 1; i <= 10; ++i)
            chart.AddMarker(state.lastTime, i, QString::asprintf("%i", i), true);
        addElapsedLabels(chart, state.firstTime, state.lastTime - state.firstTime, 60, chart.yMin);
        addPulse(chart, ctx);
        return;
    }

    state.twoTargets = true;
    ComPtr<IAiming> selectedAiming = selectedAimingOf(ctx);
    int32_t aimings = 0;
    if (ctx.matchAimings)
        ctx.matchAimings->get_Count(&aimings);
    double tmax = 0;
    int id = 0;
    for (int32_t a = 1; a <= aimings; ++a) {
        ComPtr<IAiming> aiming;
        ComPtr<IAimingAttr> attr;
        if (FAILED(ctx.matchAimings->get_Item(a, aiming.put())) || !aiming || FAILED(aiming->get_Attr(attr.put()))
            || !attr)
            continue;
        DATE enter = 0;
        attr->get_EnterTime(&enter);
        int32_t shots = 0;
        aiming->get_ShotCount(&shots);
        for (int32_t k = 1; k <= shots; ++k) {
            ComPtr<IShot> shot;
            if (FAILED(aiming->Shot(k, shot.put())) || !shot)
                continue;
            if (!ctx.showHidden && isHidden(shot.get()))
                continue;
            DATE when = 0;
            shot->get_ShotTime(&when);
            const double t = when - enter;
            tmax = std::max(tmax, t);
            ++id;
            chart.AddSeries(id, kSilver, 0, true);
            chart.AddPoint(id, t, 0);
            chart.AddPoint(id, t, twoTargetHeight(shot.get(), ctx.event.get()));
            colourTwoTargetBar(chart, id, shot.get(), aiming.get(), ctx, selectedAiming.get());
            state.shots.push_back(shot);
            state.aimings.push_back(aiming);
        }
    }
    state.count = id;
    chart.xMin = 0;
    chart.xMax = tmax;
    chart.yMin = 0;
    chart.yMax = 100;
    chart.minLineWidth = 15;
    chart.xAxisAt = 0;
    chart.yAxisAt = tmax;
    chart.AddMarker(tmax, 25, QString(), true);
    chart.AddMarker(tmax, 95, QString(), true);
    addElapsedLabels(chart, 0, tmax, 1, 0);
}

void updateIntervalsSelection(CChartImpl& chart, const IntervalsState& state, const ChartContext& ctx)
{
    if (state.twoTargets) {
        ComPtr<IAiming> selectedAiming = selectedAimingOf(ctx);
        for (size_t i = 0; i < state.shots.size(); ++i)
            colourTwoTargetBar(chart, int(i) + 1, state.shots[i].get(), state.aimings[i].get(), ctx,
                               selectedAiming.get());
        return;
    }
    if (state.shots.size() < 2)
        return;
    for (size_t i = 0; i < state.shots.size(); ++i)
        chart.SetSeriesColor(int(i) + 1, oneTargetColour(state.shots[i].get(), ctx));
}

ComPtr<IShot> intervalsShotForSeries(const IntervalsState& state, const ChartContext& ctx, int seriesId)
{
    if (!ctx.hasDocument || ctx.targetKind == TargetKind::Biathlon)
        return {};
    const int32_t n = ::countOf(ctx.matchShots.get());
    if (n < 2 || seriesId < 1 || seriesId > n)
        return {};
    (void)state;
    return ::shotAt(ctx.matchShots.get(), seriesId);
}

void setupProbabilityCharts(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx)
{
    top.Clear();
    bottom.Clear();
    top.AddSeries(1, kBlue, 15, true);
    top.AddSeries(2, kRed, 15, true);
    bottom.AddSeries(3, kRed, 15, true);
    bottom.AddSeries(4, kRed, 0, true);
    bottom.AddSeries(5, kRed, 0, true);
    top.xCaption = bottom.xCaption = ctx.str(kTextBulletDispersion);
    top.yCaption = ctx.str(kTextProbability);
    bottom.yCaption = ctx.str(kTextResult);
    top.xMin = bottom.xMin = 0;
    top.xMax = bottom.xMax = 20;
    top.yMin = 0;
    top.yMax = 100;
    top.xAxisAt = 0;
    bottom.yMin = -7;
    bottom.yMax = 3;
    bottom.xAxisAt = 0;
    bottom.yAxisAt = 0;
    for (int i = 1; i <= 20; ++i) {
        top.AddMarker(i, 0, QString::asprintf("%i", i), true);
        bottom.AddMarker(i, 0, QString::asprintf("%i", i), true);
    }
    for (int v = 10; v <= 100; v += 10)
        top.AddMarker(0, v, v % 20 == 0 ? QString::asprintf("%i%%", v) : QString(), true);
    for (int v = -7; v <= 3; ++v)
        if (v != 0)
            bottom.AddMarker(0, v, v % 2 != 0 ? QString::asprintf("%i", v) : QString(), true);
}

void recalcProbability(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx, bool fractionMode)
{
    top.ClearSeries(1);
    top.ClearSeries(2);
    for (int id = 3; id <= 5; ++id)
        bottom.ClearSeries(id);
    if (!ctx.hasDocument || ctx.targetKind == TargetKind::Biathlon || !ctx.event)
        return;
    if (ctx.progress)
        ctx.progress->begin(kTextCalcProbability, 42);

    struct Breach {
        float x, y;
        int sub;
    };
    std::vector<Breach> breaches;
    const int32_t n = ::countOf(ctx.matchShots.get());
    for (int32_t k = 1; k <= n; ++k) {
        ComPtr<IShot> shot = ::shotAt(ctx.matchShots.get(), k);
        if (!shot || ::isMissed(shot.get()))
            continue;
        ComPtr<IAimingAttr> attr;
        VARIANT_BOOL real = VARIANT_FALSE;
        if (SUCCEEDED(shot->get_Attr(attr.put())) && attr)
            attr->get_UseRealBreaches(&real);
        Breach b{0, 0, shotSubTarget(shot.get())};
        ComPtr<IRange> r;
        if (real == VARIANT_TRUE) {
            if (SUCCEEDED(shot->Range(0, 0, r.put())) && r)
                r->Breaches(0, ctx.fCoefficient, &b.x, &b.y);
        } else {
            float ox = 0, oy = 0;
            shot->Breach(&b.x, &b.y);
            shot->get_OffsetX(&ox);
            shot->get_OffsetY(&oy);
            b.x -= ox;
            b.y -= oy;
        }
        breaches.push_back(b);
    }

    IEventParams* event = ctx.event.get();
    auto total = [&](float d) {
        double sum = 0;
        for (const Breach& b : breaches) {
            float ox = 0, oy = 0;
            // No spread at dispersion 0: the reference total is the practice's own.
            if (d > 0 && ctx.randomOffset)
                std::tie(ox, oy) = ctx.randomOffset(d);
            float score = 0;
            event->GetBreachScore(b.x + ox, b.y + oy, b.sub, &score);
            sum += fractionMode ? double(score) : std::trunc(score);
        }
        return sum;
    };
    double actual = 0;
    for (int step = 0; step <= 40; ++step) {
        if (ctx.progress)
            ctx.progress->step();
        const float d = step * 0.5f;
        const int trials = d > 0 ? 30 : 1;
        double mean = 0, lo = 0, hi = 0;
        int atLeast = 0, above = 0;
        for (int t = 0; t < trials; ++t) {
            const double v = total(d);
            if (step == 0)
                actual = v;
            mean += v;
            lo = t == 0 ? v : std::min(lo, v);
            hi = t == 0 ? v : std::max(hi, v);
            atLeast += v >= actual;
            above += v > actual;
        }
        mean /= trials;
        top.AddPoint(1, d, 100.0 * atLeast / trials);
        top.AddPoint(2, d, 100.0 * above / trials);
        bottom.AddPoint(3, d, mean - actual);
        bottom.AddPoint(4, d, lo - actual);
        bottom.AddPoint(5, d, hi - actual);
    }
    if (ctx.progress)
        ctx.progress->end();
}

} // namespace kavro::charts
