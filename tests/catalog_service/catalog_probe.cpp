// A reader of the catalog cache in a process of its own, for the whole-program tests.
//   catalog_probe dump <cache file>   the live records as JSON (same form as the Python reader)
//   catalog_probe read-loop <ms>      reads through the guard for <ms>; exit 2 when a read finds
//                                     the cache out of order, 3 when the reader cannot open
#include "cache_reader.h"
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("dump"))
        return dump(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("read-loop"))
        return readLoop(args[2].toInt());
    std::fprintf(stderr, "usage: catalog_probe dump <file> | read-loop <ms>\n");
    return 1;
}
