#include "sound/mixer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <mutex>

namespace kavro {

static_assert(std::endian::native == std::endian::little, "16-bit samples are read in place");

struct MixerCore {
    std::mutex lock;
    std::vector<SoundBuffer*> buffers;
    std::vector<float> acc;
    std::vector<std::function<void()>*> fired;
};

namespace {

constexpr uint64_t kOne = uint64_t(1) << 32;

float decibelGain(long hundredthsDb)
{
    return hundredthsDb <= kSoundVolumeMin ? 0.0f : static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

uint64_t stepFor(uint32_t hz)
{
    return (uint64_t(hz) << 32) / Mixer::kRate;
}

// True when frame `n` lies in (from, to], going forward around the buffer.
bool passed(uint32_t from, uint32_t to, uint32_t n)
{
    return from < to ? (n > from && n <= to) : (n > from || n <= to);
}

} // namespace

SoundBuffer::SoundBuffer(std::shared_ptr<MixerCore> core, const WaveFormat& format, uint32_t caps,
                         std::shared_ptr<std::vector<uint8_t>> data)
    : core_(std::move(core)), format_(format), caps_(caps), size_(static_cast<uint32_t>(data->size())),
      frames_(size_ / format.blockAlign), data_(std::move(data)), step_(stepFor(format.samplesPerSec)),
      lastFrame_(frames_ - 1)
{
    std::lock_guard g(core_->lock);
    core_->buffers.push_back(this);
}

SoundBuffer::~SoundBuffer()
{
    std::lock_guard g(core_->lock);
    auto& list = core_->buffers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

HRESULT SoundBuffer::write(uint32_t offset, const void* data, uint32_t bytes)
{
    if (!data && bytes)
        return E_POINTER;
    if (offset > size_ || bytes > size_ - offset)
        return E_INVALIDARG;
    if (bytes == 0)
        return S_OK;
    std::lock_guard g(core_->lock);
    std::memcpy(data_->data() + offset, data, bytes);
    return S_OK;
}

HRESULT SoundBuffer::play(uint32_t flags)
{
    std::lock_guard g(core_->lock);
    looping_ = (flags & kSoundPlayLooping) != 0;
    if (!playing_)
        lastFrame_ = static_cast<uint32_t>((pos_ >> 32) + frames_ - 1) % frames_;
    playing_ = true;
    return S_OK;
}

HRESULT SoundBuffer::stop()
{
    std::lock_guard g(core_->lock);
    playing_ = false;
    return S_OK;
}

bool SoundBuffer::isPlaying() const
{
    std::lock_guard g(core_->lock);
    return playing_;
}

uint32_t SoundBuffer::currentPosition() const
{
    std::lock_guard g(core_->lock);
    return static_cast<uint32_t>(pos_ >> 32) * format_.blockAlign;
}

HRESULT SoundBuffer::setCurrentPosition(uint32_t offset)
{
    if (offset >= size_)
        return E_INVALIDARG;
    std::lock_guard g(core_->lock);
    pos_ = uint64_t(offset / format_.blockAlign) << 32;
    lastFrame_ = static_cast<uint32_t>((pos_ >> 32) + frames_ - 1) % frames_;
    return S_OK;
}

HRESULT SoundBuffer::setVolume(long hundredthsDb)
{
    if (!(caps_ & kSoundCapsCtrlVolume))
        return kSoundControlUnavailable;
    if (hundredthsDb < kSoundVolumeMin || hundredthsDb > 0)
        return E_INVALIDARG;
    std::lock_guard g(core_->lock);
    volumeGain_ = decibelGain(hundredthsDb);
    updateGains();
    return S_OK;
}

HRESULT SoundBuffer::setPan(long hundredthsDb)
{
    if (!(caps_ & kSoundCapsCtrlPan))
        return kSoundControlUnavailable;
    if (hundredthsDb < kSoundPanLeft || hundredthsDb > kSoundPanRight)
        return E_INVALIDARG;
    std::lock_guard g(core_->lock);
    // The side the sound is panned to keeps its level; the other is attenuated.
    sideGain_[0] = hundredthsDb > 0 ? decibelGain(-hundredthsDb) : 1.0f;
    sideGain_[1] = hundredthsDb < 0 ? decibelGain(hundredthsDb) : 1.0f;
    updateGains();
    return S_OK;
}

HRESULT SoundBuffer::setFrequency(uint32_t hz)
{
    if (!(caps_ & kSoundCapsCtrlFrequency))
        return kSoundControlUnavailable;
    if (hz != 0 && (hz < 100 || hz > 200000))
        return E_INVALIDARG;
    std::lock_guard g(core_->lock);
    step_ = stepFor(hz ? hz : format_.samplesPerSec);
    return S_OK;
}

HRESULT SoundBuffer::setPosition3D(float x, float /*y*/, float /*z*/)
{
    if (!(caps_ & kSoundCapsCtrl3D))
        return kSoundControlUnavailable;
    float side = std::isfinite(x) ? std::clamp(x / kSoundSideDistance, -1.0f, 1.0f) : 0.0f;
    std::lock_guard g(core_->lock);
    sideGain_[0] = side > 0 ? 1.0f - side : 1.0f;
    sideGain_[1] = side < 0 ? 1.0f + side : 1.0f;
    updateGains();
    return S_OK;
}

HRESULT SoundBuffer::setNotifications(std::vector<uint32_t> offsets, std::function<void()> notify)
{
    if (!(caps_ & kSoundCapsCtrlPositionNotify))
        return kSoundControlUnavailable;
    for (uint32_t& o : offsets) {
        if (o >= size_)
            return E_INVALIDARG;
        o /= format_.blockAlign;
    }
    std::lock_guard g(core_->lock);
    notifyFrames_ = std::move(offsets);
    notify_ = std::move(notify);
    return S_OK;
}

void SoundBuffer::updateGains()
{
    gain_[0] = volumeGain_ * sideGain_[0];
    gain_[1] = volumeGain_ * sideGain_[1];
}

void SoundBuffer::mixInto(float* acc, size_t frames, std::vector<std::function<void()>*>& fired)
{
    const uint8_t* bytes = data_->data();
    const bool stereo = format_.channels == 2;
    const bool wide = format_.bitsPerSample == 16;
    const auto sampleAt = [&](uint32_t frame, int channel) -> float {
        const uint8_t* p = bytes + size_t(frame) * format_.blockAlign;
        if (stereo)
            p += channel * (wide ? 2 : 1);
        if (wide) {
            int16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        return (int(*p) - 128) * 256.0f;
    };
    const uint64_t end = uint64_t(frames_) << 32;
    for (size_t i = 0; i < frames; ++i) {
        const uint32_t frame = static_cast<uint32_t>(pos_ >> 32);
        const float frac = static_cast<float>(pos_ & (kOne - 1)) / static_cast<float>(kOne);
        uint32_t next = frame + 1;
        if (next == frames_)
            next = looping_ ? 0 : frame;
        for (int c = 0; c < 2; ++c) {
            float s = sampleAt(frame, c);
            if (frac != 0.0f)
                s += (sampleAt(next, c) - s) * frac;
            acc[2 * i + c] += s * gain_[c];
        }
        if (!notifyFrames_.empty() && frame != lastFrame_) {
            for (uint32_t n : notifyFrames_)
                if (passed(lastFrame_, frame, n))
                    fired.push_back(&notify_);
        }
        lastFrame_ = frame;
        pos_ += step_;
        if (pos_ >= end) {
            if (!looping_) {
                // Played out: stopped and rewound, so the buffer counts as free at once.
                playing_ = false;
                pos_ = 0;
                lastFrame_ = frames_ - 1;
                return;
            }
            pos_ %= end;
        }
    }
}

Mixer::Mixer() : core_(std::make_shared<MixerCore>())
{
}

Mixer::~Mixer() = default;

HRESULT Mixer::createBuffer(const WaveFormat& format, uint32_t bytes, uint32_t caps, std::shared_ptr<SoundBuffer>* out)
{
    if (!out)
        return E_POINTER;
    if (!format.isPlayablePcm() || bytes == 0 || bytes > kSoundBufferMaxBytes || bytes % format.blockAlign)
        return E_INVALIDARG;
    try {
        const uint8_t silence = format.bitsPerSample == 8 ? 128 : 0;
        auto data = std::make_shared<std::vector<uint8_t>>(bytes, silence);
        out->reset(new SoundBuffer(core_, format, caps, std::move(data)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Mixer::duplicateBuffer(const SoundBuffer& original, std::shared_ptr<SoundBuffer>* out)
{
    if (!out)
        return E_POINTER;
    if (original.core_ != core_)
        return E_INVALIDARG;
    try {
        out->reset(new SoundBuffer(core_, original.format_, original.caps_, original.data_));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void Mixer::render(int16_t* out, size_t frames)
{
    std::lock_guard g(core_->lock);
    auto& acc = core_->acc;
    acc.assign(frames * 2, 0.0f);
    core_->fired.clear();
    for (SoundBuffer* b : core_->buffers)
        if (b->playing_)
            b->mixInto(acc.data(), frames, core_->fired);
    for (size_t i = 0; i < frames * 2; ++i)
        out[i] = static_cast<int16_t>(std::lrintf(std::clamp(acc[i], -32768.0f, 32767.0f)));
    for (std::function<void()>* notify : core_->fired)
        if (*notify)
            (*notify)();
}

} // namespace kavro
