// The time-shift chart (what the match would have scored released earlier or later) and the speed
// charts (mean speed of the aiming point over the match shots and the model; the selected shot's).
#include "chart_data.h"
#include "chart_doc.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace kavro::charts {
namespace {

constexpr COLORREF kRed = 0x0000FF, kBlue = 0xFF0000;

void setTimeRange(CChartImpl& chart, const TimeWindow& w)
{
    chart.xMin = -w.window;
    chart.xMax = 0.3;
}

// The sum over the shots of what each trace scores when the shot is taken at relative index j.
void sumScores(IShotCollection* shots, IEventParams* event, int fCoefficient, bool fractionMode, int32_t first,
               int32_t last, std::vector<double>& sum, ChartProgress* progress)
{
    const int32_t n = ::countOf(shots);
    for (int32_t k = 1; k <= n; ++k) {
        if (progress)
            progress->step();
        ComPtr<IShot> shot = ::shotAt(shots, k);
        ComPtr<IRange> r;
        if (!shot || ::isMissed(shot.get()) || FAILED(shot->Range(0, 0, r.put())) || !r)
            continue;
        const int sub = shotSubTarget(shot.get());
        double phase = 1;
        shot->get_microphonePhase(&phase);
        for (int32_t j = last; j >= first; --j) {
            float x = 0, y = 0, score = 0;
            const HRESULT hr
                = j != 0 ? r->Breaches(j, fCoefficient, &x, &y) : r->Breaches2(0, fCoefficient, phase, &x, &y);
            // An index the trace does not reach scores nothing.
            if (FAILED(hr) || !event || FAILED(event->GetBreachScore(x, y, sub, &score)))
                continue;
            sum[size_t(j - first)] += fractionMode ? double(score) : std::trunc(score);
        }
    }
}

} // namespace

void setupTimeShiftChart(CChartImpl& chart, const ChartContext& ctx)
{
    chart.Clear();
    chart.AddSeries(1, kBlue, 15, true);
    chart.AddSeries(2, kRed, 15, false);
    chart.xCaption = ctx.str(kTextTimeBeforeShot);
    chart.yCaption = ctx.str(kTextResult);
}

void recalcTimeShift(CChartImpl& chart, TimeShiftState& state, const ChartContext& ctx, bool document, bool model,
                     bool fractionMode)
{
    if (!ctx.hasDocument) {
        chart.ClearMarkers();
        chart.ClearBands();
        chart.ClearSeries(1);
        chart.ClearSeries(2);
        state = {};
        return;
    }
    const TimeWindow& w = ctx.window;
    forEachWantedPart(ctx, document, model, [&](int p, IShotCollection* shots) {
        const int id = p + 1;
        state.count[p] = 0;
        state.max[p] = 0;
        state.min[p] = FLT_MAX;
        state.computed[p] = false;
        chart.ClearSeries(id);
        if (ctx.targetKind == TargetKind::Biathlon)
            return; // the pair of targets has no one score to shift
        const WindowRanges wr = windowRanges(shots, w);
        const int32_t count = wr.shotCount;
        state.count[p] = count;
        if (wr.ranges) {
            const int32_t first = wr.requestedFirst, last = wr.requestedLast;
            if (ctx.progress)
                ctx.progress->begin(kTextCalcTimeShift, count);
            std::vector<double> sum(size_t(std::max(0, last - first + 1)), 0.0);
            sumScores(shots, ctx.event.get(), ctx.fCoefficient, fractionMode, first, last, sum, ctx.progress);
            for (int32_t j = last; j >= first; --j) {
                const double v = sum[size_t(j - first)];
                chart.AddPoint(id, rangeSeconds(wr.first.get(), j), v);
                if (j < 1) {
                    state.max[p] = std::max(state.max[p], v);
                    state.min[p] = std::min(state.min[p], v);
                }
            }
            state.max[p] = std::ceil(state.max[p]);
            if (state.max[p] == state.min[p])
                state.max[p] += 1;
            state.computed[p] = true;
            if (ctx.progress)
                ctx.progress->end();
        }
        chart.SetSeriesName(
            id, p == 0 || count ? withCount(ctx.str(p == 0 ? kTextTimeShift : kTextModel), count) : QString());
    });

    chart.ClearMarkers();
    chart.ClearBands();
    double top = state.count[0] ? state.max[0] : 0;
    if (state.count[1] && state.max[1] >= top)
        top = state.max[1];
    if (int(top) % 5 != 0)
        top = (int(top / 5) + 1) * 5;
    // A practice whose every shot missed has no sums: its shots must not lift the floor above the
    // top, so without any sums the chart keeps the range of an empty practice.
    int summedShots = 0;
    for (int p = 0; p < 2; ++p)
        if (state.computed[p])
            summedShots = std::max(summedShots, state.count[p]);
    double bottom = 11.0 * summedShots;
    bottom = std::min({bottom, state.min[0], state.min[1]});
    if (int(bottom) % 5 != 0)
        bottom = int(bottom / 5) * 5;
    bottom = std::max(bottom, 0.0);
    addTimeFrame(chart, w, bottom);

    const double step = std::max(1.0, double(std::lrint((top - bottom) / 10)));
    for (double v = int(bottom) + step;; v += step) {
        if (v >= top) {
            chart.AddMarker(0, top, QString::asprintf("%-1G", top), true);
            break;
        }
        if (!(top - v > 0 && top - v < step))
            chart.AddMarker(0, v, QString::asprintf("%-1G", v), true);
    }
    setTimeRange(chart, w);
    chart.yMin = bottom;
    chart.yMax = top;
    chart.xAxisAt = bottom;
    chart.yAxisAt = 0;
}

