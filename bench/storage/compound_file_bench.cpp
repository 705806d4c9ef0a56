// Compound-file write and read of a 10 MB stream, next to a plain file write and read of the
// same bytes, so the container's own cost shows.
#include "storage/cfb/compound_file.h"
#include "storage/file/atomic_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr qsizetype kStreamBytes = 10 * 1024 * 1024;

const QByteArray& payload()
{
    static const QByteArray bytes = [] {
        QByteArray b(kStreamBytes, Qt::Uninitialized);
        uint32_t x = 12345;
        for (qsizetype i = 0; i < b.size(); ++i) {
            x = x * 1103515245u + 12345u;
            b[i] = static_cast<char>(x >> 24);
        }
        return b;
    }();
    return bytes;
}

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

void BM_CompoundFileWrite(benchmark::State& state)
{
    const QString path = scratch().filePath("bench.cfb");
    for (auto _ : state) {
        CompoundFileWriter writer;
        writer.addStream("Contents", payload());
        if (FAILED(writer.writeFile(path, WriteMode::Replace)))
            state.SkipWithError("compound-file write failed");
    }
    state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

void BM_PlainFileWrite(benchmark::State& state)
{
    const QString path = scratch().filePath("bench.bin");
    for (auto _ : state) {
        if (FAILED(writeFileReplace(path, payload())))
            state.SkipWithError("plain write failed");
    }
    state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

void BM_CompoundFileRead(benchmark::State& state)
{
    const QString path = scratch().filePath("bench-read.cfb");
    CompoundFileWriter writer;
    writer.addStream("Contents", payload());
    if (FAILED(writer.writeFile(path, WriteMode::Replace))) {
        state.SkipWithError("setup failed");
        return;
    }
    for (auto _ : state) {
        CompoundFileReader reader;
        QByteArray data;
        if (FAILED(CompoundFileReader::open(path, &reader)) || FAILED(reader.readStream("Contents", &data)))
            state.SkipWithError("compound-file read failed");
        benchmark::DoNotOptimize(data.constData());
    }
    state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

void BM_PlainFileRead(benchmark::State& state)
{
    const QString path = scratch().filePath("bench-read.bin");
    if (FAILED(writeFileReplace(path, payload()))) {
        state.SkipWithError("setup failed");
        return;
    }
    for (auto _ : state) {
        QByteArray data;
        if (FAILED(readWholeFile(path, &data, kStreamBytes)))
            state.SkipWithError("plain read failed");
        benchmark::DoNotOptimize(data.constData());
    }
    state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

} // namespace

BENCHMARK(BM_CompoundFileWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFileWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompoundFileRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFileRead)->Unit(benchmark::kMillisecond)->UseRealTime();
