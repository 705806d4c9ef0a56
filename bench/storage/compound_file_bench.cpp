// Compound-file read and write of practice documents of 0.5, 5, 10, 17 and 54 MB made by the
// document model, and of a file of 64 streams, against plain file work on the same bytes in the
// same run, so the container's own cost shows. Reading takes the road a document load takes (the
// file's bytes, then the "Contents" stream taken from them) and the road of readStream on an
// opened file, both against a plain read of the whole file; writing a document's "Contents"
// stream goes against a plain write of the file's bytes with the same replace-and-flush steps.
// The "ratio" counters give those quotients. The documents are made before any timing.
#include "common/synthetic_practice.h"
#include "storage/cfb/compound_file.h"
#include "storage/file/atomic_file.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>

using namespace kavrodoc;

namespace {

constexpr int kSecondsPerAiming = 60;
const QString kContents = QStringLiteral("Contents");

// Before any document exists: each one holds the event manager of the folder named here.
[[maybe_unused]] const bool eventsFromTheBinFolder = qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));

// A document file of about `kilobytes`, made by the document model, and its "Contents" stream.
struct Document {
    QTemporaryDir dir;
    QString path;
    QByteArray fileBytes;
    QByteArray contents;
    bool ok = false;

    explicit Document(int kilobytes)
    {
        path = dir.filePath(QStringLiteral("practice.kavro"));
        const ComPtr<IEventParams> event = bench::airRifle();
        if (!event)
            return;
        auto doc = CKavroDocument::create();
        doc->put_Event(event.get());
        doc->put_ShooterName(QStringLiteral("Bench"));
        doc->put_FileName(path);
        ComPtr<IAimingCollection> aimings;
        doc->get_Aimings(aimings.put());
        // One aiming first, to learn what one costs in the file.
        aimings->Add(bench::recordedAiming(event.get(), 0, kSecondsPerAiming, 6).get());
        if (FAILED(doc->Save()) || FAILED(readWholeFile(path, &fileBytes, CompoundFileReader::kMaxFileBytes)))
            return;
        const int64_t wanted = int64_t(kilobytes) * 1000;
        const int count = int(std::max<int64_t>(1, (wanted + fileBytes.size() / 2) / fileBytes.size()));
        for (int n = 1; n < count; ++n)
            aimings->Add(bench::recordedAiming(event.get(), n, kSecondsPerAiming, 6).get());
        CompoundFileReader reader;
        ok = SUCCEEDED(doc->Save()) && SUCCEEDED(readWholeFile(path, &fileBytes, CompoundFileReader::kMaxFileBytes))
            && SUCCEEDED(CompoundFileReader::fromBytes(fileBytes, &reader))
            && SUCCEEDED(reader.readStream(kContents, &contents));
    }
};

Document& document(int kilobytes)
{
    static std::map<int, std::unique_ptr<Document>> made;
    auto& d = made[kilobytes];
    if (!d)
        d = std::make_unique<Document>(kilobytes);
    return *d;
}

double plainReadSeconds(const QString& path)
{
    return bench::secondsOf([&] {
        QByteArray whole;
        readWholeFile(path, &whole, CompoundFileReader::kMaxFileBytes);
        benchmark::DoNotOptimize(whole.constData());
    });
}

void report(benchmark::State& state, double compound, double plain, qsizetype fileBytes)
{
    state.counters["ratio"] = compound / plain;
    state.counters["MB"] = double(fileBytes) / 1e6;
}

// Times `read` of the "Contents" stream of the document of `state.range(0)` kilobytes against a
// plain read of the same file, in the same iteration.
template <class Read> void readAgainstPlain(benchmark::State& state, Read read)
{
    Document& d = document(int(state.range(0)));
    if (!d.ok) {
        state.SkipWithError("the document could not be made");
        return;
    }
    double compound = 0, plain = 0;
    for (auto _ : state) {
        QByteArray contents;
        HRESULT hr = S_OK;
        const double s = bench::secondsOf([&] { hr = read(d.path, &contents); });
        if (FAILED(hr) || contents.size() != d.contents.size()) {
            state.SkipWithError("compound-file read failed");
            return;
        }
        state.SetIterationTime(s);
        compound += s;
        plain += plainReadSeconds(d.path);
    }
    report(state, compound, plain, d.fileBytes.size());
}

