#include "cache_writer.h"

#include "cache_location.h"
#include "ipc/runtime_folder.h"
#include "thread/manual_event.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>

namespace kavro::catalog {
namespace {

void putF64(uint8_t* p, double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putU32(p, static_cast<uint32_t>(bits));
    putU32(p + 4, static_cast<uint32_t>(bits >> 32));
}

void putF32(uint8_t* p, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putU32(p, bits);
}

} // namespace

CatalogCache::~CatalogCache()
{
    close();
}

HRESULT CatalogCache::open(const QString& path)
{
    close();
    if (!guard_.SwmrgInitialize(QString::fromLatin1(kGuardName)))
        return E_ACCESSDENIED;
    path_ = path;
    HRESULT hr;
    {
        SwmrWriteLock lock(guard_, kInfinite);
        hr = lock.held() ? cache_.open(path, MappedFile::Access::ReadWrite) : E_ABORT;
        if (SUCCEEDED(hr))
            hr = OpenCacheMappings();
        if (FAILED(hr))
            cache_.close();
    }
    if (FAILED(hr))
        guard_.SwmrgDelete();
    return hr;
}

void CatalogCache::close()
{
    if (cache_.isOpen()) {
        SwmrWriteLock lock(guard_, kInfinite);
        CloseCacheMappings();
        cache_.close();
    }
    guard_.SwmrgDelete();
}

HRESULT CatalogCache::OpenCacheMappings()
{
    QString counterPath;
    HRESULT hr = runtimeFilePath(QString::fromLatin1(kChangeCounterName), &counterPath);
    if (FAILED(hr))
        return hr;
    const bool counterExisted = QFileInfo::exists(counterPath);
    hr = counter_.open(counterPath, MappedFile::Access::ReadWrite);
    if (SUCCEEDED(hr))
        hr = counter_.map(kChangeCounterBytes);
    uint64_t fileSize = 0;
    if (SUCCEEDED(hr))
        hr = cache_.fileSize(&fileSize);
    if (SUCCEEDED(hr) && fileSize > 0xFFFFFFFFu)
        hr = E_OUTOFMEMORY; // sizes are 32-bit in the header
    const bool reinitialise = fileSize < kGrowthStep;
    const size_t size = reinitialise ? kGrowthStep : static_cast<size_t>(fileSize);
    if (SUCCEEDED(hr))
        hr = cache_.map(size);
    if (FAILED(hr)) {
        CloseCacheMappings();
        return hr;
    }
    // A reader that remembers a counter from before must see it move, whatever the cache holds now.
    if (counterExisted)
        raiseChangeCounter();
    else
        putU32(counter_.data(), 0);
    CacheHeader h;
    const bool intact = !reinitialise && readCacheHeader(header(), size, &h) && h.mappedSize == size;
    if (!intact || !rebuildIndex()) {
        resetHeader(size);
        rebuildIndex();
    }
    return S_OK;
}

void CatalogCache::CloseCacheMappings()
{
    cache_.unmap();
    counter_.close();
    byPath_.clear();
    events_.clear();
    pairs_.clear();
    end_ = kHeaderSize;
}

void CatalogCache::resetHeader(size_t size)
{
    uint8_t* h = header();
    std::memset(h, 0, kHeaderSize);
    putU32(h + kHeaderFormatMark, kFormatMark);
    putU32(h + kHeaderMappedSize, static_cast<uint32_t>(size));
    putU32(h + kHeaderEndMarkAt, kHeaderEndMark);
}

HRESULT CatalogCache::RemapCache(size_t size)
{
    if (size > 0xFFFFFFFFu)
        return E_OUTOFMEMORY;
    const size_t before = cache_.size();
    const HRESULT hr = cache_.map(size);
    if (FAILED(hr))
        return hr; // the cache stays mapped at its old size, every record where it was
    putU32(header() + kHeaderMappedSize, static_cast<uint32_t>(size));
    // The new room is about to be written record by record: one call makes its pages writable
    // instead of a fault on each. Where the kernel cannot, the faults do it as before.
    if (size > before)
        ::madvise(header() + before, size - before, MADV_POPULATE_WRITE);
    return S_OK;
}

HRESULT CatalogCache::ReopenIfReplaced()
{
    if (!cache_.isOpen())
        return E_UNEXPECTED;
    if (isOpen() && cache_.isFileAt(path_))
        return S_FALSE;
    // Made under the writer side, so that no reader meets the new file before it has a header.
    SwmrWriteLock lock(guard_, kInfinite);
    if (!lock.held())
        return E_ABORT;
    MappedFile fresh;
    HRESULT hr = makeCacheFolder(QFileInfo(path_).path());
    if (SUCCEEDED(hr))
        hr = fresh.open(path_, MappedFile::Access::ReadWrite);
    if (FAILED(hr))
        return hr;
    CloseCacheMappings();
    cache_.swap(fresh);
    fresh.close();
    return OpenCacheMappings();
}

CacheHeader CatalogCache::currentHeader() const
{
    CacheHeader h;
    h.mappedSize = getU32(header() + kHeaderMappedSize);
    h.documents = getU32(header() + kHeaderDocuments);
    h.nonDocuments = getU32(header() + kHeaderNonDocuments);
    h.deleted = getU32(header() + kHeaderDeleted);
    return h;
}

bool CatalogCache::rebuildIndex()
{
    byPath_.clear();
    events_.clear();
    pairs_.clear();
    end_ = kHeaderSize;
    CacheHeader h;
    if (!readCacheHeader(header(), cache_.size(), &h))
        return false;
    return walkLiveRecords(
        header(), h, [this](size_t at, size_t) { indexRecord(at, +1); }, &end_);
}

void CatalogCache::indexRecord(size_t offset, int delta)
{
    const uint8_t* data = header();
    const QString path = decodedText(data, offset, 0);
    if (delta > 0)
        byPath_.insert(path, offset);
    else
        byPath_.remove(path);
    if (data[offset] != kLiveDocument)
        return;
    const QString event = decodedText(data, offset, 1);
    const QString shooter = decodedText(data, offset, 2);
    if ((events_[event] += delta) <= 0)
        events_.remove(event);
    const auto pair = std::make_pair(event, shooter);
    if ((pairs_[pair] += delta) <= 0)
        pairs_.remove(pair);
}

void CatalogCache::raiseChangeCounter()
{
    std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(counter_.data())).fetch_add(1);
}

