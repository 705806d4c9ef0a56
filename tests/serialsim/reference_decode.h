#pragma once
// A host's reading of the sensors' lines, written from the protocol's decode formulas and kept
// apart from the encoders, so each checks the other.
#include <cstdint>
#include <span>
#include <string>

namespace kavro::test {

struct DecodedVantage {
    bool valid = false;
    int x = 0, y = 0, signal = 0, piezo = 0, counter = 0;
    int trigger = 0, pulse = 0; // Classic only
};
DecodedVantage decodeVantage(std::span<const uint8_t> b); // 8 bytes
DecodedVantage decodeClassic(std::span<const uint8_t> b); // 10 bytes

struct DecodedBiathlon {
    bool checksumOk = false;
    bool valid = false; // checksum, a seen target and the neighbour and range checks
    int words[18]{};
    int counter = 0;
    double x = 0, y = 0; // the aiming position (first sample after a reset: no smoothing)
    int intensity = 0;
};
DecodedBiathlon decodeBiathlon(std::span<const uint8_t> b); // 28 bytes

struct ParsedBanner {
    bool ok = false;
    std::string bannerChars, tag, modelText, serial, field3, field4, name;
    int modelNumber = 0;
};
ParsedBanner parseBanner(std::span<const uint8_t> bytes);

} // namespace kavro::test
