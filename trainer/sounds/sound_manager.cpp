#include "sounds/sound_manager.h"

namespace kavro {

SoundManager::SoundManager() = default;

SoundManager::~SoundManager()
{
    qDeleteAll(cache_);
    cache_.clear();
    output_.reset(); // stops pulling before the mixer goes
    mixer_.reset();
}

HRESULT SoundManager::Initialize(const OutputFactory& makeOutput)
{
    if (mixer_)
        return S_FALSE;
    mixer_ = std::make_unique<Mixer>();
    output_ = makeOutput ? makeOutput(*mixer_) : openAudioOutput(*mixer_);
    return S_OK;
}

HRESULT SoundManager::SetPrimaryBufferFormat(uint16_t channels, uint32_t rate, uint16_t bits)
{
    if (!mixer_)
        return CO_E_NOTINITIALIZED;
    return channels == Mixer::kChannels && rate == Mixer::kRate && bits == Mixer::kBits ? S_OK : E_INVALIDARG;
}

HRESULT SoundManager::CreateSoundFromFile(const QString& path, uint32_t flags, uint32_t bufferCount,
                                          std::unique_ptr<CSound>* out)
{
    if (!mixer_)
        return CO_E_NOTINITIALIZED;
    if (!out || bufferCount == 0)
        return E_INVALIDARG;
    auto wave = std::make_unique<CWaveDiskFile>();
    const HRESULT hr = wave->Open(path);
    if (FAILED(hr))
        return hr;
    if (wave->GetSize() == 0)
        return E_FAIL;
    return CreateSound(std::move(wave), flags, bufferCount, out);
}

HRESULT SoundManager::CreateSound(std::unique_ptr<CWaveFile> wave, uint32_t flags, uint32_t bufferCount,
                                  std::unique_ptr<CSound>* out)
{
    if (!mixer_)
        return CO_E_NOTINITIALIZED;
    if (!wave || !out || bufferCount == 0)
        return E_INVALIDARG;
    const WaveFormat format = wave->GetFormat();
    if (!format.isPlayablePcm())
        return E_INVALIDARG;
    // A trailing partial frame cannot be played.
    const uint32_t size = wave->GetSize() - wave->GetSize() % format.blockAlign;
    if (size == 0 || size > kSoundBufferMaxBytes)
        return E_INVALIDARG;

    std::vector<std::shared_ptr<SoundBuffer>> buffers(bufferCount);
    HRESULT hr = mixer_->createBuffer(format, size, flags, &buffers[0]);
    for (uint32_t i = 1; i < bufferCount && SUCCEEDED(hr); ++i) {
        hr = (flags & kSoundCapsLocDefer) ? mixer_->createBuffer(format, size, flags, &buffers[i])
                                          : mixer_->duplicateBuffer(*buffers[0], &buffers[i]);
    }
    if (FAILED(hr))
        return hr;
    auto sound = std::make_unique<CSound>(std::move(buffers), size, std::move(wave), flags);
    // Duplicates share the first buffer's data; buffers made anew need their own fill.
    for (uint32_t i = 0; i < bufferCount && SUCCEEDED(hr); ++i)
        if (i == 0 || (flags & kSoundCapsLocDefer))
            hr = sound->FillBuffer(sound->GetBuffer(i), false);
    if (FAILED(hr))
        return hr;
    *out = std::move(sound);
    return S_OK;
}

HRESULT SoundManager::CreateStreaming(std::unique_ptr<CWaveFile> wave, uint32_t flags,
                                      std::unique_ptr<CStreamingSound>* out)
{
    if (!mixer_)
        return CO_E_NOTINITIALIZED;
    if (!wave || !out)
        return E_INVALIDARG;
    const WaveFormat format = wave->GetFormat();
    if (!format.isPlayablePcm())
        return E_INVALIDARG;
    uint32_t notifySize = format.blockAlign * format.samplesPerSec / 10; // 100 ms
    notifySize -= notifySize % format.blockAlign;
    std::shared_ptr<SoundBuffer> buffer;
    const HRESULT hr = mixer_->createBuffer(
        format, 2 * notifySize, flags | kSoundCapsCtrlPositionNotify | kSoundCapsGetCurrentPosition2, &buffer);
    if (FAILED(hr))
        return hr;
    try {
        *out = std::make_unique<CStreamingSound>(std::move(buffer), 2 * notifySize, std::move(wave), flags, notifySize);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

bool SoundManager::PlayCached(const QString& path, uint32_t bufferCount)
{
    CSound* sound = cache_.value(path);
    if (!sound) {
        std::unique_ptr<CSound> created;
        if (FAILED(CreateSoundFromFile(path, 0, bufferCount, &created)))
            return false;
        sound = created.release();
        cache_.insert(path, sound);
    }
    return SUCCEEDED(sound->Play(0, 0, 0, -1, 0));
}

} // namespace kavro
