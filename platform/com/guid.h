#pragma once
// 16-byte class and interface identifiers with the Windows memory layout: Data1..Data3 are
// stored little-endian, Data4 as bytes. Documents and event files carry them, so the byte form
// is a file-format constant.
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    // Parses "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", with or without braces. Used in constant
    // expressions for the minted identifiers; a malformed literal fails to compile there.
    static constexpr Guid parse(std::string_view text)
    {
        if (!text.empty() && text.front() == '{') {
            if (text.size() != 38 || text.back() != '}')
                throw "malformed guid";
            text = text.substr(1, 36);
        }
        if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
            throw "malformed guid";
        auto hex = [&](size_t pos, size_t count) {
            uint64_t v = 0;
            for (size_t i = 0; i < count; ++i) {
                char c = text[pos + i];
                int d = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f'   ? c - 'a' + 10
                    : c >= 'A' && c <= 'F'   ? c - 'A' + 10
                                             : -1;
                if (d < 0)
                    throw "malformed guid";
                v = v * 16 + static_cast<uint64_t>(d);
            }
            return v;
        };
        Guid g;
        g.data1 = static_cast<uint32_t>(hex(0, 8));
        g.data2 = static_cast<uint16_t>(hex(9, 4));
        g.data3 = static_cast<uint16_t>(hex(14, 4));
        g.data4[0] = static_cast<uint8_t>(hex(19, 2));
        g.data4[1] = static_cast<uint8_t>(hex(21, 2));
        for (size_t i = 0; i < 6; ++i)
            g.data4[2 + i] = static_cast<uint8_t>(hex(24 + 2 * i, 2));
        return g;
    }

    static std::optional<Guid> fromString(std::string_view text);
    std::string toString() const; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case as Windows writes it

    void toBytes(uint8_t out[16]) const;
    static Guid fromBytes(const uint8_t in[16]);

    constexpr bool isNull() const { return *this == Guid{}; }
    constexpr bool operator==(const Guid&) const = default;
    bool operator<(const Guid& o) const;
};

using IID = Guid;
using CLSID = Guid;

constexpr Guid GUID_NULL{};

template <> struct std::hash<Guid> {
    size_t operator()(const Guid& g) const noexcept;
};