size_t CatalogCache::FindRecordByPath(const QString& path) const
{
    return byPath_.value(path, 0);
}

EventShooterPresence CatalogCache::FindEventShooterPair(const QString& event, const QString& shooter) const
{
    EventShooterPresence found;
    found.event = events_.contains(event);
    found.pair = shooter.isEmpty() ? found.event : pairs_.contains(std::make_pair(event, shooter));
    return found;
}

QString CatalogCache::RecordPath(size_t offset) const
{
    return decodedText(header(), offset, 0);
}

std::pair<uint64_t, uint32_t> CatalogCache::RecordStamp(size_t offset) const
{
    const uint8_t* r = header() + offset;
    return {getU32(r + kRecWriteTime) | (uint64_t(getU32(r + kRecWriteTime + 4)) << 32), getU32(r + kRecFileSize)};
}

CacheRecord CatalogCache::RecordAt(size_t offset) const
{
    CacheRecord r;
    decodeRecord(header(), offset, &r);
    return r;
}

HRESULT CatalogCache::compact()
{
    // Sliding the records down in place would leave, at the moment the writer dies, records
    // half over others: a cache no reader can read. The compacted copy is made beside it instead.
    const QString compacted = path_ + QStringLiteral(".compact");
    const QByteArray native = QFile::encodeName(compacted);
    ::unlink(native.constData()); // left by a writer that died while compacting
    MappedFile target;
    HRESULT hr = target.open(compacted, MappedFile::Access::ReadWrite);
    if (SUCCEEDED(hr))
        hr = target.map(cache_.size()); // the file does not shrink
    if (FAILED(hr)) {
        target.close();
        ::unlink(native.constData());
        return hr;
    }
    const uint8_t* from = header();
    uint8_t* to = target.data();
    std::memcpy(to, from, kHeaderSize);
    putU32(to + kHeaderDeleted, 0);
    const CacheHeader h = currentHeader();
    const size_t live = size_t(h.documents) + h.nonDocuments;
    size_t at = kHeaderSize, copied = 0;
    const bool whole = walkLiveRecords(from, h, [&](size_t offset, size_t length) {
        std::memcpy(to + at, from + offset, length);
        at += length;
        if (compactionProbe_)
            compactionProbe_(++copied, live);
    });
    if (!whole || ::rename(native.constData(), QFile::encodeName(path_).constData()) != 0) {
        const HRESULT err = whole ? hresultFromErrno(errno) : kCacheCorrupted;
        target.close();
        ::unlink(native.constData());
        return err;
    }
    cache_.swap(target);
    target.close();
    rebuildIndex();
    return S_OK;
}

