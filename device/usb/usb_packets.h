#pragma once
// Splitting what a USB read delivers into packets and records. Every length is checked against
// the buffer before a byte is touched; a piece that does not fit ends the split.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>

namespace kavro {

using ByteSpan = std::span<const uint8_t>;

constexpr uint8_t kPacketData = 68;
constexpr uint8_t kPacketAux = 136;

inline uint16_t readU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t readI16(const uint8_t* p)
{
    return static_cast<int16_t>(readU16(p));
}
inline uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t readI32(const uint8_t* p)
{
    return static_cast<int32_t>(readU32(p));
}
inline float readF32(const uint8_t* p)
{
    uint32_t bits = readU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// A framed buffer: packets {type (1 byte), length n (u32 LE), n bytes}. Returns the number of
// packets passed to `packet`; a header or payload that runs past the end stops the split.
size_t splitFramedPackets(ByteSpan buffer, const std::function<void(uint8_t type, ByteSpan payload)>& packet);

// A run of records {length L (1 byte, counting itself), kind (1 byte), L - 2 bytes}. A length
// below 2 (a record that cannot hold its kind) or one that runs past the end stops the split.
size_t splitRecordRun(ByteSpan buffer, const std::function<void(uint8_t kind, ByteSpan body)>& record);

} // namespace kavro
