#include "sound/wave_format.h"

namespace kavro {

WaveFormat WaveFormat::pcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    WaveFormat f;
    f.formatTag = kWaveFormatPcm;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>(channels * (bits / 8));
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

bool WaveFormat::isPlayablePcm() const
{
    return formatTag == kWaveFormatPcm && (channels == 1 || channels == 2)
        && (bitsPerSample == 8 || bitsPerSample == 16) && blockAlign == channels * (bitsPerSample / 8)
        && samplesPerSec >= 100 && samplesPerSec <= 200000;
}

} // namespace kavro
