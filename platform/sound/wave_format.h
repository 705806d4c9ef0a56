#pragma once
// The layout of a wave format record as RIFF files store it.
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

} // namespace kavro
