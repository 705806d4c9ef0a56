// A reader of the catalog cache in a process of its own, for the whole-program tests.
//   catalog_probe dump <cache file>   the live records as JSON (same form as the Python reader)
//   catalog_probe read-loop <ms>      reads through the guard for <ms>; exit 2 when a read finds
//                                     the cache out of order, 3 when the reader cannot open
//   catalog_probe stop-compacting <cache file> <records>
//                                     writes <records> records, deletes the first 101 odd ones
//                                     and appends one more; halfway through the compaction that
//                                     follows, prints "compacting" and waits to be killed
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
    std::fprintf(stderr, "usage: catalog_probe dump <file> | read-loop <ms> | stop-compacting <file> <records>\n");
    return 1;
}
