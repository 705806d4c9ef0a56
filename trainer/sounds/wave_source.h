#pragma once
// Sources of wave data for sounds: a wave file read whole and checked, and an endless sine.
#include "com/hresult.h"
#include "sound/wave_format.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>

namespace kavro {

class CWaveFile {
public:
    virtual ~CWaveFile() = default;
    // Bytes of sample data.
    virtual uint32_t GetSize() const = 0;
    virtual HRESULT Rewind() = 0;
    // Copies up to `wanted` bytes from the current position; `*read` tells how many came.
    virtual HRESULT Read(uint8_t* buffer, uint32_t wanted, uint32_t* read) = 0;
    virtual const WaveFormat& GetFormat() const = 0;
};

class CWaveDiskFile : public CWaveFile {
public:
    // Reads the file whole. A file that is not a sound wave file, or whose chunks claim more
    // bytes than it holds, is refused with E_FAIL and the reason in ErrorText().
    HRESULT Open(const QString& path);
    QString ErrorText() const { return error_; }

    uint32_t GetSize() const override { return dataSize_; }
    HRESULT Rewind() override;
    HRESULT Read(uint8_t* buffer, uint32_t wanted, uint32_t* read) override;
    const WaveFormat& GetFormat() const override { return format_; }

private:
    QByteArray file_;
    WaveFormat format_;
    qsizetype dataOffset_ = 0;
    uint32_t dataSize_ = 0;
    uint32_t cursor_ = 0;
    QString error_;
};

// An endless sine. The frequency may be changed from any thread while another reads.
class CGenWaveFile : public CWaveFile {
public:
    static constexpr uint32_t kEndless = 0xFFFFFFFFu;

    CGenWaveFile(uint32_t sampleRate, uint16_t bitsPerSample, uint32_t size = kEndless);

    uint32_t GetSize() const override { return size_; }
    // Starts the sine again at phase 0.
    HRESULT Rewind() override;
    HRESULT Read(uint8_t* buffer, uint32_t wanted, uint32_t* read) override;
    const WaveFormat& GetFormat() const override { return format_; }

    float Frequency() const { return frequency_.load(std::memory_order_relaxed); }
    void SetFrequency(float hz) { frequency_.store(hz, std::memory_order_relaxed); }
    // Percent of half full scale, 0..100.
    int Volume() const { return volume_.load(std::memory_order_relaxed); }
    void SetVolume(int percent);

private:
    WaveFormat format_;
    uint32_t size_;
    std::atomic<float> frequency_{100.0f};
    std::atomic<int> volume_{100};
    float phase_ = 0.0f; // only the reader touches it
};

} // namespace kavro
