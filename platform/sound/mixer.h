#pragma once
// A small software mixer in the manner of a sound card's secondary buffers: each buffer holds
// PCM data in its own format and plays once or looping at its own volume, pan and rate; the
// mixer sums every playing buffer into 16-bit stereo at 22050 Hz when an output pulls from it.
// Every buffer operation may be called from any thread; an output's render runs on its own.
#include "com/hresult.h"
#include "sound/wave_format.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kavro {

// Capability flags of a buffer; the values are those the trainer stores and passes along.
constexpr uint32_t kSoundCapsCtrl3D = 0x10;
constexpr uint32_t kSoundCapsCtrlFrequency = 0x20;
constexpr uint32_t kSoundCapsCtrlPan = 0x40;
constexpr uint32_t kSoundCapsCtrlVolume = 0x80;
constexpr uint32_t kSoundCapsCtrlPositionNotify = 0x100;
constexpr uint32_t kSoundCapsGetCurrentPosition2 = 0x10000;
constexpr uint32_t kSoundCapsLocDefer = 0x40000;

constexpr uint32_t kSoundPlayLooping = 1;

// Volume and pan in hundredths of a decibel: volume 0 is full, -10000 silent; pan -10000 is the
// left side alone, 10000 the right side alone.
constexpr long kSoundVolumeMin = -10000;
constexpr long kSoundPanLeft = -10000;
constexpr long kSoundPanRight = 10000;
// Largest buffer, as sound cards allow.
constexpr uint32_t kSoundBufferMaxBytes = 0x0FFFFFFF;

// A head-relative source this many units to one side is heard from that side alone; nearer the
// middle, the far ear hears it proportionally fainter.
constexpr float kSoundSideDistance = 20.0f / 3.0f;

// A control the buffer was not created with.
constexpr HRESULT kSoundControlUnavailable = E_NOTIMPL;

struct MixerCore;

class SoundBuffer {
public:
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    const WaveFormat& format() const { return format_; }
    uint32_t size() const { return size_; }
    uint32_t caps() const { return caps_; }

    // Copies into the buffer; E_INVALIDARG when the range is not inside it. Duplicates share
    // their data, so a write shows in all of them.
    HRESULT write(uint32_t offset, const void* data, uint32_t bytes);

    HRESULT play(uint32_t flags);
    // Stops where it is; the next play goes on from there.
    HRESULT stop();
    bool isPlaying() const;
    // The play cursor in bytes. A buffer that played to its end without looping is back at 0.
    uint32_t currentPosition() const;
    HRESULT setCurrentPosition(uint32_t offset);

    HRESULT setVolume(long hundredthsDb);
    HRESULT setPan(long hundredthsDb);
    // Playback rate in Hz; 0 returns to the format's own rate.
    HRESULT setFrequency(uint32_t hz);
    // Head-relative position of the source; only left and right can be heard in a stereo mix.
    HRESULT setPosition3D(float x, float y, float z);

    // `notify` runs on the render thread, under the mixer's lock, each time the play cursor
    // passes one of `offsets`: it must only signal, never call back into the mixer.
    HRESULT setNotifications(std::vector<uint32_t> offsets, std::function<void()> notify);

private:
    friend class Mixer;
    friend struct MixerCore;
    SoundBuffer(std::shared_ptr<MixerCore> core, const WaveFormat& format, uint32_t caps,
                std::shared_ptr<std::vector<uint8_t>> data);

    void updateGains(); // under the core's lock
    void mixInto(float* acc, size_t frames, std::vector<std::function<void()>*>& fired);

    std::shared_ptr<MixerCore> core_;
    const WaveFormat format_;
    const uint32_t caps_;
    const uint32_t size_;
    const uint32_t frames_;
    std::shared_ptr<std::vector<uint8_t>> data_;

    // Guarded by the core's lock.
    bool playing_ = false;
    bool looping_ = false;
    uint64_t pos_ = 0; // frames in 32.32 fixed point
    uint64_t step_ = 0; // per output frame, 32.32
    uint32_t lastFrame_ = 0; // the frame played last, for notifications
    float volumeGain_ = 1.0f;
    float sideGain_[2] = {1.0f, 1.0f};
    float gain_[2] = {1.0f, 1.0f};
    std::vector<uint32_t> notifyFrames_;
    std::function<void()> notify_;
};

class Mixer {
public:
    static constexpr uint32_t kRate = 22050;
    static constexpr uint16_t kChannels = 2;
    static constexpr uint16_t kBits = 16;
    static WaveFormat outputFormat() { return WaveFormat::pcm(kChannels, kRate, kBits); }

    Mixer();
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // A silent, stopped buffer of `bytes` (a whole number of frames of a playable PCM format).
    HRESULT createBuffer(const WaveFormat& format, uint32_t bytes, uint32_t caps, std::shared_ptr<SoundBuffer>* out);
    // A buffer over the same data with its own cursor and controls, stopped at 0.
    HRESULT duplicateBuffer(const SoundBuffer& original, std::shared_ptr<SoundBuffer>* out);

    // Mixes the next `frames` frames of interleaved stereo into `out`, saturating at full scale.
    void render(int16_t* out, size_t frames);

private:
    std::shared_ptr<MixerCore> core_;
};

} // namespace kavro
