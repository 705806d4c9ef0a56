// The catalog service's scan of 10000 small practices (200 distinct files, each copied under 50
// names), against reading the same files' bytes in the same run ("ratio": how many plain reads
// of the catalog a first scan costs; "documents_ratio": the same for reading every file into its
// record through the document model alone, the part of a scan that is not the cache's;
// "floor_ratio": the walk and the cache's records with no document read, plus the plain read of
// every file, what no scan can go below); a
// rescan with nothing changed against the first scan; and a reader taking the 10000-record
// cache and grouping it by event and shooter as the catalog tree does, against copying the
// cache's bytes.
#include "cache_reader.h"
#include "cache_writer.h"
#include "catalog_indexer.h"
#include "com/classregistry.h"
#include "storage/file/atomic_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

using namespace kavro;
using namespace kavro::catalog;

namespace {

constexpr int kDistinct = 200;
constexpr int kCopies = 50;

double secondsOf(auto&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

ComPtr<IEventParams> eventNamed(const char* shortName)
{
    ComPtr<IEventManager> manager;
    createInstance(kavrodoc::CLSID_EventManager, &manager);
    ComPtr<IEventParams> event;
    if (manager)
        manager->FindByShortName(QString::fromLatin1(shortName), event.put());
    return event;
}

// A small practice: a few aimings of two seconds at 100 samples per second, one shot each.
void savePractice(const QString& path, int n)
{
    static const char* events[] = {"AR10", "AP10", "SBR50", "SP1"};
    auto event = eventNamed(events[n % 4]);
    ComPtr<IKavroDocument> doc;
    createInstance(kavrodoc::CLSID_KavroDocument, &doc);
    doc->put_Event(event.get());
    doc->put_ShooterName(QStringLiteral("Shooter %1").arg(n % 17));
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    for (int a = 0; a < 3 + n % 5; ++a) {
        ComPtr<IAiming> aiming;
        createInstance(kavrodoc::CLSID_Aiming, &aiming);
        ComPtr<IAimingAttr> attr;
        ComPtr<IAimingTrace> trace;
        aiming->get_Attr(attr.put());
        aiming->get_Trace(trace.put());
        attr->put_SampleRate(100);
        attr->put_Event(event.get());
        attr->put_Match(VARIANT_TRUE);
        attr->put_EnterTime(45123.375 + n + a / 1440.0);
        trace->put_WrapEnabled(VARIANT_FALSE);
        for (int i = 0; i < 200; ++i)
            trace->_Add(int32_t(500 * std::sin((i + a) * 0.05)), int32_t(400 * std::cos((i + n) * 0.04)));
        ComPtr<IShot> shot;
        aiming->AddShot(VARIANT_FALSE, shot.put());
        aimings->Add(aiming.get());
    }
    doc->put_FileName(path);
    doc->Save();
}

struct Catalog {
    QTemporaryDir root;
    QString folder;
    QStringList files;

    Catalog()
    {
        qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root.path() + QStringLiteral("/run")));
        qputenv("KAVRO_CACHE_DIR", QFile::encodeName(root.path() + QStringLiteral("/cache")));
        QDir().mkpath(root.path() + QStringLiteral("/run"));
        QFile::setPermissions(root.path() + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir().mkpath(root.path() + QStringLiteral("/cache"));
        folder = root.path() + QStringLiteral("/catalog/");
        for (int n = 0; n < kDistinct; ++n) {
            const QString first = folder + QStringLiteral("set %1/practice %2-0.kavro").arg(n % 20).arg(n);
            QDir().mkpath(QFileInfo(first).path());
            savePractice(first, n);
            files << first;
            for (int c = 1; c < kCopies; ++c) {
                const QString copy = folder + QStringLiteral("set %1/practice %2-%3.kavro").arg(n % 20).arg(n).arg(c);
                QFile::copy(first, copy);
                files << copy;
            }
        }
    }
    QString cachePath() const { return root.path() + QStringLiteral("/cache/kavrocls.tmp"); }

    double readAllBytes() const
    {
        return secondsOf([&] {
            for (const QString& f : files) {
                QByteArray bytes;
                readWholeFile(f, &bytes, int64_t(1) << 30);
                benchmark::DoNotOptimize(bytes.data());
            }
        });
    }
};

Catalog& theCatalog()
{
    static Catalog c;
    return c;
}

double firstScan(CatalogCache& cache)
{
    Catalog& c = theCatalog();
    QFile::remove(c.cachePath());
    cache.open(c.cachePath());
    CatalogIndexer indexer(cache, c.folder, nullptr);
    return secondsOf([&] { indexer.Rescan(); });
}

void BM_FirstScan(benchmark::State& state)
{
    Catalog& c = theCatalog();
    double scan = 0, read = 0, documents = 0, walk = 0;
    for (auto _ : state) {
        CatalogCache cache;
        const double s = firstScan(cache);
        state.SetIterationTime(s);
        scan += s;
        read += c.readAllBytes();
        if (cache.LiveDocuments() != uint32_t(c.files.size()))
            state.SkipWithError("not every practice was indexed");
        // What the scan cannot go below: each file read through the document model into its record.
        CatalogIndexer reader(cache, c.folder, nullptr);
        documents += secondsOf([&] {
            for (const QString& f : c.files)
                benchmark::DoNotOptimize(reader.ReadDocument(f).shotCount);
        });
        CatalogCache bare;
        QFile::remove(c.cachePath());
        bare.open(c.cachePath());
        CatalogIndexer walker(bare, c.folder, nullptr);
        walker.setDocumentFactory([](ComPtr<IKavroDocument>*) { return E_FAIL; });
        walk += secondsOf([&] { walker.Rescan(); });
    }
    state.counters["ratio"] = scan / read;
    state.counters["documents_ratio"] = documents / read;
    state.counters["floor_ratio"] = (walk + read) / read;
    state.counters["files"] = double(c.files.size());
}

void BM_RescanUnchanged(benchmark::State& state)
{
    Catalog& c = theCatalog();
    double rescan = 0, first = 0;
    for (auto _ : state) {
        CatalogCache cache;
        first += firstScan(cache);
        CatalogIndexer indexer(cache, c.folder, nullptr);
        const double s = secondsOf([&] { indexer.Rescan(); });
        state.SetIterationTime(s);
        rescan += s;
    }
    state.counters["ratio"] = rescan / first;
}

void BM_ReadCacheIntoTree(benchmark::State& state)
{
    Catalog& c = theCatalog();
    {
        CatalogCache cache;
        firstScan(cache);
    }
    CatalogCacheReader reader;
    if (FAILED(reader.open())) {
        state.SkipWithError("no cache");
        return;
    }
    double tree = 0, copy = 0;
    for (auto _ : state) {
        const double s = secondsOf([&] {
            CacheSnapshot snap;
            reader.read(&snap, nullptr, kInfinite);
            QHash<QString, QHash<QString, QList<const CacheRecord*>>> byEvent;
            for (const CacheRecord& r : snap.records)
                byEvent[r.event][r.shooter].append(&r);
            benchmark::DoNotOptimize(byEvent.size());
        });
        state.SetIterationTime(s);
        tree += s;
        copy += secondsOf([&] {
            QByteArray bytes;
            readWholeFile(c.cachePath(), &bytes, int64_t(1) << 32);
            benchmark::DoNotOptimize(bytes.data());
        });
    }
    state.counters["ratio"] = tree / copy;
    state.counters["ms"] = tree * 1000 / double(state.iterations());
}

} // namespace

BENCHMARK(BM_FirstScan)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RescanUnchanged)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCacheIntoTree)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
