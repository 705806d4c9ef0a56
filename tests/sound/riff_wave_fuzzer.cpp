// Any bytes must parse without reading past them, and an accepted file's data must lie inside it
// and survive a round trip through the writer.
#include "sound/riff_wave.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kavro;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    RiffWave wave;
    if (FAILED(parseRiffWave(bytes, &wave, nullptr)))
        return 0;
    if (wave.dataOffset < 12 || wave.dataOffset + qsizetype(wave.dataSize) > bytes.size())
        std::abort();
    if (wave.format.formatTag == kWaveFormatPcm) {
        const QByteArray samples = bytes.mid(wave.dataOffset, wave.dataSize);
        RiffWave again;
        const QByteArray rewritten = buildRiffWave(wave.format, samples);
        if (FAILED(parseRiffWave(rewritten, &again, nullptr)) || again.format != wave.format
            || rewritten.mid(again.dataOffset, again.dataSize) != samples)
            std::abort();
    }
    return 0;
}
