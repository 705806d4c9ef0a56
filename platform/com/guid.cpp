#include "guid.h"

#include <cstdio>

std::optional<Guid> Guid::fromString(std::string_view text)
{
    try {
        return parse(text);
    } catch (const char*) {
        return std::nullopt;
    }
}

std::string Guid::toString() const
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2, data3, data4[0],
                  data4[1], data4[2], data4[3], data4[4], data4[5], data4[6], data4[7]);
    return buf;
}

void Guid::toBytes(uint8_t out[16]) const
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(data1 >> (8 * i));
    out[4] = static_cast<uint8_t>(data2);
    out[5] = static_cast<uint8_t>(data2 >> 8);
    out[6] = static_cast<uint8_t>(data3);
    out[7] = static_cast<uint8_t>(data3 >> 8);
    std::memcpy(out + 8, data4.data(), 8);
}

Guid Guid::fromBytes(const uint8_t in[16])
{
    Guid g;
    g.data1 = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
    g.data2 = static_cast<uint16_t>(in[4] | in[5] << 8);
    g.data3 = static_cast<uint16_t>(in[6] | in[7] << 8);
    std::memcpy(g.data4.data(), in + 8, 8);
    return g;
}

bool Guid::operator<(const Guid& o) const
{
    uint8_t a[16], b[16];
    toBytes(a);
    o.toBytes(b);
    return std::memcmp(a, b, 16) < 0;
}

size_t std::hash<Guid>::operator()(const Guid& g) const noexcept
{
    uint8_t b[16];
    g.toBytes(b);
    uint64_t lo, hi;
    std::memcpy(&lo, b, 8);
    std::memcpy(&hi, b + 8, 8);
    return static_cast<size_t>(lo * 0x9E3779B97F4A7C15ull ^ hi);
}
