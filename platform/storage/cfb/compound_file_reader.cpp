#include "compound_file_reader.h"

#include "cfb_format.h"

#include <algorithm>
#include <limits>

using namespace cfb;

namespace {

constexpr uint64_t kWholeChain = std::numeric_limits<uint64_t>::max();

uint64_t ceilDiv(uint64_t a, uint64_t b)
{
    return a / b + (a % b != 0);
}

} // namespace

HRESULT CompoundFileReader::open(const QString& path, CompoundFileReader* out, int64_t readWholeUpTo)
{
    if (!out)
        return E_POINTER;
    CompoundFileReader reader;
    HRESULT hr = FileAtOffsets::open(path, &reader.file_);
    if (FAILED(hr))
        return hr;
    if (reader.file_->size() > kMaxFileBytes)
        return kFileTooLargeError;
    if (reader.file_->size() <= readWholeUpTo) {
        QByteArray bytes(static_cast<qsizetype>(reader.file_->size()), Qt::Uninitialized);
        if (!reader.file_->readAt(0, bytes.data(), static_cast<uint64_t>(bytes.size())))
            return STG_E_READFAULT;
        return fromBytes(std::move(bytes), out);
    }
    reader.size_ = static_cast<uint64_t>(reader.file_->size());
    hr = reader.parse();
    if (FAILED(hr))
        return hr;
    *out = std::move(reader);
    return S_OK;
}

HRESULT CompoundFileReader::fromBytes(QByteArray bytes, CompoundFileReader* out)
{
    if (!out)
        return E_POINTER;
    CompoundFileReader reader;
    reader.data_ = std::move(bytes);
    reader.size_ = static_cast<uint64_t>(reader.data_.size());
    HRESULT hr = reader.parse();
    if (FAILED(hr))
        return hr;
    *out = std::move(reader);
    return S_OK;
}

QStringList CompoundFileReader::streamNames() const
{
    QStringList names;
    names.reserve(static_cast<qsizetype>(streams_.size()));
    for (const StreamEntry& s : streams_)
        names.append(s.name);
    return names;
}

bool CompoundFileReader::hasStream(const QString& name) const
{
    return streamIndex_.contains(nameKey(name));
}

HRESULT CompoundFileReader::readStream(const QString& name, QByteArray* out) const
{
    if (!out)
        return E_POINTER;
    auto it = streamIndex_.constFind(nameKey(name));
    if (it == streamIndex_.constEnd())
        return STG_E_FILENOTFOUND;
    const StreamEntry& entry = streams_[static_cast<size_t>(*it)];
    if (entry.size == 0) {
        out->clear();
        return S_OK;
    }
    return entry.size < kMiniStreamCutoff ? readMini(entry.startSector, entry.size, out)
                                          : readRegular(entry.startSector, entry.size, out);
}

HRESULT CompoundFileReader::takeStream(const QString& name, QByteArray* out)
{
    if (!out)
        return E_POINTER;
    HRESULT hr = S_OK;
    auto it = streamIndex_.constFind(nameKey(name));
    if (it == streamIndex_.constEnd()) {
        hr = STG_E_FILENOTFOUND;
    } else {
        const StreamEntry entry = streams_[static_cast<size_t>(*it)];
        if (entry.size < kMiniStreamCutoff || !takeRun(entry.startSector, entry.size, out))
            hr = readStream(name, out);
    }
    *this = CompoundFileReader();
    return hr;
}

// A stream that takes over the bytes passes the same checks as one that is copied: a chain of
// consecutive sectors that ends with the stream cannot loop or stray, and any other chain is
// walked whole.
bool CompoundFileReader::takeRun(uint32_t start, uint64_t size, QByteArray* out)
{
    // Bytes read from the file when wanted are not held: there is nothing to take over.
    if (file_)
        return false;
    const uint64_t sectors = ceilDiv(size, sectorSize_);
    if (!isEndingRun(start, sectors)) {
        std::vector<uint32_t> chain;
        if (FAILED(followChain(fat_, sectorCount(), start, sectors, &chain)) || chain.empty())
            return false;
        for (size_t i = 1; i < chain.size(); ++i) {
            if (chain[i] != chain[0] + i)
                return false;
        }
    }
    const uint64_t offset = (uint64_t(start) + 1) << sectorShift_;
    if (offset + size > static_cast<uint64_t>(data_.size()))
        return false;
    QByteArray bytes = std::move(data_);
    // Dropping the front of an unshared array moves no bytes.
    bytes.remove(0, static_cast<qsizetype>(offset));
    bytes.truncate(static_cast<qsizetype>(size));
    *out = std::move(bytes);
    return true;
}

