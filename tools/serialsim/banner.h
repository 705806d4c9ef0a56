#pragma once
// The identification banner a serial sensor sends after the host's line handshake:
//   [text] "(" two banner characters, tag, model number "\" serial "\" field 3 "\" field 4 "\"
//   model name, two upper-case hex checksum digits ")"
// The checksum is the 8-bit sum of the bytes from "(" up to the last name character, plus the
// closing ")" (0x29).
#include <cstdint>
#include <string>
#include <string_view>

namespace kavro::serialsim {

struct BannerFields {
    std::string text; // before "(": the host skips it, at most 16 bytes
    std::string bannerChars = "01"; // 2 characters
    std::string tag = "KVR"; // 3 characters
    std::string modelNumber; // decimal, at most 5 characters
    std::string serialNumber; // at most 8 characters
    std::string field3; // at most 8 characters
    std::string field4; // at most 8 characters
    std::string modelName; // 1..41 characters
};

// The checksum over `body`, the bytes from "(" up to the last byte before the digits.
uint8_t bannerChecksum(std::string_view body);

std::string buildBanner(const BannerFields& fields);

} // namespace kavro::serialsim
