// Saving and loading a one-hour practice (60 aimings of 60 s at 500 samples per second, one shot
// each, with a trigger channel), against reading the same file's bytes in the same run: the
// "ratio" counters say how many plain reads of the file each direction costs. Saving includes
// flushing the file to disk, which plain reading does not need.
#include "com/classregistry.h"
#include "kavro_document.h"
#include "storage/file/atomic_file.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

using namespace kavrodoc;

namespace {

constexpr int kAimings = 60;
constexpr int kSeconds = 60;
constexpr int kRate = 500;
constexpr DATE kStart = 45123.375;

ComPtr<IEventParams> ar10()
{
    qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
    ComPtr<IEventManager> manager;
    createInstance(CLSID_EventManager, &manager);
    ComPtr<IEventParams> event;
    if (manager)
        manager->FindByShortName(QStringLiteral("AR10"), event.put());
    return event;
}

ComPtr<IAiming> recordedAiming(IEventParams* event, int n)
{
    ComPtr<IAiming> aiming;
    createInstance(CLSID_Aiming, &aiming);
    ComPtr<IAimingAttr> attr;
    ComPtr<IAimingTrace> trace;
    aiming->get_Attr(attr.put());
    aiming->get_Trace(trace.put());
    attr->put_SampleRate(kRate);
    attr->put_Event(event);
    attr->put_Match(VARIANT_TRUE);
    attr->put_EnterTime(kStart + n * 70.0 / 86400);
    trace->put_WrapEnabled(VARIANT_FALSE);
    int32_t trigger = 0;
    trace->AddUserData(QStringLiteral("_trigger"), &trigger);
    uint32_t noise = 12345u + uint32_t(n);
    const int samples = kSeconds * kRate;
    for (int i = 0; i < samples; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double t = i / double(kRate) + n;
        trace->_Add(int32_t(900 * std::sin(t * 0.7) + 80 * std::sin(t * 9.0) + (noise >> 28)),
                    int32_t(700 * std::cos(t * 0.5) + 60 * std::cos(t * 7.0) + ((noise >> 24) & 15)));
        trace->put_UserData(trigger, i, i > samples - kRate ? 1 : 0);
        if (i == samples - kRate) {
            ComPtr<IShot> shot;
            aiming->AddShot(VARIANT_FALSE, shot.put());
            shot->put_ShotTime(kStart + (n * 70.0 + kSeconds - 1) / 86400);
        }
    }
    trace->put_ReadOnly(VARIANT_TRUE);
    return aiming;
}

ComPtr<CKavroDocument> oneHourPractice()
{
    auto doc = CKavroDocument::create();
    auto event = ar10();
    doc->put_Event(event.get());
    doc->put_ShooterName(QStringLiteral("Bench"));
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    for (int n = 0; n < kAimings; ++n)
        aimings->Add(recordedAiming(event.get(), n).get());
    return doc;
}

double secondsOf(auto&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double readSeconds(const QString& path)
{
    return secondsOf([&] {
        QByteArray bytes;
        readWholeFile(path, &bytes, int64_t(1) << 30);
        benchmark::DoNotOptimize(bytes.data());
    });
}

void BM_SavePractice(benchmark::State& state)
{
    QTemporaryDir dir;
    auto doc = oneHourPractice();
    const QString path = dir.filePath(QStringLiteral("hour.kavro"));
    doc->put_FileName(path);
    doc->Save();
    double save = 0, read = 0;
    for (auto _ : state) {
        const double s = secondsOf([&] { doc->Save(); });
        state.SetIterationTime(s);
        save += s;
        read += readSeconds(path);
    }
    state.counters["ratio"] = save / read;
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
}

void BM_LoadPractice(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hour.kavro"));
    {
        auto doc = oneHourPractice();
        doc->put_FileName(path);
        doc->Save();
    }
    auto doc = CKavroDocument::create();
    doc->put_FileName(path);
    double load = 0, read = 0;
    for (auto _ : state) {
        read += readSeconds(path);
        const double s = secondsOf([&] { doc->Load(); });
        state.SetIterationTime(s);
        load += s;
    }
    state.counters["ratio"] = load / read;
}

} // namespace

BENCHMARK(BM_SavePractice)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPractice)->UseManualTime()->Unit(benchmark::kMillisecond);