bool CompoundFileReader::isEndingRun(uint32_t start, uint64_t sectors) const
{
    const uint64_t limit = std::min<uint64_t>(sectorCount(), fat_.size());
    if (sectors == 0 || start >= limit || sectors > limit - start)
        return false;
    // Every link is looked at without a branch on each (the run is the whole stream, thousands of
    // sectors): the loop vectorises.
    const uint32_t* link = fat_.data() + start;
    const uint32_t links = uint32_t(sectors - 1);
    uint32_t differs = 0;
    for (uint32_t i = 0; i < links; ++i)
        differs |= link[i] ^ (start + i + 1);
    return differs == 0 && link[links] == kEndOfChain;
}

HRESULT CompoundFileReader::parse()
{
    char header[kHeaderSize];
    const uint64_t have = std::min<uint64_t>(size_, kHeaderSize);
    if (!readAt(0, have, header))
        return STG_E_READFAULT;
    HRESULT hr = parseHeader(header, have);
    if (SUCCEEDED(hr))
        hr = loadFat(header);
    QByteArray directory;
    std::vector<const char*> entries;
    if (SUCCEEDED(hr))
        hr = loadDirectory(&directory, &entries);
    if (SUCCEEDED(hr))
        hr = loadMiniStream(entries.front());
    if (SUCCEEDED(hr))
        hr = collectRootStreams(entries);
    return hr;
}

HRESULT CompoundFileReader::parseHeader(const char* h, uint64_t have)
{
    if (have < sizeof kSignature || std::memcmp(h, kSignature, sizeof kSignature) != 0)
        return STG_E_INVALIDHEADER;
    if (have < kHeaderSize)
        return STG_E_READFAULT;
    majorVersion_ = readU16(h + kOffMajorVersion);
    uint16_t shift = readU16(h + kOffSectorShift);
    if (readU16(h + kOffByteOrder) != kByteOrderMark)
        return STG_E_INVALIDHEADER;
    if (!(majorVersion_ == 3 && shift == kSectorShiftV3) && !(majorVersion_ == 4 && shift == kSectorShiftV4))
        return STG_E_INVALIDHEADER;
    if (readU16(h + kOffMiniSectorShift) != kMiniSectorShift || readU32(h + kOffMiniStreamCutoff) != kMiniStreamCutoff)
        return STG_E_INVALIDHEADER;
    sectorShift_ = shift;
    sectorSize_ = 1u << shift;
    // A version 4 header occupies a whole 4096-byte sector.
    if (size_ < sectorSize_)
        return STG_E_READFAULT;
    fatSectorCount_ = readU32(h + kOffFatSectorCount);
    firstDirSector_ = readU32(h + kOffFirstDirSector);
    firstMiniFatSector_ = readU32(h + kOffFirstMiniFatSector);
    firstDifatSector_ = readU32(h + kOffFirstDifatSector);
    return S_OK;
}

uint32_t CompoundFileReader::sectorCount() const
{
    // A last sector cut short still counts; reads check that the bytes they need are present.
    uint64_t body = size_ - sectorSize_;
    return static_cast<uint32_t>(std::min<uint64_t>(ceilDiv(body, sectorSize_), kMaxRegularSector));
}

bool CompoundFileReader::readAt(uint64_t offset, uint64_t length, char* to) const
{
    if (offset > size_ || length > size_ - offset)
        return false;
    if (file_)
        return file_->readAt(offset, to, length);
    std::memcpy(to, data_.constData() + offset, length);
    return true;
}

