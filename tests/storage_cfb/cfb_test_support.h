#pragma once
// Shared helpers of the compound-file tests: deterministic data, external tools, hand-built files.
#include "com/guid.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

namespace cfbtest {

// Bytes that differ from stream to stream and from sector to sector, so misplaced data shows.
QByteArray patternBytes(qsizetype size, uint32_t seed);

QString sha256Hex(const QByteArray& bytes);

struct ToolResult {
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
ToolResult runTool(const QString& program, const QStringList& args);

bool haveTool(const QString& path);

// A version 4 file (4096-byte sectors) written by hand, since no writer at hand makes them. Small
// streams go to the mini stream; the siblings form a right-leaning chain in name order.
struct V4Stream {
    QString name;
    QByteArray data;
};
QByteArray buildV4File(const Guid& rootClsid, const std::vector<V4Stream>& streams);

uint32_t getU32(const QByteArray& b, qsizetype offset);
void putU32(QByteArray& b, qsizetype offset, uint32_t value);
void putU64(QByteArray& b, qsizetype offset, uint64_t value);

// Offsets in a version 3 file.
inline qsizetype sectorOffset(uint32_t sector)
{
    return (qsizetype(sector) + 1) * 512;
}
inline qsizetype dirEntryOffset(uint32_t firstDirSector, uint32_t id)
{
    return sectorOffset(firstDirSector) + qsizetype(id) * 128;
}

} // namespace cfbtest
