#pragma once
// Frame encoders of the serial sensors: what each sensor puts on the line for one sample.
// Fields are given in the units the host decodes them to; values outside a field's range are
// clamped to it, and counters wrap at the model's modulus.
#include <array>
#include <cstdint>

namespace kavro::serialsim {

constexpr uint8_t FrameStartBit = 0x80;

// Vantage, Vantage i and Vantage s: 8 bytes.
struct VantageSample {
    int x = 0; // -512..511
    int y = 0; // -512..511
    int signal = 0; // 0..511 (sent doubled, so every level is exact)
    int piezo = 0; // 0..1020, sent in steps of 4 rounded up, so a spike never reads below its level
    int counter = 0; // modulo 256
};
using VantageFrame = std::array<uint8_t, 8>;
VantageFrame encodeVantageFrame(const VantageSample& sample);

// Classic: 10 bytes, the Vantage fields plus a trigger and a pulse channel.
struct ClassicSample : VantageSample {
    int trigger = 0; // 0..1023
    int pulse = 0; // 0..1023
};
using ClassicFrame = std::array<uint8_t, 10>;
ClassicFrame encodeClassicFrame(const ClassicSample& sample); // counter modulo 16

// Biathlon: 28 bytes carrying a 7-bit-per-byte stream of eighteen 10-bit values.
struct BiathlonTargetReading {
    int p = 0; // -512..511
    int q = 0; // -512..511
    int intensity = 0; // 0..1023; below 32 the host takes the target as unseen
};
struct BiathlonSample {
    std::array<BiathlonTargetReading, 5> targets{};
    int piezo = 0; // 0..1023
    int extra1 = 0; // the two further 10-bit values, 0..1023
    int extra2 = 0;
    int counter = 0; // modulo 32
};
using BiathlonFrame = std::array<uint8_t, 28>;
BiathlonFrame encodeBiathlonFrame(const BiathlonSample& sample);

} // namespace kavro::serialsim