bool CompoundFileReader::readChain(const std::vector<uint32_t>& chain, uint64_t length, char* to) const
{
    uint64_t done = 0;
    for (size_t i = 0; i < chain.size() && done < length;) {
        size_t end = i + 1;
        while (end < chain.size() && chain[end] == chain[end - 1] + 1)
            ++end;
        const uint64_t offset = (uint64_t(chain[i]) + 1) << sectorShift_;
        const uint64_t take = std::min<uint64_t>(uint64_t(end - i) << sectorShift_, length - done);
        if (!readAt(offset, take, to + done))
            return false;
        done += take;
        i = end;
    }
    return done == length;
}

HRESULT CompoundFileReader::loadFat(const char* h)
{
    const uint32_t sectors = sectorCount();
    // Every FAT sector is itself a sector of the file.
    if (fatSectorCount_ == 0 || fatSectorCount_ > sectors)
        return STG_E_DOCFILECORRUPT;

    std::vector<uint32_t> fatSectors;
    fatSectors.reserve(fatSectorCount_);
    for (uint32_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatSectorCount_; ++i)
        fatSectors.push_back(readU32(h + kOffHeaderDifat + 4 * i));

    const uint32_t idsPerDifatSector = sectorSize_ / 4 - 1; // the last entry links to the next
    std::vector<bool> visited(sectors);
    std::vector<char> sector(sectorSize_);
    const char* p = sector.data();
    uint32_t difat = firstDifatSector_;
    while (fatSectors.size() < fatSectorCount_) {
        if (difat >= sectors || visited[difat]
            || !readAt((uint64_t(difat) + 1) << sectorShift_, sectorSize_, sector.data()))
            return STG_E_DOCFILECORRUPT;
        visited[difat] = true;
        for (uint32_t i = 0; i < idsPerDifatSector && fatSectors.size() < fatSectorCount_; ++i)
            fatSectors.push_back(readU32(p + 4 * i));
        difat = readU32(p + 4 * idsPerDifatSector);
    }

    // Every FAT sector is a whole sector of the file; the count was checked against the file's.
    for (uint32_t s : fatSectors) {
        if (s >= sectors)
            return STG_E_DOCFILECORRUPT;
    }
    const size_t entries = size_t(fatSectorCount_) * (sectorSize_ / 4);
    std::vector<char> table(entries * 4);
    if (!readChain(fatSectors, table.size(), table.data()))
        return STG_E_DOCFILECORRUPT;
    fat_.resize(entries);
    for (size_t i = 0; i < entries; ++i)
        fat_[i] = readU32(table.data() + 4 * i);
    return S_OK;
}

// Collects the first `wanted` sectors (or all, for kWholeChain) of the chain from `start` through
// `table`. `units` is how many sectors exist: `wanted` is checked against it before anything is
// walked. The rest of the chain is walked too, so a loop or a wild link anywhere is an error; an
// over-long but well-formed chain is tolerated, a short one is not.
HRESULT CompoundFileReader::followChain(const std::vector<uint32_t>& table, uint32_t units, uint32_t start,
                                        uint64_t wanted, std::vector<uint32_t>* chain) const
{
    chain->clear();
    const uint64_t limit = std::min<uint64_t>(units, table.size());
    if (wanted != kWholeChain && wanted > limit)
        return STG_E_DOCFILECORRUPT;
    std::vector<bool> visited(limit);
    for (uint32_t sector = start; sector != kEndOfChain; sector = table[sector]) {
        if (sector >= limit || visited[sector])
            return STG_E_DOCFILECORRUPT;
        visited[sector] = true;
        if (chain->size() < wanted)
            chain->push_back(sector);
    }
    if (wanted != kWholeChain && chain->size() < wanted)
        return STG_E_DOCFILECORRUPT;
    return S_OK;
}