HRESULT CatalogCache::AppendRecord(const CacheRecord& in, EventShooterPresence* before)
{
    if (!isOpen())
        return E_UNEXPECTED;
    const bool document = in.fileVersion >= 1;
    CacheRecord r = in;
    r.state = document ? kLiveDocument : kLiveNonDocument;
    if (before)
        *before = document ? FindEventShooterPair(r.event, r.shooter) : EventShooterPresence();
    const uint64_t length = r.byteLength();
    if (length > 0xFFFFFFFFu - kGrowthStep)
        return E_INVALIDARG;

    std::optional<SwmrWriteLock> lock;
    if (!batched_ && !lock.emplace(guard_, kInfinite).held())
        return E_ABORT;
    if (getU32(header() + kHeaderDeleted) > kCompactAbove) {
        // A cache that cannot be compacted now (a full disk) still takes the record; it is
        // compacted at a later append.
        const HRESULT hr = compact();
        if (FAILED(hr))
            qWarning("kavrocls: could not compact the catalog cache (error 0x%08X)", static_cast<unsigned>(hr));
    }
    const uint64_t needed = end_ + length;
    if (needed > cache_.size()) {
        const uint64_t steps = (needed - cache_.size() + kGrowthStep - 1) / kGrowthStep;
        const HRESULT hr = RemapCache(static_cast<size_t>(cache_.size() + steps * kGrowthStep));
        if (FAILED(hr))
            return hr;
    }
    uint8_t* p = header() + end_;
    p[kRecState] = r.state;
    putU32(p + kRecConstant, kRecordConstant);
    putU32(p + kRecLength, static_cast<uint32_t>(length));
    putU32(p + kRecFileVersion, static_cast<uint32_t>(r.fileVersion));
    putU32(p + kRecFileSize, r.fileSize);
    putU32(p + kRecWriteTime, static_cast<uint32_t>(r.writeTime));
    putU32(p + kRecWriteTime + 4, static_cast<uint32_t>(r.writeTime >> 32));
    putF64(p + kRecDate, r.date);
    putU32(p + kRecShotCount, static_cast<uint32_t>(r.shotCount));
    putU32(p + kRecResultSum, static_cast<uint32_t>(r.resultSum));
    putF32(p + kRecDecimalSum, r.decimalSum);
    putU32(p + kRecFCoefficient, static_cast<uint32_t>(r.fCoefficient));
    const QString* texts[5] = {&r.path, &r.event, &r.shooter, &r.comments, &r.position};
    size_t at = kRecordTextOffset;
    for (int i = 0; i < 5; ++i) {
        const QString& t = *texts[i];
        putU32(p + kRecTextLengths + 4 * i, static_cast<uint32_t>(t.size()));
        qToLittleEndian<quint16>(t.utf16(), t.size(), p + at);
        at += 2 * size_t(t.size());
    }
    putU16(p + at, kRecordEndMark);
    // Only now do the counts admit the record.
    const size_t countAt = document ? kHeaderDocuments : kHeaderNonDocuments;
    putU32(header() + countAt, getU32(header() + countAt) + 1);
    indexRecord(end_, +1);
    end_ += length;
    raiseChangeCounter();
    return S_OK;
}

HRESULT CatalogCache::DeleteRecord(size_t offset)
{
    if (!isOpen())
        return E_UNEXPECTED;
    if (offset < kHeaderSize || offset >= end_ || header()[offset] == kDeletedRecord)
        return E_INVALIDARG;
    std::optional<SwmrWriteLock> lock;
    if (!batched_ && !lock.emplace(guard_, kInfinite).held())
        return E_ABORT;
    uint8_t* h = header();
    const uint8_t state = h[offset];
    indexRecord(offset, -1);
    const size_t countAt = state == kLiveDocument ? kHeaderDocuments : kHeaderNonDocuments;
    putU32(h + kHeaderDeleted, getU32(h + kHeaderDeleted) + 1);
    putU32(h + countAt, getU32(h + countAt) - 1);
    h[offset] = kDeletedRecord;
    if (offset + getU32(h + offset + kRecLength) == end_) {
        // The end moves back to the last live record before this one.
        end_ = kHeaderSize;
        walkLiveRecords(h, currentHeader(), [this](size_t at, size_t length) { end_ = at + length; });
    }
    raiseChangeCounter();
    return S_OK;
}

CatalogCache::WriteBatch::WriteBatch(CatalogCache& cache) : cache_(cache), lock_(cache.guard_, kInfinite)
{
    cache_.batched_ = lock_.held();
}

CatalogCache::WriteBatch::~WriteBatch()
{
    cache_.batched_ = false;
}

std::vector<size_t> CatalogCache::LiveRecordOffsets() const
{
    std::vector<size_t> offsets;
    if (!isOpen())
        return offsets;
    offsets.reserve(byPath_.size());
    walkLiveRecords(header(), currentHeader(), [&](size_t at, size_t) { offsets.push_back(at); });
    return offsets;
}

uint32_t CatalogCache::LiveDocuments() const
{
    return isOpen() ? getU32(header() + kHeaderDocuments) : 0;
}

uint32_t CatalogCache::LiveNonDocuments() const
{
    return isOpen() ? getU32(header() + kHeaderNonDocuments) : 0;
}

uint32_t CatalogCache::DeletedRecords() const
{
    return isOpen() ? getU32(header() + kHeaderDeleted) : 0;
}

uint32_t CatalogCache::MappedSize() const
{
    return isOpen() ? getU32(header() + kHeaderMappedSize) : 0;
}

uint32_t CatalogCache::changeCounter() const
{
    return counter_.data() ? loadChangeCounter(counter_.data()) : 0;
}

} // namespace kavro::catalog
