// Saving and loading a one-hour practice (60 aimings of 60 s at 500 samples per second, one shot
// each, with a trigger channel), measured in the same run against plain file work: saving against
// writing the same bytes with the same replace-and-flush steps, loading (into a fresh document)
// against reading the file's bytes. The "ratio" counters give those quotients. BM_LoadAimings
// loads practices of 60, 600 and 6000 aimings of 6 s each, so "ns_per_sample" shows whether
// loading stays linear in the number of aimings. Loading keeps each trace coded until it is first
// read, so those two time the container; BM_LoadAndReadTraces takes the user's road, the load and
// then the first read of every trace (what opening a practice and drawing its charts costs),
// against reading the file's bytes plus decoding every channel with the codec alone; its
// "faults" and "baseline_faults" counters give the page faults of each per iteration, since
// fresh memory is what makes either side slow on a busy machine.
#include "common/synthetic_practice.h"
#include "trace_codec.h"
#include "storage/file/atomic_file.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>

using namespace kavrodoc;

namespace {

// Before any document exists: each one holds the event manager of the folder named here.
[[maybe_unused]] const bool eventsFromTheBinFolder = qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));

ComPtr<CKavroDocument> practice(int aimingCount, int seconds)
{
    auto doc = CKavroDocument::create();
    auto event = bench::airRifle();
    doc->put_Event(event.get());
    doc->put_ShooterName(QStringLiteral("Bench"));
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    for (int n = 0; n < aimingCount; ++n)
        aimings->Add(bench::recordedAiming(event.get(), n, seconds, 4).get());
    return doc;
}

long pageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

double readSeconds(const QString& path)
{
    return bench::secondsOf([&] {
        QByteArray bytes;
        readWholeFile(path, &bytes, int64_t(1) << 30);
        benchmark::DoNotOptimize(bytes.data());
    });
}

// The coded form of one channel, as the codec alone makes it.
struct CodedChannel {
    std::vector<uint8_t> bytes;
    uint32_t samples = 0;
};

// Calls `f` with the trace of every aiming of `doc`, in order.
template <class F> void forEachTrace(IKavroDocument* doc, F f)
{
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    int32_t count = 0;
    aimings->get_Count(&count);
    for (int32_t a = 1; a <= count; ++a) {
        ComPtr<IAiming> aiming;
        ComPtr<IAimingTrace> trace;
        aimings->get_Item(a, aiming.put());
        aiming->get_Trace(trace.put());
        f(trace.get());
    }
}

// Every channel of every trace of `doc`, coded.
std::vector<CodedChannel> codedChannels(IKavroDocument* doc)
{
    std::vector<CodedChannel> out;
    forEachTrace(doc, [&](IAimingTrace* trace) {
        int32_t first = 0, n = 0;
        trace->get_First(&first);
        trace->get_Count(&n);
        const size_t samples = static_cast<size_t>(n);
        std::vector<int32_t> x(samples), y(samples), trigger(samples);
        for (int32_t i = 0; i < n; ++i) {
            trace->_GetPoint(first + i, &x[size_t(i)], &y[size_t(i)]);
            trace->get_UserData(1, first + i, &trigger[size_t(i)]);
        }
        for (const auto* values : {&x, &y, &trigger}) {
            CodedChannel c;
            c.samples = uint32_t(n);
            encodeChannel(values->data(), c.samples, &c.bytes);
            out.push_back(std::move(c));
        }
    });
    return out;
}

bool savePractice(const QString& path, int aimingCount, int seconds, std::vector<CodedChannel>* coded = nullptr)
{
    auto doc = practice(aimingCount, seconds);
    doc->put_FileName(path);
    if (coded)
        *coded = codedChannels(doc.get());
    return SUCCEEDED(doc->Save());
}