HRESULT CompoundFileReader::loadDirectory(QByteArray* bytes, std::vector<const char*>* entries)
{
    std::vector<uint32_t> chain;
    HRESULT hr = followChain(fat_, sectorCount(), firstDirSector_, kWholeChain, &chain);
    if (FAILED(hr))
        return hr;
    if (chain.empty())
        return STG_E_DOCFILECORRUPT;
    // The chain's length is bounded by the file's sectors, so this allocation is safe.
    *bytes = QByteArray(static_cast<qsizetype>(chain.size() << sectorShift_), Qt::Uninitialized);
    if (!readChain(chain, static_cast<uint64_t>(bytes->size()), bytes->data()))
        return STG_E_DOCFILECORRUPT;
    const size_t count = static_cast<size_t>(bytes->size()) / kDirEntrySize;
    entries->reserve(count);
    for (size_t i = 0; i < count; ++i)
        entries->push_back(bytes->constData() + i * kDirEntrySize);
    const char* root = entries->front();
    if (static_cast<ObjectType>(root[kDirOffType]) != ObjectType::Root)
        return STG_E_DOCFILECORRUPT;
    rootClassId_ = Guid::fromBytes(reinterpret_cast<const uint8_t*>(root + kDirOffClassId));
    return S_OK;
}

HRESULT CompoundFileReader::loadMiniStream(const char* rootEntry)
{
    miniStreamSize_ = readU64(rootEntry + kDirOffSize);
    if (majorVersion_ == 3)
        miniStreamSize_ &= 0xFFFFFFFFu; // older writers leave garbage in the high half
    HRESULT hr = S_OK;
    if (miniStreamSize_ > 0) {
        hr = followChain(fat_, sectorCount(), readU32(rootEntry + kDirOffStartSector),
                         ceilDiv(miniStreamSize_, sectorSize_), &miniStreamSectors_);
        if (FAILED(hr))
            return hr;
    }
    if (firstMiniFatSector_ == kEndOfChain)
        return S_OK;
    std::vector<uint32_t> chain;
    hr = followChain(fat_, sectorCount(), firstMiniFatSector_, kWholeChain, &chain);
    if (FAILED(hr))
        return hr;
    std::vector<char> table(chain.size() << sectorShift_);
    if (!readChain(chain, table.size(), table.data()))
        return STG_E_DOCFILECORRUPT;
    miniFat_.resize(table.size() / 4);
    for (size_t i = 0; i < miniFat_.size(); ++i)
        miniFat_[i] = readU32(table.data() + 4 * i);
    return S_OK;
}

HRESULT CompoundFileReader::collectRootStreams(const std::vector<const char*>& entries)
{
    const size_t count = entries.size();
    std::vector<bool> visited(count);
    std::vector<uint32_t> stack;
    // In-order walk of the sibling tree, so names come out in the directory's sort order.
    uint32_t current = readU32(entries.front() + kDirOffChild);
    while (current != kNoStream || !stack.empty()) {
        while (current != kNoStream) {
            if (current >= count || visited[current])
                return STG_E_DOCFILECORRUPT;
            visited[current] = true;
            stack.push_back(current);
            current = readU32(entries[current] + kDirOffLeft);
        }
        const char* e = entries[stack.back()];
        stack.pop_back();
        current = readU32(e + kDirOffRight);

        auto type = static_cast<ObjectType>(e[kDirOffType]);
        if (type != ObjectType::Stream && type != ObjectType::Storage)
            return STG_E_DOCFILECORRUPT;
        uint16_t nameBytes = readU16(e + kDirOffNameLength);
        if (nameBytes < 2 || nameBytes > 2 * (kMaxNameChars + 1) || nameBytes % 2 != 0)
            return STG_E_DOCFILECORRUPT;
        if (type != ObjectType::Stream)
            continue;
        QString name;
        for (uint16_t i = 0; i + 1 < nameBytes / 2; ++i) {
            char16_t unit = readU16(e + kDirOffName + 2 * i);
            if (unit == 0)
                break;
            name.append(QChar(unit));
        }
        StreamEntry entry{name, readU32(e + kDirOffStartSector), readU64(e + kDirOffSize)};
        if (majorVersion_ == 3)
            entry.size &= 0xFFFFFFFFu;
        // Two entries of one name cannot both be reached by name; the first one wins.
        QString key = nameKey(name);
        if (streamIndex_.contains(key))
            continue;
        streamIndex_.insert(key, static_cast<qsizetype>(streams_.size()));
        streams_.push_back(std::move(entry));
    }
    return S_OK;
}

