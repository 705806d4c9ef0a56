#pragma once
// The catalog cache file: a 64-byte header and records back to back from offset 64, all integers
// little-endian. The service writes it; every catalog view reads it. Readers trust nothing in it:
// every count, length and offset is checked against the mapped size before use.
#include <QString>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace kavro::catalog {

constexpr uint32_t kFormatMark = 7;
constexpr uint32_t kHeaderEndMark = 0x3FFFFFFF;
constexpr size_t kHeaderSize = 64;
constexpr size_t kGrowthStep = 0x40000; // the smallest file, and the step it grows by
constexpr uint32_t kRecordConstant = 0xFFFF5FFF;
constexpr uint16_t kRecordEndMark = 0xF0FA;
constexpr size_t kRecordFixedSize = 71; // fields, text lengths and end mark: all but the texts
constexpr size_t kRecordTextOffset = 69;
constexpr uint32_t kCompactAbove = 100; // more deleted records than this: compact first

// Header field offsets.
constexpr size_t kHeaderFormatMark = 0;
constexpr size_t kHeaderMappedSize = 4;
constexpr size_t kHeaderDocuments = 8;
constexpr size_t kHeaderNonDocuments = 12;
constexpr size_t kHeaderDeleted = 16;
constexpr size_t kHeaderEndMarkAt = 60;

enum RecordState : uint8_t {
    kLiveDocument = 0,
    kDeletedRecord = 1,
    kLiveNonDocument = 2,
};

// Record field offsets.
constexpr size_t kRecState = 0;
constexpr size_t kRecConstant = 1;
constexpr size_t kRecLength = 5;
constexpr size_t kRecFileVersion = 9;
constexpr size_t kRecFileSize = 13;
constexpr size_t kRecWriteTime = 17;
constexpr size_t kRecDate = 25;
constexpr size_t kRecShotCount = 33;
constexpr size_t kRecResultSum = 37;
constexpr size_t kRecDecimalSum = 41;
constexpr size_t kRecFCoefficient = 45;
constexpr size_t kRecTextLengths = 49; // five uint32: path, event, shooter, comments, position

// One record's content.
struct CacheRecord {
    uint8_t state = kLiveNonDocument;
    int32_t fileVersion = 0;
    uint32_t fileSize = 0;
    uint64_t writeTime = 0; // FILETIME: 100 ns units since 1601-01-01 UTC
    double date = 0; // OLE DATE of the first match aiming
    int32_t shotCount = 0;
    int32_t resultSum = 0;
    float decimalSum = 0;
    int32_t fCoefficient = 0;
    QString path, event, shooter, comments, position;

    bool isDocument() const { return state == kLiveDocument; }
    // 71 + 2 x the characters of the five texts.
    uint64_t byteLength() const;
};

// Little-endian field access; callers have checked the bounds.
inline uint16_t getU16(const uint8_t* p)
{
    return qFromLittleEndian<quint16>(p);
}
inline uint32_t getU32(const uint8_t* p)
{
    return qFromLittleEndian<quint32>(p);
}
inline void putU16(uint8_t* p, uint16_t v)
{
    qToLittleEndian<quint16>(v, p);
}
inline void putU32(uint8_t* p, uint32_t v)
{
    qToLittleEndian<quint32>(v, p);
}

// The file time of a POSIX time in seconds and nanoseconds.
uint64_t fileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

} // namespace kavro::catalog
