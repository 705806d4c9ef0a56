// Feeds arbitrary bytes to the cache reader, to the writer opening them as its cache file, and to
// the notice decoder. Whatever the bytes, nothing reads outside them, and a cache the writer has
// opened and changed always reads back in order. Seeds: corpus/fuzz_catalog_cache.
#include "cache_reader.h"
#include "cache_writer.h"
#include "catalog_notice.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchFolder()
{
    static const QString folder = [] {
        const QString f = QDir::tempPath() + QStringLiteral("/kavro-fuzz-catalog-%1").arg(::getpid());
        QDir().mkpath(f + QStringLiteral("/run"));
        QFile::setPermissions(f + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(f + QStringLiteral("/run")));
        qputenv("KAVRO_CACHE_DIR", QFile::encodeName(f));
        std::atexit([] {
            QDir(QDir::tempPath() + QStringLiteral("/kavro-fuzz-catalog-%1").arg(::getpid())).removeRecursively();
        });
        return f;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kavro::catalog;
    // The reader on a copy of exactly the input, so that a read past it is caught.
    {
        QByteArray exact(reinterpret_cast<const char*>(data), qsizetype(size));
        CacheSnapshot snap;
        parseCatalogCache(reinterpret_cast<const uint8_t*>(exact.constData()), size, &snap);
        CatalogNotice notice;
        decodeShellNotice(exact, &notice);
    }

    // The writer keeps what is in order and resets the rest; after an append and a delete the
    // file must read back. Inputs whose header reads are padded to the smallest cache file, so
    // that the writer works on their records instead of starting afresh.
    CacheHeader header;
    if (size > kGrowthStep || !readCacheHeader(data, size, &header))
        return 0;
    QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    file.append(QByteArray(qsizetype(kGrowthStep - size), '\0'));
    putU32(reinterpret_cast<uint8_t*>(file.data()) + kHeaderMappedSize, uint32_t(kGrowthStep));
    const QString path = scratchFolder() + QStringLiteral("/kavrocls.tmp");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(file);
    }
    {
        CatalogCache cache;
        if (FAILED(cache.open(path)))
            __builtin_trap();
        CacheRecord r;
        r.fileVersion = 1;
        r.path = QStringLiteral("/fuzz/new.kavro");
        r.event = QStringLiteral("Air Rifle");
        r.shooter = QStringLiteral("Fuzz");
        if (FAILED(cache.AppendRecord(r)))
            __builtin_trap();
        const auto offsets = cache.LiveRecordOffsets();
        if (offsets.empty() || cache.FindRecordByPath(r.path) == 0)
            __builtin_trap();
        cache.DeleteRecord(offsets.front());
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        __builtin_trap();
    const QByteArray after = f.readAll();
    CacheSnapshot snap;
    if (FAILED(parseCatalogCache(reinterpret_cast<const uint8_t*>(after.constData()), size_t(after.size()), &snap)))
        __builtin_trap();
    return 0;
}