HRESULT CompoundFileReader::readRegular(uint32_t start, uint64_t size, QByteArray* out) const
{
    std::vector<uint32_t> chain;
    HRESULT hr = followChain(fat_, sectorCount(), start, ceilDiv(size, sectorSize_), &chain);
    if (FAILED(hr))
        return hr;
    if (!file_
        && std::adjacent_find(chain.begin(), chain.end(), [](uint32_t a, uint32_t b) { return b != a + 1; })
            == chain.end()) {
        const uint64_t offset = (uint64_t(chain.front()) + 1) << sectorShift_;
        if (offset + size > static_cast<uint64_t>(data_.size()))
            return STG_E_DOCFILECORRUPT;
        // A stream that is most of the file (a document's contents) shares the file's bytes rather
        // than being copied again; a small one is copied, so that it never holds a large file in
        // memory after the reader is gone. Bytes the reader does not own are always copied.
        QByteArray shared = data_;
        QByteArray::DataPointer& view = shared.data_ptr();
        if (view.d_ptr() && size >= static_cast<uint64_t>(data_.size()) / 2) {
            view.ptr += offset;
            view.size = static_cast<qsizetype>(size);
            *out = std::move(shared);
            return S_OK;
        }
    }
    // The chain's length bounds `size` by the file's size, so this allocation is safe.
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (!readChain(chain, size, bytes.data()))
        return STG_E_DOCFILECORRUPT;
    *out = std::move(bytes);
    return S_OK;
}

HRESULT CompoundFileReader::readMini(uint32_t start, uint64_t size, QByteArray* out) const
{
    const uint64_t miniSectors = ceilDiv(miniStreamSize_, kMiniSectorSize);
    std::vector<uint32_t> chain;
    HRESULT hr = followChain(miniFat_, static_cast<uint32_t>(std::min<uint64_t>(miniSectors, kMaxRegularSector)), start,
                             ceilDiv(size, kMiniSectorSize), &chain);
    if (FAILED(hr))
        return hr;
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    uint64_t done = 0;
    // Mini sectors that follow each other in the file are copied in one piece.
    uint64_t runOffset = 0, runLength = 0;
    for (uint32_t mini : chain) {
        uint64_t inStream = uint64_t(mini) * kMiniSectorSize;
        uint64_t take = std::min<uint64_t>(kMiniSectorSize, size - done - runLength);
        if (inStream + take > miniStreamSize_)
            return STG_E_DOCFILECORRUPT;
        // Mini sectors never straddle a sector: the sector size is a multiple of theirs.
        uint32_t sector = miniStreamSectors_[inStream >> sectorShift_];
        uint64_t offset = ((uint64_t(sector) + 1) << sectorShift_) + (inStream & (sectorSize_ - 1));
        if (runLength > 0 && offset == runOffset + runLength) {
            runLength += take;
            continue;
        }
        if (runLength > 0 && !readAt(runOffset, runLength, bytes.data() + done))
            return STG_E_DOCFILECORRUPT;
        done += runLength;
        runOffset = offset;
        runLength = take;
    }
    if (runLength > 0 && !readAt(runOffset, runLength, bytes.data() + done))
        return STG_E_DOCFILECORRUPT;
    *out = std::move(bytes);
    return S_OK;
}

bool isCompoundFile(const QString& path)
{
    QByteArray head;
    return SUCCEEDED(readFileHead(path, sizeof kSignature, &head)) && hasCompoundFileSignature(head);
}

bool hasCompoundFileSignature(const QByteArray& bytes)
{
    return bytes.size() >= qsizetype(sizeof kSignature)
        && std::memcmp(bytes.constData(), kSignature, sizeof kSignature) == 0;
}
