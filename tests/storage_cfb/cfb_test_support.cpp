#include "cfb_test_support.h"

#include "storage/cfb/cfb_format.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

namespace cfbtest {

QByteArray patternBytes(qsizetype size, uint32_t seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    uint32_t x = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

ToolResult runTool(const QString& program, const QStringList& args)
{
    ToolResult result;
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return result;
    result.started = true;
    process.closeWriteChannel();
    process.waitForFinished(120000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool haveTool(const QString& path)
{
    QFileInfo info(path);
    return info.exists() && info.isExecutable();
}

uint32_t getU32(const QByteArray& b, qsizetype offset)
{
    return cfb::readU32(b.constData() + offset);
}
void putU32(QByteArray& b, qsizetype offset, uint32_t value)
{
    cfb::writeU32(b.data() + offset, value);
}
void putU64(QByteArray& b, qsizetype offset, uint64_t value)
{
    cfb::writeU64(b.data() + offset, value);
}

QByteArray buildV4File(const Guid& rootClsid, const std::vector<V4Stream>& unsorted)
{
    using namespace cfb;
    constexpr uint32_t kSector = 4096;
    std::vector<V4Stream> streams = unsorted;
    std::sort(streams.begin(), streams.end(),
              [](const V4Stream& a, const V4Stream& b) { return compareNames(a.name, b.name) < 0; });

    // Sectors: 0 FAT, 1 directory, 2 mini FAT, 3.. mini stream, then the large streams.
    uint32_t miniSectors = 0;
    for (const V4Stream& s : streams)
        if (s.data.size() < qsizetype(kMiniStreamCutoff))
            miniSectors += uint32_t((s.data.size() + 63) / 64);
    const uint32_t miniStreamSectors = (miniSectors * 64 + kSector - 1) / kSector;
    uint32_t next = 3 + miniStreamSectors;
    std::vector<uint32_t> fat(1024, kFreeSector), miniFat(1024, kFreeSector);
    fat[0] = kFatSector;
    fat[1] = kEndOfChain;
    fat[2] = kEndOfChain;
    for (uint32_t i = 0; i < miniStreamSectors; ++i)
        fat[3 + i] = i + 1 < miniStreamSectors ? 4 + i : kEndOfChain;

    QByteArray file(qsizetype(kSector) * (next + 1), '\0');
    auto sector = [&](uint32_t s) { return file.data() + qsizetype(s + 1) * kSector; };
    char* dir = sector(1);
    uint32_t nextMini = 0;
    for (size_t i = 0; i < streams.size(); ++i) {
        const QByteArray& data = streams[i].data;
        uint32_t start = kEndOfChain;
        if (data.size() < qsizetype(kMiniStreamCutoff)) {
            uint32_t count = uint32_t((data.size() + 63) / 64);
            if (count) {
                start = nextMini;
                for (uint32_t k = 0; k < count; ++k)
                    miniFat[start + k] = k + 1 < count ? start + k + 1 : kEndOfChain;
                std::memcpy(sector(3) + qsizetype(start) * 64, data.constData(), size_t(data.size()));
                nextMini += count;
            }
        } else {
            uint32_t count = uint32_t((data.size() + kSector - 1) / kSector);
            start = next;
            file.resize(file.size() + qsizetype(count) * kSector, '\0');
            dir = sector(1);
            for (uint32_t k = 0; k < count; ++k)
                fat[start + k] = k + 1 < count ? start + k + 1 : kEndOfChain;
            std::memcpy(sector(start), data.constData(), size_t(data.size()));
            next += count;
        }
        char* e = dir + (i + 1) * kDirEntrySize;
        for (qsizetype c = 0; c < streams[i].name.size(); ++c)
            writeU16(e + 2 * c, streams[i].name.at(c).unicode());
        writeU16(e + kDirOffNameLength, uint16_t((streams[i].name.size() + 1) * 2));
        e[kDirOffType] = char(ObjectType::Stream);
        e[kDirOffColor] = char(Color::Black);
        writeU32(e + kDirOffLeft, kNoStream);
        writeU32(e + kDirOffRight, i + 1 < streams.size() ? uint32_t(i + 2) : kNoStream);
        writeU32(e + kDirOffChild, kNoStream);
        writeU32(e + kDirOffStartSector, start);
        writeU64(e + kDirOffSize, uint64_t(data.size()));
    }
    for (size_t i = streams.size() + 1; i < kSector / kDirEntrySize; ++i) {
        char* e = dir + i * kDirEntrySize;
        writeU32(e + kDirOffLeft, kNoStream);
        writeU32(e + kDirOffRight, kNoStream);
        writeU32(e + kDirOffChild, kNoStream);
    }
    const QString rootName = QStringLiteral("Root Entry");
    for (qsizetype c = 0; c < rootName.size(); ++c)
        writeU16(dir + 2 * c, rootName.at(c).unicode());
    writeU16(dir + kDirOffNameLength, uint16_t((rootName.size() + 1) * 2));
    dir[kDirOffType] = char(ObjectType::Root);
    dir[kDirOffColor] = char(Color::Black);
    writeU32(dir + kDirOffLeft, kNoStream);
    writeU32(dir + kDirOffRight, kNoStream);
    writeU32(dir + kDirOffChild, streams.empty() ? kNoStream : 1);
    rootClsid.toBytes(reinterpret_cast<uint8_t*>(dir + kDirOffClassId));
    writeU32(dir + kDirOffStartSector, miniStreamSectors ? 3 : kEndOfChain);
    writeU64(dir + kDirOffSize, uint64_t(miniSectors) * 64);

    for (size_t i = 0; i < fat.size(); ++i)
        writeU32(sector(0) + 4 * i, fat[i]);
    for (size_t i = 0; i < miniFat.size(); ++i)
        writeU32(sector(2) + 4 * i, miniFat[i]);

    char* h = file.data();
    std::memcpy(h, kSignature, sizeof kSignature);
    writeU16(h + kOffMinorVersion, kMinorVersion);
    writeU16(h + kOffMajorVersion, 4);
    writeU16(h + kOffByteOrder, kByteOrderMark);
    writeU16(h + kOffSectorShift, kSectorShiftV4);
    writeU16(h + kOffMiniSectorShift, kMiniSectorShift);
    writeU32(h + kOffDirSectorCount, 1);
    writeU32(h + kOffFatSectorCount, 1);
    writeU32(h + kOffFirstDirSector, 1);
    writeU32(h + kOffMiniStreamCutoff, kMiniStreamCutoff);
    writeU32(h + kOffFirstMiniFatSector, 2);
    writeU32(h + kOffMiniFatSectorCount, 1);
    writeU32(h + kOffFirstDifatSector, kEndOfChain);
    writeU32(h + kOffDifatSectorCount, 0);
    writeU32(h + kOffHeaderDifat, 0);
    for (uint32_t i = 1; i < kHeaderDifatEntries; ++i)
        writeU32(h + kOffHeaderDifat + 4 * i, kFreeSector);
    return file;
}

} // namespace cfbtest
