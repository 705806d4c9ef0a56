#include "cache_reader.h"

#include "cache_location.h"
#include "ipc/runtime_folder.h"
#include "storage/file/atomic_file.h"

#include <atomic>
#include <cstring>

namespace kavro::catalog {

bool readCacheHeader(const uint8_t* data, size_t size, CacheHeader* out)
{
    if (!data || size < kHeaderSize)
        return false;
    if (getU32(data + kHeaderFormatMark) != kFormatMark || getU32(data + kHeaderEndMarkAt) != kHeaderEndMark)
        return false;
    CacheHeader h;
    h.mappedSize = getU32(data + kHeaderMappedSize);
    h.documents = getU32(data + kHeaderDocuments);
    h.nonDocuments = getU32(data + kHeaderNonDocuments);
    h.deleted = getU32(data + kHeaderDeleted);
    if (h.mappedSize < kHeaderSize || h.mappedSize > size)
        return false;
    const uint64_t live = uint64_t(h.documents) + h.nonDocuments;
    if (live > (h.mappedSize - kHeaderSize) / kRecordFixedSize)
        return false;
    *out = h;
    return true;
}

size_t checkedRecordLength(const uint8_t* data, size_t limit, size_t offset)
{
    if (offset > limit || limit - offset < kRecordFixedSize)
        return 0;
    const uint8_t* r = data + offset;
    if (r[kRecState] > kLiveNonDocument || getU32(r + kRecConstant) != kRecordConstant)
        return 0;
    uint64_t chars = 0;
    for (int i = 0; i < 5; ++i)
        chars += getU32(r + kRecTextLengths + 4 * i);
    const uint64_t length = kRecordFixedSize + 2 * chars;
    if (getU32(r + kRecLength) != length || length > limit - offset)
        return 0;
    if (getU16(r + kRecordTextOffset + 2 * chars) != kRecordEndMark)
        return 0;
    return static_cast<size_t>(length);
}

namespace {

QString utf16At(const uint8_t* p, uint32_t units)
{
    QString s(static_cast<qsizetype>(units), Qt::Uninitialized);
    qFromLittleEndian<quint16>(p, units, s.data());
    return s;
}

double getF64(const uint8_t* p)
{
    uint64_t bits = getU32(p) | (uint64_t(getU32(p + 4)) << 32);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

float getF32(const uint8_t* p)
{
    const uint32_t bits = getU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

} // namespace

QString decodedText(const uint8_t* data, size_t offset, int index)
{
    const uint8_t* r = data + offset;
    size_t at = kRecordTextOffset;
    for (int i = 0; i < index; ++i)
        at += 2 * size_t(getU32(r + kRecTextLengths + 4 * i));
    return utf16At(r + at, getU32(r + kRecTextLengths + 4 * index));
}

void decodeRecord(const uint8_t* data, size_t offset, CacheRecord* out)
{
    const uint8_t* r = data + offset;
    out->state = r[kRecState];
    out->fileVersion = static_cast<int32_t>(getU32(r + kRecFileVersion));
    out->fileSize = getU32(r + kRecFileSize);
    out->writeTime = getU32(r + kRecWriteTime) | (uint64_t(getU32(r + kRecWriteTime + 4)) << 32);
    out->date = getF64(r + kRecDate);
    out->shotCount = static_cast<int32_t>(getU32(r + kRecShotCount));
    out->resultSum = static_cast<int32_t>(getU32(r + kRecResultSum));
    out->decimalSum = getF32(r + kRecDecimalSum);
    out->fCoefficient = static_cast<int32_t>(getU32(r + kRecFCoefficient));
    QString* texts[5] = {&out->path, &out->event, &out->shooter, &out->comments, &out->position};
    size_t at = kRecordTextOffset;
    for (int i = 0; i < 5; ++i) {
        const uint32_t units = getU32(r + kRecTextLengths + 4 * i);
        *texts[i] = utf16At(r + at, units);
        at += 2 * size_t(units);
    }
}

HRESULT parseCatalogCache(const uint8_t* data, size_t size, CacheSnapshot* out)
{
    if (!out)
        return E_POINTER;
    CacheSnapshot snapshot;
    if (!readCacheHeader(data, size, &snapshot.header))
        return kCacheCorrupted;
    snapshot.records.reserve(snapshot.header.documents + size_t(snapshot.header.nonDocuments));
    const bool whole = walkLiveRecords(data, snapshot.header, [&](size_t at, size_t) {
        snapshot.records.emplace_back();
        decodeRecord(data, at, &snapshot.records.back());
    });
    if (!whole)
        return kCacheCorrupted;
    *out = std::move(snapshot);
    return S_OK;
}

uint32_t loadChangeCounter(const uint8_t* page)
{
    // The page is mapped from a file and 4096-aligned; the counter at its start is a naturally
    // aligned uint32 that the writer changes atomically.
    return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(page))).load();
}

HRESULT CatalogCacheReader::open()
{
    close();
    if (!guard_.SwmrgInitialize(QString::fromLatin1(kGuardName)))
        return E_ACCESSDENIED;
    QString path;
    HRESULT hr = runtimeFilePath(QString::fromLatin1(kChangeCounterName), &path);
    if (SUCCEEDED(hr))
        hr = counter_.open(path, MappedFile::Access::ReadOnly);
    if (SUCCEEDED(hr))
        hr = counter_.map(kChangeCounterBytes);
    if (FAILED(hr))
        close();
    return hr;
}

void CatalogCacheReader::close()
{
    counter_.close();
    guard_.SwmrgDelete();
}

uint32_t CatalogCacheReader::changeCounter() const
{
    return counter_.data() ? loadChangeCounter(counter_.data()) : 0;
}

HRESULT CatalogCacheReader::read(CacheSnapshot* out, uint32_t* counter, uint32_t timeoutMs)
{
    if (!out)
        return E_POINTER;
    if (!isOpen())
        return E_UNEXPECTED;
    SwmrReadLock lock(guard_, timeoutMs);
    if (!lock.held())
        return E_ABORT;
    QString path;
    HRESULT hr = cacheFilePath(&path);
    if (FAILED(hr))
        return hr;
    // A private copy, taken under the guard: checks made on it still hold when the bytes are used,
    // even should another process write or truncate the file against the guard's rules.
    QByteArray bytes;
    hr = readWholeFile(path, &bytes, 0xFFFFFFFFLL);
    if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
        return kCacheMissing;
    if (FAILED(hr))
        return hr;
    if (counter)
        *counter = changeCounter();
    return parseCatalogCache(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), out);
}

} // namespace kavro::catalog