// The road of a document load: the file's bytes, then its stream taken from them.
void BM_CompoundFileRead(benchmark::State& state)
{
    readAgainstPlain(state, [](const QString& path, QByteArray* contents) {
        QByteArray bytes;
        CompoundFileReader reader;
        HRESULT hr = readWholeFile(path, &bytes, CompoundFileReader::kMaxFileBytes);
        if (SUCCEEDED(hr))
            hr = CompoundFileReader::fromBytes(std::move(bytes), &reader);
        if (SUCCEEDED(hr))
            hr = reader.takeStream(kContents, contents);
        return hr;
    });
}

// The same through an opened file and readStream.
void BM_CompoundFileReadStream(benchmark::State& state)
{
    readAgainstPlain(state, [](const QString& path, QByteArray* contents) {
        CompoundFileReader reader;
        HRESULT hr = CompoundFileReader::open(path, &reader);
        if (SUCCEEDED(hr))
            hr = reader.readStream(kContents, contents);
        return hr;
    });
}

void BM_CompoundFileWrite(benchmark::State& state)
{
    Document& d = document(int(state.range(0)));
    if (!d.ok) {
        state.SkipWithError("the document could not be made");
        return;
    }
    const QString path = d.dir.filePath(QStringLiteral("written.kavro"));
    const QString plainPath = d.dir.filePath(QStringLiteral("written.bin"));
    double compound = 0, plain = 0;
    for (auto _ : state) {
        HRESULT hr = S_OK;
        const double s = bench::secondsOf([&] {
            CompoundFileWriter writer;
            writer.setRootClassId(CLSID_KavroDocument);
            hr = writer.addStream(kContents, d.contents);
            if (SUCCEEDED(hr))
                hr = writer.writeFile(path, WriteMode::Replace);
        });
        if (FAILED(hr)) {
            state.SkipWithError("write failed");
            return;
        }
        state.SetIterationTime(s);
        compound += s;
        plain += bench::secondsOf([&] { writeFileReplace(plainPath, d.fileBytes); });
    }
    report(state, compound, plain, d.fileBytes.size());
}

// 64 streams of 160 000 bytes each, every one read through readStream.
void BM_CompoundFileRead64Streams(benchmark::State& state)
{
    constexpr int kStreams = 64;
    constexpr qsizetype kEach = 160000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("streams.cfb"));
    CompoundFileWriter writer;
    uint32_t x = 12345;
    for (int i = 0; i < kStreams; ++i) {
        QByteArray b(kEach, Qt::Uninitialized);
        for (qsizetype k = 0; k < b.size(); ++k) {
            x = x * 1103515245u + 12345u;
            b[k] = static_cast<char>(x >> 24);
        }
        writer.addStream(QStringLiteral("Stream %1").arg(i), b);
    }
    QByteArray whole;
    if (FAILED(writer.writeFile(path, WriteMode::Replace))
        || FAILED(readWholeFile(path, &whole, CompoundFileReader::kMaxFileBytes))) {
        state.SkipWithError("setup failed");
        return;
    }
    double compound = 0, plain = 0;
    for (auto _ : state) {
        HRESULT hr = S_OK;
        const double s = bench::secondsOf([&] {
            CompoundFileReader reader;
            hr = CompoundFileReader::open(path, &reader);
            for (int i = 0; i < kStreams && SUCCEEDED(hr); ++i) {
                QByteArray data;
                hr = reader.readStream(QStringLiteral("Stream %1").arg(i), &data);
                if (SUCCEEDED(hr) && data.size() != kEach)
                    hr = E_FAIL;
                benchmark::DoNotOptimize(data.constData());
            }
        });
        if (FAILED(hr)) {
            state.SkipWithError("compound-file read failed");
            return;
        }
        state.SetIterationTime(s);
        compound += s;
        plain += plainReadSeconds(path);
    }
    report(state, compound, plain, whole.size());
}

// Sizes in kilobytes.
void documentSizes(benchmark::internal::Benchmark* b)
{
    for (int kb : {500, 5000, 10000, 17000, 54000})
        b->Arg(kb);
}

} // namespace

BENCHMARK(BM_CompoundFileRead)->Apply(documentSizes)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CompoundFileReadStream)->Apply(documentSizes)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CompoundFileWrite)->Apply(documentSizes)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CompoundFileRead64Streams)->Unit(benchmark::kMillisecond)->UseManualTime();
