#pragma once
// Fixed numbers of the compound-file format and the helpers both the reader and writer need.
// All integers in the file are little-endian.
#include <QString>

#include <cstdint>
#include <cstring>

namespace cfb {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

constexpr uint32_t kHeaderSize = 512;
constexpr uint16_t kMinorVersion = 0x003E;
constexpr uint16_t kByteOrderMark = 0xFFFE;
constexpr uint16_t kSectorShiftV3 = 9;
constexpr uint16_t kSectorShiftV4 = 12;
constexpr uint16_t kMiniSectorShift = 6;
constexpr uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kDirEntrySize = 128;
constexpr uint32_t kMaxNameChars = 31; // 32 UTF-16 units including the terminating null

// Header field offsets.
constexpr size_t kOffClassId = 8;
constexpr size_t kOffMinorVersion = 24;
constexpr size_t kOffMajorVersion = 26;
constexpr size_t kOffByteOrder = 28;
constexpr size_t kOffSectorShift = 30;
constexpr size_t kOffMiniSectorShift = 32;
constexpr size_t kOffDirSectorCount = 40;
constexpr size_t kOffFatSectorCount = 44;
constexpr size_t kOffFirstDirSector = 48;
constexpr size_t kOffMiniStreamCutoff = 56;
constexpr size_t kOffFirstMiniFatSector = 60;
constexpr size_t kOffMiniFatSectorCount = 64;
constexpr size_t kOffFirstDifatSector = 68;
constexpr size_t kOffDifatSectorCount = 72;
constexpr size_t kOffHeaderDifat = 76;

// Directory entry field offsets.
constexpr size_t kDirOffName = 0;
constexpr size_t kDirOffNameLength = 64;
constexpr size_t kDirOffType = 66;
constexpr size_t kDirOffColor = 67;
constexpr size_t kDirOffLeft = 68;
constexpr size_t kDirOffRight = 72;
constexpr size_t kDirOffChild = 76;
constexpr size_t kDirOffClassId = 80;
constexpr size_t kDirOffStartSector = 116;
constexpr size_t kDirOffSize = 120;

// Sector numbers at and above this are markers, not sectors.
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

enum class ObjectType : uint8_t { Unallocated = 0, Storage = 1, Stream = 2, Root = 5 };
enum class Color : uint8_t { Red = 0, Black = 1 };

inline uint16_t readU16(const char* p)
{
    const auto* b = reinterpret_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

inline uint32_t readU32(const char* p)
{
    const auto* b = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline uint64_t readU64(const char* p)
{
    return readU32(p) | uint64_t(readU32(p + 4)) << 32;
}

inline void writeU16(char* p, uint16_t v)
{
    p[0] = static_cast<char>(v);
    p[1] = static_cast<char>(v >> 8);
}

inline void writeU32(char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>(v >> (8 * i));
}

inline void writeU64(char* p, uint64_t v)
{
    writeU32(p, static_cast<uint32_t>(v));
    writeU32(p + 4, static_cast<uint32_t>(v >> 32));
}

// The format's name order: shorter names first, then unit by unit after upper-casing each UTF-16
// unit on its own (surrogates are left as they are). Negative, zero or positive like strcmp.
int compareNames(const QString& a, const QString& b);

// Upper-cases each UTF-16 unit on its own, as the name comparison does; used as a lookup key.
QString nameKey(const QString& name);

} // namespace cfb
