#include "compound_file_writer.h"

#include "cfb_format.h"

#include <algorithm>

using namespace cfb;

namespace {

constexpr uint32_t kSectorSize = 1u << kSectorShiftV3;
constexpr uint32_t kIdsPerSector = kSectorSize / 4;
constexpr uint32_t kIdsPerDifatSector = kIdsPerSector - 1; // the last entry links to the next
constexpr uint32_t kEntriesPerSector = kSectorSize / kDirEntrySize;

uint64_t ceilDiv(uint64_t a, uint64_t b)
{
    return a / b + (a % b != 0);
}

bool isMini(const QByteArray& data)
{
    return !data.isEmpty() && data.size() < qsizetype(kMiniStreamCutoff);
}

// Where everything goes, in sectors. Order in the file: FAT, DIFAT, directory, mini FAT, mini
// stream, then each large stream in one contiguous run.
struct Layout {
    uint32_t fatSectors = 0;
    uint32_t difatSectors = 0;
    uint32_t dirSectors = 0;
    uint32_t miniFatSectors = 0;
    uint32_t miniStreamSectors = 0;
    uint32_t miniSectorsUsed = 0;
    uint32_t firstDifat = 0;
    uint32_t firstDir = 0;
    uint32_t firstMiniFat = 0;
    uint32_t firstMiniStream = 0;
    uint32_t totalSectors = 0;
    std::vector<uint32_t> streamStart; // sector, mini sector, or end-of-chain for empty streams
};

template <class Streams> bool computeLayout(const Streams& streams, Layout* layout)
{
    uint64_t miniSectors = 0;
    uint64_t bigSectors = 0;
    for (const auto& s : streams) {
        if (isMini(s.data))
            miniSectors += ceilDiv(static_cast<uint64_t>(s.data.size()), kMiniSectorSize);
        else
            bigSectors += ceilDiv(static_cast<uint64_t>(s.data.size()), kSectorSize);
    }
    uint64_t dirSectors = ceilDiv(streams.size() + 1, kEntriesPerSector);
    uint64_t miniFatSectors = ceilDiv(miniSectors, kIdsPerSector);
    uint64_t miniStreamSectors = ceilDiv(miniSectors * kMiniSectorSize, kSectorSize);
    uint64_t dataSectors = dirSectors + miniFatSectors + miniStreamSectors + bigSectors;

    // The FAT must also describe its own sectors and the DIFAT's; grow both until they suffice.
    uint64_t fat = 0, difat = 0;
    for (;;) {
        uint64_t needFat = ceilDiv(dataSectors + fat + difat, kIdsPerSector);
        uint64_t needDifat
            = needFat > kHeaderDifatEntries ? ceilDiv(needFat - kHeaderDifatEntries, kIdsPerDifatSector) : 0;
        if (needFat == fat && needDifat == difat)
            break;
        fat = needFat;
        difat = needDifat;
    }
    uint64_t total = dataSectors + fat + difat;
    if (total > kMaxRegularSector)
        return false;

    layout->fatSectors = static_cast<uint32_t>(fat);
    layout->difatSectors = static_cast<uint32_t>(difat);
    layout->dirSectors = static_cast<uint32_t>(dirSectors);
    layout->miniFatSectors = static_cast<uint32_t>(miniFatSectors);
    layout->miniStreamSectors = static_cast<uint32_t>(miniStreamSectors);
    layout->miniSectorsUsed = static_cast<uint32_t>(miniSectors);
    layout->firstDifat = layout->fatSectors;
    layout->firstDir = layout->firstDifat + layout->difatSectors;
    layout->firstMiniFat = layout->firstDir + layout->dirSectors;
    layout->firstMiniStream = layout->firstMiniFat + layout->miniFatSectors;
    layout->totalSectors = static_cast<uint32_t>(total);

    uint32_t nextMini = 0;
    uint32_t nextBig = layout->firstMiniStream + layout->miniStreamSectors;
    for (const auto& s : streams) {
        uint64_t size = static_cast<uint64_t>(s.data.size());
        if (size == 0) {
            layout->streamStart.push_back(kEndOfChain);
        } else if (isMini(s.data)) {
            layout->streamStart.push_back(nextMini);
            nextMini += static_cast<uint32_t>(ceilDiv(size, kMiniSectorSize));
        } else {
            layout->streamStart.push_back(nextBig);
            nextBig += static_cast<uint32_t>(ceilDiv(size, kSectorSize));
        }
    }
    return true;
}

void linkRun(std::vector<uint32_t>& table, uint32_t first, uint64_t count)
{
    for (uint64_t i = 0; i < count; ++i)
        table[first + i] = i + 1 < count ? static_cast<uint32_t>(first + i + 1) : kEndOfChain;
}

void writeTable(char* at, const std::vector<uint32_t>& table)
{
    for (size_t i = 0; i < table.size(); ++i)
        writeU32(at + 4 * i, table[i]);
}

struct TreeLinks {
    uint32_t left = kNoStream;
    uint32_t right = kNoStream;
    Color color = Color::Black;
};

// Builds a balanced search tree over ids already in name order. Such a tree has every empty link
// at one of two adjacent depths, so colouring the nodes of the deepest level red (when that level
// is not full) gives every path the same number of black nodes: a valid red-black tree.
uint32_t buildTree(const std::vector<uint32_t>& sorted, size_t lo, size_t hi, int depth, int redDepth,
                   std::vector<TreeLinks>& links)
{
    if (lo >= hi)
        return kNoStream;
    size_t mid = lo + (hi - lo) / 2;
    uint32_t id = sorted[mid];
    links[id].left = buildTree(sorted, lo, mid, depth + 1, redDepth, links);
    links[id].right = buildTree(sorted, mid + 1, hi, depth + 1, redDepth, links);
    links[id].color = depth == redDepth ? Color::Red : Color::Black;
    return id;
}

uint32_t buildSiblingTree(const std::vector<uint32_t>& sorted, std::vector<TreeLinks>& links)
{
    size_t n = sorted.size();
    int height = 0; // depth of the deepest level
    while ((size_t(2) << height) - 1 < n)
        ++height;
    bool full = ((size_t(2) << height) - 1) == n;
    return buildTree(sorted, 0, n, 0, full ? -1 : height, links);
}

void writeDirEntry(char* e, const QString& name, ObjectType type, const TreeLinks& links, uint32_t child,
                   const Guid& clsid, uint32_t start, uint64_t size)
{
    for (qsizetype i = 0; i < name.size(); ++i)
        writeU16(e + kDirOffName + 2 * i, name.at(i).unicode());
    writeU16(e + kDirOffNameLength, static_cast<uint16_t>((name.size() + 1) * 2));
    e[kDirOffType] = static_cast<char>(type);
    e[kDirOffColor] = static_cast<char>(links.color);
    writeU32(e + kDirOffLeft, links.left);
    writeU32(e + kDirOffRight, links.right);
    writeU32(e + kDirOffChild, child);
    clsid.toBytes(reinterpret_cast<uint8_t*>(e + kDirOffClassId));
    writeU32(e + kDirOffStartSector, start);
    writeU64(e + kDirOffSize, size);
}

void writeHeader(char* h, const Layout& l, const std::vector<uint32_t>& difatIds)
{
    std::memcpy(h, kSignature, sizeof kSignature);
    writeU16(h + kOffMinorVersion, kMinorVersion);
    writeU16(h + kOffMajorVersion, 3);
    writeU16(h + kOffByteOrder, kByteOrderMark);
    writeU16(h + kOffSectorShift, kSectorShiftV3);
    writeU16(h + kOffMiniSectorShift, kMiniSectorShift);
    writeU32(h + kOffDirSectorCount, 0); // always 0 in version 3
    writeU32(h + kOffFatSectorCount, l.fatSectors);
    writeU32(h + kOffFirstDirSector, l.firstDir);
    writeU32(h + kOffMiniStreamCutoff, kMiniStreamCutoff);
    writeU32(h + kOffFirstMiniFatSector, l.miniFatSectors ? l.firstMiniFat : kEndOfChain);
    writeU32(h + kOffMiniFatSectorCount, l.miniFatSectors);
    writeU32(h + kOffFirstDifatSector, l.difatSectors ? l.firstDifat : kEndOfChain);
    writeU32(h + kOffDifatSectorCount, l.difatSectors);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        writeU32(h + kOffHeaderDifat + 4 * i, i < difatIds.size() ? difatIds[i] : kFreeSector);
}

} // namespace