void setupSpeedCharts(CChartImpl& top, CChartImpl& bottom, const ChartContext& ctx)
{
    top.Clear();
    bottom.Clear();
    top.AddSeries(1, kBlue, 15, true);
    top.AddSeries(2, kRed, 15, false);
    bottom.AddSeries(1, kBlue, 1, true);
    bottom.SetSeriesName(1, ctx.str(kTextCurrentShot));
    for (CChartImpl* c : {&top, &bottom}) {
        c->xCaption = ctx.str(kTextTimeBeforeShot);
        c->yCaption = ctx.str(kTextSpeedAxis);
    }
}

namespace {

// Value labels from 0 up to the range's top in tenths.
void addValueLabels(CChartImpl& chart)
{
    const double step = chart.yMax / 10 != 0 ? chart.yMax / 10 : 1;
    for (int k = 1; k * step <= chart.yMax; ++k)
        chart.AddMarker(0, k * step, QString::asprintf("%-1G", k * step), true);
}

} // namespace

void recalcSpeed(CChartImpl& top, CChartImpl& bottom, SpeedState& state, const ChartContext& ctx, bool document,
                 bool model, bool current)
{
    if (!ctx.hasDocument) {
        for (CChartImpl* c : {&top, &bottom}) {
            c->ClearMarkers();
            c->ClearBands();
        }
        top.ClearSeries(1);
        top.ClearSeries(2);
        bottom.ClearSeries(1);
        state = {};
        return;
    }
    const TimeWindow& w = ctx.window;
    if (ctx.progress)
        ctx.progress->begin(kTextCalcSpeed, 4);
    forEachWantedPart(ctx, document, model, [&](int p, IShotCollection* shots) {
        const int id = p + 1;
        if (ctx.progress)
            ctx.progress->step();
        top.ClearSeries(id);
        state.max[p] = 0;
        const WindowRanges wr = windowRanges(shots, w);
        const int32_t count = wr.shotCount;
        state.count[p] = count;
        if (wr.ranges) {
            const int32_t first = wr.requestedFirst, last = wr.requestedLast;
            for (int32_t j = last; j >= first; --j) {
                float v = 0;
                wr.ranges->get_SpeedPoint(j, &v);
                top.AddPoint(id, rangeSeconds(wr.first.get(), j), v);
                if (j < 1)
                    state.max[p] = std::max(state.max[p], double(v));
            }
        }
        top.SetSeriesName(id,
                          p == 0 || count ? withCount(ctx.str(p == 0 ? kTextSpeed : kTextModel), count) : QString());
        if (ctx.progress)
            ctx.progress->step();
    });
    if (current) {
        bottom.ClearSeries(1);
        state.currentMax = 0;
        IShot* shot = ctx.selectedShot.get();
        ComPtr<IRange> r;
        ComPtr<IAimingTrace> trace;
        if (shot && !::isMissed(shot) && SUCCEEDED(shot->Range(float(-w.window), 0.3f, r.put())) && r
            && SUCCEEDED(r->get_Trace(trace.put())) && trace) {
            int32_t base = 0, first = 0, last = -1, rate = 0;
            VARIANT_BOOL valid = VARIANT_FALSE;
            r->get_Valid(&valid);
            r->get_IndexBase(&base);
            r->get_First(&first);
            r->get_Last(&last);
            r->get_SampleRate(&rate);
            const int32_t step = std::max(1, rate / 25); // 40 ms of samples
            for (int32_t i = first; valid == VARIANT_TRUE && i <= last; ++i) {
                // The first samples look forwards; the partner stays inside the window's valid run.
                const int32_t partner = std::clamp(i > first + step ? i - step : i + step, first, last);
                int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                trace->_GetPoint(i + base, &x1, &y1);
                trace->_GetPoint(partner + base, &x2, &y2);
                const double dx = double(x2) - x1, dy = double(y2) - y1;
                const double speed = rate * std::sqrt(dx * dx + dy * dy) / (step * 100.0);
                bottom.AddPoint(1, rangeSeconds(r.get(), i), speed);
                if (i < 1)
                    state.currentMax = std::max(state.currentMax, speed);
            }
        }
    }
    top.yMax = std::ceil(std::max(state.max[0], state.max[1]) / 20) * 20;
    if (top.yMax == 0)
        top.yMax = 20;
    // Rounded up like the top chart, so the current shot's peak stays inside.
    bottom.yMax = std::ceil(state.currentMax / 20) * 20;
    if (bottom.yMax == 0)
        bottom.yMax = 20;
    for (CChartImpl* c : {&top, &bottom}) {
        c->yMin = 0;
        setTimeRange(*c, w);
        c->xAxisAt = 0;
        c->yAxisAt = 0;
        c->ClearMarkers();
        c->ClearBands();
        addTimeFrame(*c, w, 0);
        addValueLabels(*c);
    }
    if (ctx.progress)
        ctx.progress->end();
}

} // namespace kavro::charts
