// A reader of the catalog cache in a process of its own, for the whole-program tests.
//   catalog_probe dump <cache file>   the live records as JSON (same form as the Python reader)
//   catalog_probe read-loop <ms>      reads through the guard for <ms>; exit 2 when a read finds
//                                     the cache out of order, 3 when the reader cannot open
//   catalog_probe stop-compacting <cache file> <records>
//                                     writes <records> records, deletes the first 101 odd ones
//                                     and appends one more; halfway through the compaction that
//                                     follows, prints "compacting" and waits to be killed
//   catalog_probe grow-without-room <cache file>
//                                     fills the cache's first 0x40000 bytes but for one small
//                                     record, then appends a record that needs the cache to grow
//                                     while the address space has no room for the larger mapping,
//                                     uses the cache, and appends it again once there is room;
//                                     prints what each step gave
#include "cache_reader.h"
#include "cache_writer.h"
#include "thread/manual_event.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <thread>

using namespace kavro;
using namespace kavro::catalog;

namespace {

QString hexBits(uint64_t bits, int digits)
{
    return QStringLiteral("%1").arg(bits, digits, 16, QLatin1Char('0'));
}

int dump(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 3;
    const QByteArray bytes = f.readAll();
    CacheSnapshot snap;
    if (FAILED(parseCatalogCache(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), &snap)))
        return 2;
    QJsonArray records;
    for (const CacheRecord& r : snap.records) {
        uint64_t date;
        std::memcpy(&date, &r.date, 8);
        uint32_t decimal;
        std::memcpy(&decimal, &r.decimalSum, 4);
        records.append(QJsonObject{
            {QStringLiteral("state"), r.state},
            {QStringLiteral("fileVersion"), r.fileVersion},
            {QStringLiteral("fileSize"), qint64(r.fileSize)},
            {QStringLiteral("writeTime"), QString::number(r.writeTime)},
            {QStringLiteral("date"), hexBits(date, 16)},
            {QStringLiteral("shotCount"), r.shotCount},
            {QStringLiteral("resultSum"), r.resultSum},
            {QStringLiteral("decimalSum"), hexBits(decimal, 8)},
            {QStringLiteral("fCoefficient"), r.fCoefficient},
            {QStringLiteral("path"), r.path},
            {QStringLiteral("event"), r.event},
            {QStringLiteral("shooter"), r.shooter},
            {QStringLiteral("comments"), r.comments},
            {QStringLiteral("position"), r.position},
        });
    }
    const QJsonObject out{
        {QStringLiteral("documents"), qint64(snap.header.documents)},
        {QStringLiteral("nonDocuments"), qint64(snap.header.nonDocuments)},
        {QStringLiteral("deleted"), qint64(snap.header.deleted)},
        {QStringLiteral("mappedSize"), qint64(snap.header.mappedSize)},
        {QStringLiteral("records"), records},
    };
    std::fputs(QJsonDocument(out).toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}

int readLoop(int ms)
{
    CatalogCacheReader reader;
    if (FAILED(reader.open()))
        return 3;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    int reads = 0;
    uint32_t lastCounter = 0;
    while (std::chrono::steady_clock::now() < end) {
        CacheSnapshot snap;
        uint32_t counter = 0;
        const HRESULT hr = reader.read(&snap, &counter, kInfinite);
        if (FAILED(hr)) {
            std::fprintf(stderr, "read %d failed: 0x%08X\n", reads, unsigned(hr));
            return 2;
        }
        if (counter < lastCounter) {
            std::fprintf(stderr, "the change counter went back\n");
            return 2;
        }
        lastCounter = counter;
        ++reads;
    }
    std::printf("%d\n", reads);
    return 0;
}

int stopCompacting(const QString& path, int records)
{
    CatalogCache cache;
    if (FAILED(cache.open(path)))
        return 3;
    for (int i = 0; i <= records; ++i) {
        if (i == records) {
            const std::vector<size_t> offsets = cache.LiveRecordOffsets();
            for (size_t k = 1; k < offsets.size() && k <= 2 * (kCompactAbove + 1); k += 2)
                cache.DeleteRecord(offsets[k]);
            cache.setCompactionProbe([](size_t copied, size_t live) {
                if (copied == live / 2) {
                    std::fputs("compacting\n", stdout);
                    std::fflush(stdout);
                    for (;;)
                        std::this_thread::sleep_for(std::chrono::seconds(1));
                }
            });
        }
        CacheRecord r;
        r.fileVersion = 1;
        // Lengths that differ, so that records half slid over others cannot pass for whole ones.
        r.path = QStringLiteral("/c/%1/").arg(i) + QString(10 + (i * 37) % 90, QLatin1Char('p'));
        r.event = QStringLiteral("Air Rifle");
        r.shooter = QStringLiteral("S%1").arg(i % 5);
        if (FAILED(cache.AppendRecord(r)))
            return 2;
    }
    return 4; // the compaction never came
}

// The process's mapped address space in bytes.
uint64_t addressSpace()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toULongLong() * 1024;
    return 0;
}

