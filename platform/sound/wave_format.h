#pragma once
// The layout of a wave format record as RIFF files store it, and the little-endian byte helpers
// that reading and writing those files share.
#include <QByteArray>

#include <cstdint>

namespace kavro {

constexpr uint16_t kWaveFormatPcm = 1;

struct WaveFormat {
    uint16_t formatTag = kWaveFormatPcm;
    uint16_t channels = 1;
    uint32_t samplesPerSec = 22050;
    uint32_t avgBytesPerSec = 44100;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    QByteArray extra; // the cbSize bytes that follow a non-PCM format

    static WaveFormat pcm(uint16_t channels, uint32_t rate, uint16_t bits);

    // What the mixer can play: PCM with 1 or 2 channels of 8 or 16 bits, a consistent block
    // alignment and a rate a listener could hear as intended.
    bool isPlayablePcm() const;

    bool operator==(const WaveFormat&) const = default;
};

inline uint16_t readLe16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(u[0] | (u[1] << 8));
}

inline uint32_t readLe32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint32_t>(u[0]) | (static_cast<uint32_t>(u[1]) << 8) | (static_cast<uint32_t>(u[2]) << 16)
        | (static_cast<uint32_t>(u[3]) << 24);
}

inline void appendLe16(QByteArray& out, uint16_t v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

inline void appendLe32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

} // namespace kavro
