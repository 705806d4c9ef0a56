// A single-stream compound file, written and read here until the storage layer offers one.
#include "event_file.h"

#include <QFile>
#include <QSaveFile>
#include <cstring>
#include <vector>

namespace kavrodoc {
namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kMiniSector = 64;
constexpr uint32_t kMiniCutoff = 4096;
constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kNoStream = 0xFFFFFFFF;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const char16_t kStreamName[] = u"Contents";
const char16_t kRootName[] = u"Root Entry";

template <class T>
void put(QByteArray& b, qsizetype at, T v) { std::memcpy(b.data() + at, &v, sizeof v); }
// Reads past the end give 0; callers check sizes first, this keeps a slip harmless.
template <class T>
T get(const QByteArray& b, qsizetype at)
{
    T v{};
    if (at >= 0 && at + qsizetype(sizeof v) <= b.size())
        std::memcpy(&v, b.constData() + at, sizeof v);
    return v;
}

uint32_t sectorsFor(uint64_t bytes, uint32_t size) { return static_cast<uint32_t>((bytes + size - 1) / size); }

void putDirEntry(QByteArray& dir, int index, const char16_t* name, uint8_t type, uint32_t child, const Guid& clsid,
                 uint32_t start, uint32_t size)
{
    qsizetype at = index * 128;
    size_t units = std::char_traits<char16_t>::length(name);
    std::memcpy(dir.data() + at, name, units * 2);
    put<uint16_t>(dir, at + 64, static_cast<uint16_t>((units + 1) * 2));
    put<uint8_t>(dir, at + 66, type);
    put<uint8_t>(dir, at + 67, 1);
    put<uint32_t>(dir, at + 68, kNoStream);
    put<uint32_t>(dir, at + 72, kNoStream);
    put<uint32_t>(dir, at + 76, child);
    uint8_t id[16];
    clsid.toBytes(id);
    std::memcpy(dir.data() + at + 80, id, 16);
    put<uint32_t>(dir, at + 116, start);
    put<uint32_t>(dir, at + 120, size);
}

// Follows a chain of `table`, refusing loops and links outside the table.
bool followChain(const std::vector<uint32_t>& table, uint32_t first, std::vector<uint32_t>* chain)
{
    chain->clear();
    for (uint32_t s = first; s != kEnd;) {
        if (s >= table.size() || chain->size() >= table.size())
            return false;
        chain->push_back(s);
        s = table[s];
    }
    return true;
}

} // namespace

HRESULT writeEventFile(const QString& path, const Guid& clsid, const QByteArray& contents)
{
    const uint32_t size = static_cast<uint32_t>(contents.size());
    const bool mini = size < kMiniCutoff;
    const uint32_t miniSectors = mini ? sectorsFor(size, kMiniSector) : 0;
    const uint32_t miniFatSectors = sectorsFor(miniSectors * 4ull, kSector);
    const uint32_t dataSectors = mini ? sectorsFor(miniSectors * uint64_t(kMiniSector), kSector) : sectorsFor(size, kSector);
    uint32_t fatSectors = 1;
    while (fatSectors * (kSector / 4) < fatSectors + 1 + miniFatSectors + dataSectors)
        ++fatSectors;
    if (fatSectors > 109)
        return E_OUTOFMEMORY;

    // Sector order: FAT, directory, mini FAT, then the data (the mini stream or the stream itself).
    const uint32_t dirSector = fatSectors;
    const uint32_t miniFatStart = dirSector + 1;
    const uint32_t dataStart = miniFatStart + miniFatSectors;
    const uint32_t total = dataStart + dataSectors;

    std::vector<uint32_t> fat(fatSectors * (kSector / 4), kFree);
    for (uint32_t i = 0; i < fatSectors; ++i)
        fat[i] = kFatSect;
    fat[dirSector] = kEnd;
    auto chain = [&](uint32_t first, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            fat[first + i] = i + 1 < count ? first + i + 1 : kEnd;
    };
    chain(miniFatStart, miniFatSectors);
    chain(dataStart, dataSectors);

    QByteArray header(kSector, '\0');
    std::memcpy(header.data(), kSignature, 8);
    put<uint16_t>(header, 24, 0x003E);
    put<uint16_t>(header, 26, 0x0003);
    put<uint16_t>(header, 28, 0xFFFE);
    put<uint16_t>(header, 30, 9);
    put<uint16_t>(header, 32, 6);
    put<uint32_t>(header, 44, fatSectors);
    put<uint32_t>(header, 48, dirSector);
    put<uint32_t>(header, 56, kMiniCutoff);
    put<uint32_t>(header, 60, miniFatSectors ? miniFatStart : kEnd);
    put<uint32_t>(header, 64, miniFatSectors);
    put<uint32_t>(header, 68, kEnd);
    for (uint32_t i = 0; i < 109; ++i)
        put<uint32_t>(header, 76 + 4 * i, i < fatSectors ? i : kFree);

    QByteArray dir(kSector, '\0');
    const uint32_t rootStart = mini && dataSectors ? dataStart : kEnd;
    putDirEntry(dir, 0, kRootName, 5, 1, clsid, rootStart, miniSectors * kMiniSector);
    const uint32_t streamStart = size == 0 ? kEnd : (mini ? 0 : dataStart);
    putDirEntry(dir, 1, kStreamName, 2, kNoStream, Guid{}, streamStart, size);
    for (int i = 2; i < 4; ++i) {
        put<uint32_t>(dir, i * 128 + 68, kNoStream);
        put<uint32_t>(dir, i * 128 + 72, kNoStream);
        put<uint32_t>(dir, i * 128 + 76, kNoStream);
    }

    QByteArray miniFat(miniFatSectors * kSector, '\xFF');
    for (uint32_t i = 0; i < miniSectors; ++i)
        put<uint32_t>(miniFat, i * 4, i + 1 < miniSectors ? i + 1 : kEnd);

    QByteArray data = contents;
    data.append(QByteArray(dataSectors * kSector - size, '\0'));

    QByteArray file = header;
    file.append(reinterpret_cast<const char*>(fat.data()), static_cast<qsizetype>(fat.size() * 4));
    file.append(dir).append(miniFat).append(data);
    if (file.size() != qsizetype(kSector) * (total + 1))
        return E_FAIL;

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return out.error() == QFileDevice::PermissionsError ? STG_E_ACCESSDENIED : STG_E_WRITEFAULT;
    if (out.write(file) != file.size() || !out.commit())
        return STG_E_WRITEFAULT;
    return S_OK;
}

