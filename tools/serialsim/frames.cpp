#include "serialsim/frames.h"

#include <algorithm>

namespace kavro::serialsim {

namespace {

unsigned field(int value, int low, int high)
{
    return unsigned(std::clamp(value, low, high));
}

// Position words travel offset by 512 so they are never negative.
unsigned position(int value)
{
    return field(value, -512, 511) + 512;
}

unsigned piezoLevel(int piezo)
{
    return (field(piezo, 0, 1020) + 3) / 4;
}

// The fields every Vantage-shaped frame shares: b0..b5 and the counter's low three bits.
void encodeCommonFields(const VantageSample& s, uint8_t* b)
{
    const unsigned x = position(s.x), y = position(s.y);
    const unsigned signal = field(s.signal, 0, 511) * 2;
    const unsigned piezo = piezoLevel(s.piezo);
    const unsigned counter = unsigned(s.counter) & 0xFF;
    b[0] = uint8_t(FrameStartBit | (x & 0x7F));
    b[1] = uint8_t((x >> 7) | (y & 0xF) << 3);
    b[2] = uint8_t(y >> 4);
    b[3] = uint8_t(signal & 0x7F);
    b[4] = uint8_t((signal >> 7) | (piezo & 0xF) << 3);
    b[5] = uint8_t((piezo >> 4) | (counter & 7) << 4);
}

} // namespace

VantageFrame encodeVantageFrame(const VantageSample& s)
{
    VantageFrame b{};
    encodeCommonFields(s, b.data());
    const unsigned counter = unsigned(s.counter) & 0xFF;
    b[6] = uint8_t((counter >> 3) & 0x1F);
    // The sum (frame-start bit included) rides in bit 6 of b6 (its low bit) and in b7.
    unsigned sum = 0;
    for (int i = 0; i < 7; ++i)
        sum += b[size_t(i)];
    sum &= 0xFF;
    b[6] = uint8_t(b[6] | (sum & 1) << 6);
    b[7] = uint8_t(sum >> 1);
    return b;
}

ClassicFrame encodeClassicFrame(const ClassicSample& s)
{
    ClassicFrame b{};
    encodeCommonFields(s, b.data());
    const unsigned counter = unsigned(s.counter) & 0xF;
    const unsigned trigger = field(s.trigger, 0, 1023);
    const unsigned pulse = field(s.pulse, 0, 1023);
    b[6] = uint8_t((counter >> 3) | (trigger & 3) << 5);
    b[7] = uint8_t((trigger >> 2) & 0x7F);
    b[8] = uint8_t((trigger >> 9) | (pulse & 0x3F) << 1);
    b[9] = uint8_t(pulse >> 6);
    // A nibble check: the sum's two nibbles folded together, in bits 1-4 of b6 (left out of the sum).
    unsigned sum = 0;
    for (uint8_t byte : b)
        sum += byte;
    sum &= 0xFF;
    b[6] = uint8_t(b[6] | (((sum >> 4) ^ sum) & 0xF) << 1);
    return b;
}

BiathlonFrame encodeBiathlonFrame(const BiathlonSample& s)
{
    std::array<unsigned, 18> words{};
    for (size_t k = 0; k < 5; ++k) {
        words[3 * k] = position(s.targets[k].q);
        words[3 * k + 1] = position(s.targets[k].p);
        words[3 * k + 2] = field(s.targets[k].intensity, 0, 1023);
    }
    words[15] = field(s.piezo, 0, 1023);
    words[16] = field(s.extra1, 0, 1023);
    words[17] = field(s.extra2, 0, 1023);

    BiathlonFrame b{};
    auto putBits = [&b](unsigned value, unsigned firstBit, unsigned count) {
        for (unsigned i = 0; i < count; ++i)
            if (value >> i & 1) {
                const unsigned bit = firstBit + i;
                b[bit / 7] = uint8_t(b[bit / 7] | 1u << (bit % 7));
            }
    };
    for (unsigned k = 0; k < words.size(); ++k)
        putBits(words[k], 10 * k, 10);
    putBits(unsigned(s.counter) & 0x1F, 184, 5); // bits 180-183 are reserved, sent as 0
    b[0] = uint8_t(b[0] | FrameStartBit);
    unsigned sum = 0;
    for (size_t i = 0; i < 27; ++i)
        sum += b[i];
    b[27] = uint8_t(~sum & 0x7F);
    return b;
}

} // namespace kavro::serialsim