void BM_SavePractice(benchmark::State& state)
{
    QTemporaryDir dir;
    auto doc = practice(60, 60);
    const QString path = dir.filePath(QStringLiteral("hour.kavro"));
    const QString plainPath = dir.filePath(QStringLiteral("hour.bin"));
    doc->put_FileName(path);
    QByteArray bytes;
    if (FAILED(doc->Save()) || FAILED(readWholeFile(path, &bytes, int64_t(1) << 30))) {
        state.SkipWithError("the practice could not be saved");
        return;
    }
    double save = 0, write = 0;
    for (auto _ : state) {
        const double s = bench::secondsOf([&] { doc->Save(); });
        state.SetIterationTime(s);
        save += s;
        write += bench::secondsOf([&] { writeFileReplace(plainPath, bytes); });
    }
    state.counters["ratio"] = save / write;
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

// Each load goes into a fresh document; the previous one is freed outside the timing.
void loadAgainstRead(benchmark::State& state, const QString& path, uint64_t samples)
{
    double load = 0, read = 0;
    for (auto _ : state) {
        read += readSeconds(path);
        auto doc = CKavroDocument::create();
        doc->put_FileName(path);
        HRESULT hr = S_OK;
        const double s = bench::secondsOf([&] { hr = doc->Load(); });
        if (FAILED(hr)) {
            state.SkipWithError("the practice could not be loaded");
            return;
        }
        state.SetIterationTime(s);
        load += s;
    }
    state.counters["ratio"] = load / read;
    state.counters["ns_per_sample"] = load * 1e9 / double(state.iterations()) / double(samples);
}

void BM_LoadPractice(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hour.kavro"));
    if (!savePractice(path, 60, 60)) {
        state.SkipWithError("the practice could not be saved");
        return;
    }
    loadAgainstRead(state, path, uint64_t(60) * 60 * bench::kSampleRate);
}

void BM_LoadAimings(benchmark::State& state)
{
    constexpr int kSeconds = 6;
    const int aimingCount = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("aimings.kavro"));
    if (!savePractice(path, aimingCount, kSeconds)) {
        state.SkipWithError("the practice could not be saved");
        return;
    }
    loadAgainstRead(state, path, uint64_t(aimingCount) * kSeconds * bench::kSampleRate);
}

// The first read of every trace of a loaded document: each decodes its channels then.
void readEveryTrace(IKavroDocument* doc)
{
    forEachTrace(doc, [](IAimingTrace* trace) {
        int32_t first = 0, x = 0, y = 0;
        trace->get_First(&first);
        trace->_GetPoint(first, &x, &y);
        benchmark::DoNotOptimize(x);
    });
}

void BM_LoadAndReadTraces(benchmark::State& state)
{
    constexpr int kSeconds = 6;
    const int aimingCount = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("aimings.kavro"));
    std::vector<CodedChannel> coded;
    if (!savePractice(path, aimingCount, kSeconds, &coded)) {
        state.SkipWithError("the practice could not be saved");
        return;
    }
    std::vector<int32_t> decoded(size_t(kSeconds) * bench::kSampleRate);
    auto decodeAll = [&] {
        for (const CodedChannel& c : coded)
            decodeChannel(c.bytes.data(), c.bytes.size(), decoded.data(), c.samples, nullptr);
        benchmark::DoNotOptimize(decoded.data());
    };
    double used = 0, baseline = 0;
    long faults = 0, baselineFaults = 0;
    for (auto _ : state) {
        long before = pageFaults();
        baseline += readSeconds(path) + bench::secondsOf(decodeAll);
        baselineFaults += pageFaults() - before;
        before = pageFaults();
        auto doc = CKavroDocument::create();
        doc->put_FileName(path);
        HRESULT hr = S_OK;
        const double s = bench::secondsOf([&] {
            hr = doc->Load();
            if (SUCCEEDED(hr))
                readEveryTrace(doc.get());
        });
        if (FAILED(hr)) {
            state.SkipWithError("the practice could not be loaded");
            return;
        }
        faults += pageFaults() - before;
        state.SetIterationTime(s);
        used += s;
    }
    state.counters["faults"] = double(faults) / double(state.iterations());
    state.counters["baseline_faults"] = double(baselineFaults) / double(state.iterations());
    state.counters["ratio"] = used / baseline;
    state.counters["ns_per_sample"]
        = used * 1e9 / double(state.iterations()) / (double(aimingCount) * kSeconds * bench::kSampleRate);
}

} // namespace

BENCHMARK(BM_SavePractice)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPractice)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAimings)->Arg(60)->Arg(600)->Arg(6000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndReadTraces)->Arg(60)->Arg(600)->Arg(6000)->UseManualTime()->Unit(benchmark::kMillisecond);
