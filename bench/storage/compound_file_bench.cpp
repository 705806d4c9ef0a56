// Compound-file write and read of a 10 MB stream against plain file work on the same bytes in the
// same run, so the container's own cost shows: writing against a plain write with the same
// replace-and-flush steps, reading a document's stream (as a document load takes it) against a
// plain read of the whole file. The "ratio" counters give those quotients. The payload is made
// before any timing.
#include "storage/cfb/compound_file.h"
#include "storage/file/atomic_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace {

constexpr qsizetype kStreamBytes = 10 * 1024 * 1024;

QByteArray makePayload()
{
    QByteArray b(kStreamBytes, Qt::Uninitialized);
    uint32_t x = 12345;
    for (qsizetype i = 0; i < b.size(); ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = static_cast<char>(x >> 24);
    }
    return b;
}

double secondsOf(auto&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_CompoundFileWrite(benchmark::State& state)
{
    const QByteArray payload = makePayload();
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.cfb");
    const QString plainPath = dir.filePath("bench.bin");
    double compound = 0, plain = 0;
    for (auto _ : state) {
        HRESULT hr = S_OK;
        const double s = secondsOf([&] {
            CompoundFileWriter writer;
            hr = writer.addStream("Contents", payload);
            if (SUCCEEDED(hr))
                hr = writer.writeFile(path, WriteMode::Replace);
        });
        if (FAILED(hr) || FAILED(writeFileReplace(plainPath, payload))) {
            state.SkipWithError("write failed");
            return;
        }
        state.SetIterationTime(s);
        compound += s;
        plain += secondsOf([&] { writeFileReplace(plainPath, payload); });
    }
    state.counters["ratio"] = compound / plain;
    state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

void BM_CompoundFileRead(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bench-read.cfb");
    CompoundFileWriter writer;
    writer.addStream("Contents", makePayload());
    if (FAILED(writer.writeFile(path, WriteMode::Replace))) {
        state.SkipWithError("setup failed");
        return;
    }
    double compound = 0, plain = 0;
    for (auto _ : state) {
        QByteArray data, whole;
        HRESULT hr = S_OK;
        const double s = secondsOf([&] {
            CompoundFileReader reader;
            hr = CompoundFileReader::open(path, &reader);
            if (SUCCEEDED(hr))
                hr = reader.takeStream("Contents", &data);
        });
        if (FAILED(hr) || data.size() != kStreamBytes) {
            state.SkipWithError("compound-file read failed");
            return;
        }
        benchmark::DoNotOptimize(data.constData());
        data = QByteArray();
        state.SetIterationTime(s);
        compound += s;
        plain += secondsOf([&] {
            readWholeFile(path, &whole, CompoundFileReader::kMaxFileBytes);
            benchmark::DoNotOptimize(whole.constData());
        });
    }
    state.counters["ratio"] = compound / plain;
    state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

} // namespace

BENCHMARK(BM_CompoundFileWrite)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CompoundFileRead)->Unit(benchmark::kMillisecond)->UseManualTime();