HRESULT readEventFile(const QString& path, Guid* clsid, QByteArray* contents)
{
    if (!clsid || !contents)
        return E_POINTER;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return STG_E_FILENOTFOUND;
    // Event files are small; anything huge is not one of ours.
    if (in.size() > 64 * 1024 * 1024)
        return STG_E_DOCFILECORRUPT;
    const QByteArray file = in.readAll();
    if (file.size() < qsizetype(kSector) || std::memcmp(file.constData(), kSignature, 8) != 0)
        return STG_E_INVALIDHEADER;
    const uint16_t shift = get<uint16_t>(file, 30);
    if ((shift != 9 && shift != 12) || get<uint16_t>(file, 32) != 6)
        return STG_E_INVALIDHEADER;
    const uint32_t sector = 1u << shift;
    // The header takes the first sector's room; a cut-off last sector is not addressable.
    const uint32_t sectorCount = static_cast<uint32_t>(file.size() / sector) - 1;
    auto sectorAt = [&](uint32_t s) { return qsizetype(s + 1) * sector; };

    std::vector<uint32_t> fat;
    const uint32_t fatSectors = get<uint32_t>(file, 44);
    if (fatSectors > 109)
        return STG_E_DOCFILECORRUPT; // larger tables than ours are never event files
    for (uint32_t i = 0; i < fatSectors; ++i) {
        uint32_t s = get<uint32_t>(file, 76 + 4 * i);
        if (s >= sectorCount)
            return STG_E_DOCFILECORRUPT;
        for (uint32_t k = 0; k < sector / 4; ++k)
            fat.push_back(get<uint32_t>(file, sectorAt(s) + 4 * k));
    }
    if (fat.size() > sectorCount)
        fat.resize(sectorCount);

    auto readChain = [&](uint32_t first, QByteArray* out) {
        std::vector<uint32_t> chain;
        if (!followChain(fat, first, &chain))
            return false;
        out->clear();
        for (uint32_t s : chain)
            out->append(file.constData() + sectorAt(s), sector);
        return true;
    };

    QByteArray dir;
    if (!readChain(get<uint32_t>(file, 48), &dir) || dir.size() < 128)
        return STG_E_DOCFILECORRUPT;
    *clsid = Guid::fromBytes(reinterpret_cast<const uint8_t*>(dir.constData() + 80));

    for (qsizetype at = 128; at + 128 <= dir.size(); at += 128) {
        uint16_t nameBytes = get<uint16_t>(dir, at + 64);
        if (get<uint8_t>(dir, at + 66) != 2 || nameBytes != sizeof kStreamName
            || std::memcmp(dir.constData() + at, kStreamName, sizeof kStreamName) != 0)
            continue;
        const uint32_t start = get<uint32_t>(dir, at + 116);
        const uint64_t size = shift == 9 ? get<uint32_t>(dir, at + 120) : get<uint64_t>(dir, at + 120);
        if (size > uint64_t(file.size()))
            return STG_E_DOCFILECORRUPT;
        QByteArray bytes;
        if (size >= get<uint32_t>(file, 56)) {
            if (!readChain(start, &bytes))
                return STG_E_DOCFILECORRUPT;
        } else if (size > 0) {
            QByteArray miniFatBytes, miniStream;
            if (!readChain(get<uint32_t>(file, 60), &miniFatBytes) || !readChain(get<uint32_t>(dir, 116), &miniStream))
                return STG_E_DOCFILECORRUPT;
            std::vector<uint32_t> miniFat(static_cast<size_t>(miniFatBytes.size() / 4));
            std::memcpy(miniFat.data(), miniFatBytes.constData(), miniFat.size() * 4);
            miniFat.resize(std::min<size_t>(miniFat.size(), static_cast<size_t>(miniStream.size() / kMiniSector)));
            std::vector<uint32_t> chain;
            if (!followChain(miniFat, start, &chain))
                return STG_E_DOCFILECORRUPT;
            for (uint32_t s : chain)
                bytes.append(miniStream.constData() + qsizetype(s) * kMiniSector, kMiniSector);
        }
        if (uint64_t(bytes.size()) < size)
            return STG_E_DOCFILECORRUPT;
        bytes.truncate(static_cast<qsizetype>(size));
        *contents = bytes;
        return S_OK;
    }
    return STG_E_FILENOTFOUND;
}

} // namespace kavrodoc
