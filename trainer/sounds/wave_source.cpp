#include "sounds/wave_source.h"

#include "sound/riff_wave.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kavro {

HRESULT CWaveDiskFile::Open(const QString& path)
{
    RiffWave wave;
    QByteArray bytes;
    error_.clear();
    const HRESULT hr = readRiffWaveFile(path, &bytes, &wave, &error_);
    if (FAILED(hr))
        return hr;
    file_ = std::move(bytes);
    format_ = wave.format;
    dataOffset_ = wave.dataOffset;
    dataSize_ = wave.dataSize;
    cursor_ = 0;
    return S_OK;
}

HRESULT CWaveDiskFile::Rewind()
{
    cursor_ = 0;
    return S_OK;
}

HRESULT CWaveDiskFile::Read(uint8_t* buffer, uint32_t wanted, uint32_t* read)
{
    if (!read || (!buffer && wanted))
        return E_POINTER;
    const uint32_t n = std::min(wanted, dataSize_ - cursor_);
    if (n)
        std::memcpy(buffer, file_.constData() + dataOffset_ + cursor_, n);
    cursor_ += n;
    *read = n;
    return S_OK;
}

CGenWaveFile::CGenWaveFile(uint32_t sampleRate, uint16_t bitsPerSample, uint32_t size)
    : format_(WaveFormat::pcm(1, sampleRate, bitsPerSample)), size_(size)
{
}

HRESULT CGenWaveFile::Rewind()
{
    phase_ = 0.0f;
    return S_OK;
}

void CGenWaveFile::SetVolume(int percent)
{
    volume_.store(std::clamp(percent, 0, 100), std::memory_order_relaxed);
}

HRESULT CGenWaveFile::Read(uint8_t* buffer, uint32_t wanted, uint32_t* read)
{
    if (!read || (!buffer && wanted))
        return E_POINTER;
    if (wanted == 0) {
        *read = 0;
        return S_OK;
    }
    constexpr float kTwoPi = 6.2831855f;
    const uint32_t samples = wanted / format_.blockAlign;
    float step = Frequency() / static_cast<float>(format_.samplesPerSec) * kTwoPi;
    if (!std::isfinite(step) || step < 0.0f)
        step = 0.0f; // a frequency no dialog can set is silence, never a runaway phase
    const float level = static_cast<float>(Volume()) / 100.0f;
    for (uint32_t i = 0; i < samples; ++i) {
        const float s = std::sin(phase_);
        if (format_.bitsPerSample == 8) {
            buffer[i] = static_cast<uint8_t>(level * 127.5f * s + 127.5f);
        } else {
            // Computed on the offset scale and then centred: a 16-bit sample is signed, and an
            // offset would clip the peaks and step the output each time the tone starts.
            const int32_t offset = static_cast<int32_t>(level * 16383.5f * s + 16383.5f);
            const int16_t v = static_cast<int16_t>(offset - 16383);
            std::memcpy(buffer + 2 * i, &v, 2);
        }
        phase_ += step;
    }
    if (phase_ > kTwoPi * 4096.0f)
        phase_ = std::fmod(phase_, kTwoPi); // keeps the unwinding below short for absurd rates
    while (phase_ > kTwoPi)
        phase_ -= kTwoPi;
    // A partial sample at the end is silence rather than stale bytes.
    std::memset(buffer + samples * format_.blockAlign, format_.bitsPerSample == 8 ? 128 : 0,
                wanted - samples * format_.blockAlign);
    *read = wanted;
    return S_OK;
}

} // namespace kavro
