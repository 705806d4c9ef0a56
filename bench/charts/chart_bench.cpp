// Each analysis chart of a 60-shot practice: computing its data from the document, and drawing
// it at 1920 x 1080 (the two-chart views split the height 3:2). Counters: "redraws/s" for the
// drawing, "s/compute" per computation, and "ratio" against filling the same image once, measured in the
// same run (the cost of a redraw in units of the cheapest possible one).
#include "support/chart_fixture.h"
#include "random_offset.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

using namespace kavro::charts;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Practice {
    ComPtr<IKavroDocument> doc;
    ChartContext ctx;
    kavro::CrtRandom random{1};
    RandomOffsetTable table{random};

    Practice()
    {
        doc = charttest::realPractice(60);
        ctx = charttest::contextOf(doc.get());
        ctx.selectedShot = charttest::matchShot(ctx, 30);
        ctx.randomOffset = [this](float r) { return table.next(r); };
    }
};

Practice& practice()
{
    static Practice p;
    return p;
}

QGuiApplication& app()
{
    static int argc = 1;
    static char name[] = "chart_bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication a(argc, argv);
    return a;
}

// Seconds per fill of the image: the baseline of the ratios.
double fillSeconds()
{
    static const double seconds = [] {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        const auto start = std::chrono::steady_clock::now();
        constexpr int n = 200;
        for (int i = 0; i < n; ++i)
            image.fill(Qt::white);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
    }();
    return seconds;
}

struct ChartSet {
    CChartImpl top, bottom;
    bool two = false;
    CoordinationState coordination;
    TimeShiftState shift;
    SpeedState speed;
    IntervalsState intervals;
};

using Setup = std::function<void(ChartSet&, const ChartContext&)>;
using Compute = std::function<void(ChartSet&, const ChartContext&)>;

struct Chart {
    const char* name;
    bool two;
    Setup setup;
    Compute compute;
};

const Chart kCharts[] = {
    {"distance", true, [](ChartSet& s, const ChartContext& c) { setupDistanceCharts(s.top, s.bottom, c); },
     [](ChartSet& s, const ChartContext& c) { recalcDistance(s.top, s.bottom, c); }},
    {"coordination", false, [](ChartSet& s, const ChartContext& c) { setupCoordinationChart(s.top, c); },
     [](ChartSet& s, const ChartContext& c) { recalcCoordination(s.top, s.coordination, c, true, true, true); }},
    {"time_shift", false, [](ChartSet& s, const ChartContext& c) { setupTimeShiftChart(s.top, c); },
     [](ChartSet& s, const ChartContext& c) { recalcTimeShift(s.top, s.shift, c, true, true, false); }},
    {"speed", true, [](ChartSet& s, const ChartContext& c) { setupSpeedCharts(s.top, s.bottom, c); },
     [](ChartSet& s, const ChartContext& c) { recalcSpeed(s.top, s.bottom, s.speed, c, true, true, true); }},
    {"time_intervals", false, [](ChartSet& s, const ChartContext& c) { setupIntervalsChart(s.top, c); },
     [](ChartSet& s, const ChartContext& c) { recalcIntervals(s.top, s.intervals, c); }},
    {"probability", true, [](ChartSet& s, const ChartContext& c) { setupProbabilityCharts(s.top, s.bottom, c); },
     [](ChartSet& s, const ChartContext& c) { recalcProbability(s.top, s.bottom, c, false); }},
};

void draw(const ChartSet& set, bool two, QPainter& painter)
{
    ChartDrawRequest r;
    r.painter = &painter;
    const int split = two ? kHeight * 3 / 5 : kHeight;
    r.rect = {0, 0, kWidth, split};
    set.top.Draw(r);
    if (two) {
        r.rect = {0, split, kWidth, kHeight};
        set.bottom.Draw(r);
    }
}

void BM_Compute(benchmark::State& state, const Chart* chart)
{
    app();
    const ChartContext& ctx = practice().ctx;
    ChartSet set;
    chart->setup(set, ctx);
    for (auto _ : state)
        chart->compute(set, ctx);
    state.counters["s/compute"]
        = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Draw(benchmark::State& state, const Chart* chart)
{
    app();
    const ChartContext& ctx = practice().ctx;
    ChartSet set;
    chart->setup(set, ctx);
    chart->compute(set, ctx);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        draw(set, chart->two, painter);
    }
    state.counters["redraws/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["ratio"] = benchmark::Counter(double(state.iterations()) * fillSeconds(),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

[[maybe_unused]] const bool registered = [] {
    for (const Chart& c : kCharts) {
        benchmark::RegisterBenchmark((std::string("Compute/") + c.name).c_str(), BM_Compute, &c)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Draw/") + c.name).c_str(), BM_Draw, &c)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