int growWithoutRoom(const QString& path)
{
    CatalogCache cache;
    if (FAILED(cache.open(path)))
        return 3;
    // Names of one length, so that every filling record takes the same room.
    auto record = [](const QString& name, int length) {
        CacheRecord r;
        r.fileVersion = 1;
        r.path = QStringLiteral("/c/") + name.rightJustified(4, QLatin1Char('0')) + QString(length, QLatin1Char('p'));
        r.event = QStringLiteral("Air Rifle");
        r.shooter = QStringLiteral("Anna");
        return r;
    };
    const CacheRecord first = record(QStringLiteral("0/"), 1000);
    const size_t each = first.byteLength();
    const int fitting = int((kGrowthStep - kHeaderSize) / each) - 1; // room for one more stays
    for (int i = 0; i < fitting; ++i)
        if (FAILED(cache.AppendRecord(record(QStringLiteral("%1/").arg(i), 1000))))
            return 2;
    // About 800 KB: the cache must grow to 1.25 MB, four steps at once.
    const CacheRecord large = record(QStringLiteral("lrg/"), 400000);
    const CacheRecord small = record(QStringLiteral("sml/"), 1000);
    std::printf("filled %d\n", fitting);
    std::fflush(stdout);

    // Room for the process's small needs, none for the larger mapping, nor for the larger one
    // after the old one had gone.
    rlimit before{};
    if (::getrlimit(RLIMIT_AS, &before) != 0 || addressSpace() == 0)
        return 5;
    rlimit tight = before;
    tight.rlim_cur = addressSpace() + 900 * 1024;
    if (::setrlimit(RLIMIT_AS, &tight) != 0)
        return 5;
    const HRESULT grown = cache.AppendRecord(large);
    const size_t kept = cache.FindRecordByPath(first.path);
    const bool usable = kept != 0 && cache.RecordPath(kept) == first.path && cache.MappedSize() == kGrowthStep
        && SUCCEEDED(cache.AppendRecord(small));
    ::setrlimit(RLIMIT_AS, &before);
    std::printf("without room %s, %s\n", SUCCEEDED(grown) ? "grown" : "failed", usable ? "usable" : "unusable");
    const HRESULT later = cache.AppendRecord(large);
    std::printf("with room %s to %u, %u documents\n", SUCCEEDED(later) ? "grown" : "failed", cache.MappedSize(),
                cache.LiveDocuments());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("dump"))
        return dump(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("read-loop"))
        return readLoop(args[2].toInt());
    if (args.size() == 4 && args[1] == QLatin1String("stop-compacting"))
        return stopCompacting(args[2], args[3].toInt());
    if (args.size() == 3 && args[1] == QLatin1String("grow-without-room"))
        return growWithoutRoom(args[2]);
    std::fprintf(stderr,
                 "usage: catalog_probe dump <file> | read-loop <ms> | stop-compacting <file> <records> | "
                 "grow-without-room <file>\n");
    return 1;
}
