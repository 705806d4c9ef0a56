// Start-up of the trainer to its first shown frame with a one-hour practice (60 aimings of 60 s
// at 500 samples per second) given on the command line, against bench_bare_window, a Qt-only
// program beside this one that shows a bare QMainWindow, both measured as whole processes in the
// same run. The "ratio" counter is the frame's time over the bare window's. This program is also
// the child it starts: "--frame path" runs the trainer's start-up.
#include "command_line.h"
#include "main_frame.h"
#include "run_main_frame.h"

#include "com/classregistry.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

namespace {

constexpr int kAimings = 60;
constexpr int kSeconds = 60;
constexpr int kRate = 500;
constexpr DATE kStart = 45123.375;

void setEnvironment(const QString& configHome)
{
    qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
    qputenv("KAVRO_MODULE_DIR", QByteArray(KAVRO_BIN_DIR));
    qputenv("KAVRO_CONFIG_HOME", configHome.toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

bool writeOneHourPractice(const QString& path)
{
    ComPtr<IEventManager> manager;
    ComPtr<IEventParams> event;
    if (FAILED(createInstance(kavrodoc::CLSID_EventManager, &manager)) || !manager
        || manager->FindByShortName(QStringLiteral("AR10"), event.put()) != S_OK)
        return false;
    ComPtr<IKavroDocument> doc;
    if (FAILED(createInstance(kavrodoc::CLSID_KavroDocument, &doc)))
        return false;
    doc->put_Event(event.get());
    doc->put_ShooterName(QStringLiteral("Bench"));
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    for (int n = 0; n < kAimings; ++n) {
        ComPtr<IAiming> aiming;
        createInstance(kavrodoc::CLSID_Aiming, &aiming);
        ComPtr<IAimingAttr> attr;
        ComPtr<IAimingTrace> trace;
        aiming->get_Attr(attr.put());
        aiming->get_Trace(trace.put());
        attr->put_SampleRate(kRate);
        attr->put_Event(event.get());
        attr->put_Match(VARIANT_TRUE);
        attr->put_EnterTime(kStart + n * 70.0 / 86400);
        trace->put_WrapEnabled(VARIANT_FALSE);
        for (int i = 0; i < kSeconds * kRate; ++i) {
            const double t = i / double(kRate) + n;
            trace->_Add(int32_t(900 * std::sin(t * 0.7) + 80 * std::sin(t * 9.0)),
                        int32_t(700 * std::cos(t * 0.5) + 60 * std::cos(t * 7.0)));
        }
        ComPtr<IShot> shot;
        aiming->AddShot(VARIANT_FALSE, shot.put());
        shot->put_ShotTime(kStart + (n * 70.0 + kSeconds) / 86400);
        aimings->Add(aiming.get());
    }
    doc->put_FileName(path);
    return SUCCEEDED(doc->Save());
}

void waitUntilShown(QWidget& w)
{
    while (!w.windowHandle() || !w.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

int runChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    int exitCode = 0;
    std::unique_ptr<CMainFrame> frame = CreateMainFrame(ParseCommandLine({QString::fromLocal8Bit(argv[2])}), &exitCode);
    if (!frame || !frame->doc().HasDocument())
        return 2;
    ShowMainFrame(*frame);
    waitUntilShown(*frame);
    return 0;
}

struct Fixture {
    QTemporaryDir dir;
    QString practice;
    bool ok = false;
    Fixture()
    {
        setEnvironment(dir.path());
        practice = dir.path() + QStringLiteral("/one-hour.kavro");
        ok = writeOneHourPractice(practice);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

double runProcess(const QString& program, const QStringList& args)
{
    QElapsedTimer t;
    t.start();
    const int code = QProcess::execute(program, args);
    const double ms = t.nsecsElapsed() / 1e6;
    return code == 0 ? ms : -1;
}

void BM_StartToFirstFrame(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("cannot write the practice");
        return;
    }
    double frameMs = 0, bareMs = 0;
    int64_t n = 0;
    for (auto _ : state) {
        const double a = runProcess(QCoreApplication::applicationFilePath(), {QStringLiteral("--frame"), f.practice});
        state.PauseTiming();
        const double b = runProcess(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_bare_window"), {});
        state.ResumeTiming();
        if (a < 0 || b < 0) {
            state.SkipWithError("a child failed");
            return;
        }
        frameMs += a;
        bareMs += b;
        ++n;
    }
    state.counters["frame_ms"] = frameMs / double(n);
    state.counters["bare_ms"] = bareMs / double(n);
    state.counters["ratio"] = frameMs / bareMs;
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--frame") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