HRESULT CompoundFileWriter::addStream(const QString& name, const QByteArray& data)
{
    if (name.isEmpty() || name.size() > qsizetype(kMaxNameChars))
        return E_INVALIDARG;
    for (QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c == QLatin1Char('!')
            || c.unicode() == 0)
            return E_INVALIDARG;
    }
    if (data.size() > kMaxStreamBytes)
        return E_INVALIDARG;
    for (const Stream& s : streams_) {
        if (compareNames(s.name, name) == 0)
            return STG_E_FILEALREADYEXISTS;
    }
    streams_.push_back({name, data});
    return S_OK;
}

// The file as pieces in order: the header and every sector before the large streams, then each
// large stream's own bytes followed by the zeros that fill its last sector. A large stream is
// shared, not copied.
HRESULT CompoundFileWriter::toPieces(std::vector<QByteArray>* pieces) const
{
    Layout l;
    if (!computeLayout(streams_, &l))
        return STG_E_MEDIUMFULL;
    const uint32_t firstBig = l.firstMiniStream + l.miniStreamSectors;
    QByteArray file((qsizetype(firstBig) + 1) * kSectorSize, '\0');
    pieces->clear();
    pieces->push_back(QByteArray());
    auto sectorAt = [&](uint32_t sector) { return file.data() + (qsizetype(sector) + 1) * kSectorSize; };

    // FAT sector numbers: 109 in the header, the rest in the DIFAT sectors.
    std::vector<uint32_t> fatIds(l.fatSectors);
    for (uint32_t i = 0; i < l.fatSectors; ++i)
        fatIds[i] = i;
    writeHeader(file.data(), l, fatIds);
    for (uint32_t d = 0; d < l.difatSectors; ++d) {
        char* p = sectorAt(l.firstDifat + d);
        for (uint32_t i = 0; i < kIdsPerDifatSector; ++i) {
            size_t index = kHeaderDifatEntries + size_t(d) * kIdsPerDifatSector + i;
            writeU32(p + 4 * i, index < fatIds.size() ? fatIds[index] : kFreeSector);
        }
        writeU32(p + 4 * kIdsPerDifatSector, d + 1 < l.difatSectors ? l.firstDifat + d + 1 : kEndOfChain);
    }

    std::vector<uint32_t> fat(size_t(l.fatSectors) * kIdsPerSector, kFreeSector);
    std::fill_n(fat.begin(), l.fatSectors, kFatSector);
    std::fill_n(fat.begin() + l.firstDifat, l.difatSectors, kDifatSector);
    linkRun(fat, l.firstDir, l.dirSectors);
    linkRun(fat, l.firstMiniFat, l.miniFatSectors);
    linkRun(fat, l.firstMiniStream, l.miniStreamSectors);
    std::vector<uint32_t> miniFat(size_t(l.miniFatSectors) * kIdsPerSector, kFreeSector);
    for (size_t i = 0; i < streams_.size(); ++i) {
        const QByteArray& data = streams_[i].data;
        if (data.isEmpty())
            continue;
        if (isMini(data)) {
            linkRun(miniFat, l.streamStart[i], ceilDiv(static_cast<uint64_t>(data.size()), kMiniSectorSize));
            char* at = sectorAt(l.firstMiniStream) + qsizetype(l.streamStart[i]) * kMiniSectorSize;
            std::memcpy(at, data.constData(), static_cast<size_t>(data.size()));
        } else {
            const uint64_t sectors = ceilDiv(static_cast<uint64_t>(data.size()), kSectorSize);
            linkRun(fat, l.streamStart[i], sectors);
            pieces->push_back(data);
            pieces->push_back(QByteArray(qsizetype(sectors * kSectorSize - uint64_t(data.size())), '\0'));
        }
    }
    // Each run is contiguous, so a table that spans several sectors is written in one go.
    writeTable(sectorAt(0), fat);
    if (l.miniFatSectors)
        writeTable(sectorAt(l.firstMiniFat), miniFat);

    // Directory: the root is entry 0, streams follow in the order they were added; the sibling
    // tree orders them by name.
    std::vector<uint32_t> sorted(streams_.size());
    for (size_t i = 0; i < sorted.size(); ++i)
        sorted[i] = static_cast<uint32_t>(i + 1);
    std::sort(sorted.begin(), sorted.end(),
              [&](uint32_t a, uint32_t b) { return compareNames(streams_[a - 1].name, streams_[b - 1].name) < 0; });
    std::vector<TreeLinks> links(streams_.size() + 1);
    uint32_t treeRoot = buildSiblingTree(sorted, links);

    char* dir = sectorAt(l.firstDir);
    writeDirEntry(dir, QStringLiteral("Root Entry"), ObjectType::Root, TreeLinks{}, treeRoot, rootClassId_,
                  l.miniStreamSectors ? l.firstMiniStream : kEndOfChain, uint64_t(l.miniSectorsUsed) * kMiniSectorSize);
    for (size_t i = 0; i < streams_.size(); ++i) {
        writeDirEntry(dir + (i + 1) * kDirEntrySize, streams_[i].name, ObjectType::Stream, links[i + 1], kNoStream,
                      GUID_NULL, l.streamStart[i], static_cast<uint64_t>(streams_[i].data.size()));
    }
    // Unused entries are zero apart from their links, which must say "none".
    for (size_t i = streams_.size() + 1; i < size_t(l.dirSectors) * kEntriesPerSector; ++i) {
        char* e = dir + i * kDirEntrySize;
        writeU32(e + kDirOffLeft, kNoStream);
        writeU32(e + kDirOffRight, kNoStream);
        writeU32(e + kDirOffChild, kNoStream);
    }

    pieces->front() = std::move(file);
    return S_OK;
}

HRESULT CompoundFileWriter::toBytes(QByteArray* out) const
{
    if (!out)
        return E_POINTER;
    std::vector<QByteArray> pieces;
    const HRESULT hr = toPieces(&pieces);
    if (FAILED(hr))
        return hr;
    qsizetype size = 0;
    for (const QByteArray& p : pieces)
        size += p.size();
    QByteArray file(size, Qt::Uninitialized);
    char* at = file.data();
    for (const QByteArray& p : pieces) {
        std::memcpy(at, p.constData(), size_t(p.size()));
        at += p.size();
    }
    *out = std::move(file);
    return S_OK;
}

HRESULT CompoundFileWriter::writeFile(const QString& path, WriteMode mode) const
{
    std::vector<QByteArray> pieces;
    HRESULT hr = toPieces(&pieces);
    if (FAILED(hr))
        return hr;
    return writeFileAtomically(path, pieces, mode);
}
