// The trace view and the series table at 1920 × 1080 offscreen: a full repaint of the trace of a
// selected shot from a one-hour practice (again, and after another shot was selected), the live
// path (10 new points at 500 per second) and a full repaint of a 60-shot series table. A full repaint renders the whole view into a picture.
// Each "ratio" counter compares one step with filling a 1920 × 1080 picture once, measured in the
// same run.
#include "support/practice_builder.h"
#include "series_view.h"
#include "trace_view.h"
#include "support/views_support.h"

#include "com/classregistry.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <functional>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

QApplication& app()
{
    static int argc = 1;
    static char name[] = "bench_trainer_views";
    static char* argv[] = {name, nullptr};
    static QApplication* a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *a;
}

// Seconds for one plain fill of the screen-sized picture.
double baselineSeconds()
{
    static const double seconds = [] {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        const int n = 200;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i) {
            QPainter p(&image);
            p.fillRect(image.rect(), QColor(i & 255, 128, 64));
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / n;
    }();
    return seconds;
}

void report(benchmark::State& state, double seconds)
{
    const double each = seconds / double(state.iterations());
    state.counters["per_second"] = 1.0 / each;
    state.counters["ratio"] = each / baselineSeconds();
}

// A practice of an hour: 90 shots, 40 s apart, each with 10 s of trace at 500 per second.
void hourPractice(CKavroDoc& doc)
{
    trainertest::startPractice(doc, "AR10");
    for (int k = 0; k < 90; ++k) {
        viewtest::ShotSpec s;
        s.x = float(std::sin(k * 1.7)) * 4;
        s.y = float(std::cos(k * 1.3)) * 4;
        s.wobble = 2.5f;
        s.rate = 500;
        s.samples = 5000;
        s.after = 500;
        s.at = 40 * k;
        viewtest::addShot(doc, s);
    }
}

// Repaints of the trace view showing shot 45 of an hour's practice, each after `before` (given
// the document, the view and the repaint's number), which is timed with it.
void traceViewRepaints(benchmark::State& state, const std::function<void(CKavroDoc&, CTraceView&, int)>& before)
{
    app();
    CKavroDoc doc;
    hourPractice(doc);
    CTraceView view(doc, nullptr);
    view.resize(kWidth, kHeight);
    view.show();
    ComPtr<IShot> shot = trainertest::listShot(doc, 45);
    doc.SetSelectedShot(shot.get(), nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    QImage screen(kWidth, kHeight, QImage::Format_RGB32);
    double seconds = 0;
    int k = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        before(doc, view, ++k);
        view.render(&screen);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    report(state, seconds);
}

void BM_TraceViewFullRepaint(benchmark::State& state)
{
    traceViewRepaints(state, [](CKavroDoc&, CTraceView& view, int) { view.target()->Refresh(); });
}
BENCHMARK(BM_TraceViewFullRepaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same repaint when nothing drawn before can be reused: shots 46 and 45 take turns.
void BM_TraceViewShotChangeRepaint(benchmark::State& state)
{
    traceViewRepaints(state, [](CKavroDoc& doc, CTraceView&, int k) {
        doc.SetSelectedShot(trainertest::listShot(doc, 45 + k % 2).get(), nullptr);
    });
}
BENCHMARK(BM_TraceViewShotChangeRepaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_TraceViewLiveUpdate(benchmark::State& state)
{
    app();
    CKavroDoc doc;
    trainertest::startPractice(doc, "AR10");
    CTraceView view(doc, nullptr);
    view.resize(kWidth, kHeight);
    view.show();
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ComPtr<IEventParams> event;
    doc.GetEvent(&event);
    ComPtr<IAiming> live;
    createInstance(kavrodoc::CLSID_Aiming, &live);
    ComPtr<IAimingAttr> attr;
    live->get_Attr(attr.put());
    attr->put_SampleRate(500);
    attr->put_Event(event.get());
    attr->put_Match(VARIANT_TRUE);
    ComPtr<IAimingTrace> trace;
    live->get_Trace(trace.put());
    doc.UpdateAllViews(nullptr, KavroHint::AimingStarted, live.get());
    QCoreApplication::processEvents();
    int i = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int k = 0; k < 10; ++k, ++i)
            trace->Add(3.0f * float(std::cos(i * 0.01)), 3.0f * float(std::sin(i * 0.013)));
        doc.UpdateAllViews(nullptr, KavroHint::TraceCoordinates, live.get());
        QCoreApplication::processEvents();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    report(state, seconds);
}
BENCHMARK(BM_TraceViewLiveUpdate)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_SeriesTableFullRepaint(benchmark::State& state)
{
    app();
    CKavroDoc doc;
    viewtest::realPractice(doc, 60);
    CSeriesView view(doc, nullptr);
    view.resize(kWidth, kHeight);
    view.show();
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    QImage screen(kWidth, kHeight, QImage::Format_RGB32);
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        view.render(&screen);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    report(state, seconds);
}
BENCHMARK(BM_SeriesTableFullRepaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
