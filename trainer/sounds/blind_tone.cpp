#include "sounds/blind_tone.h"

#include "app_options.h"
#include "sounds/sound_manager.h"
#include "sounds/wave_source.h"

#include <algorithm>
#include <cmath>

namespace kavro {

namespace {
BlindTone* g_tone = nullptr; // set and read on the user-interface thread only
}

void SetBlindTone(BlindTone* tone)
{
    g_tone = tone;
}

BlindTone* GetBlindTone()
{
    return g_tone;
}

HRESULT BlindTone::Create(SoundManager& manager)
{
    Destroy();
    auto wave = std::make_unique<CGenWaveFile>(Mixer::kRate, 16);
    CGenWaveFile* generator = wave.get();
    std::unique_ptr<CStreamingSound> sound;
    const HRESULT hr = manager.CreateStreaming(std::move(wave), kSoundCapsCtrl3D, &sound);
    if (FAILED(hr))
        return hr;
    sound_ = std::move(sound);
    generator_ = generator;
    return S_OK;
}

void BlindTone::Destroy()
{
    generator_ = nullptr;
    sound_.reset();
}

float BlindTone::FrequencyForZone(int zone, const SoundEnvironment& env)
{
    return static_cast<float>(env.blindGenFrequencies[static_cast<size_t>(std::clamp(zone, 0, 10))]);
}

float BlindTone::SourcePosition(float x, float formWidth)
{
    if (!(formWidth > 0.0f) || !std::isfinite(x))
        return 0.0f; // no form to measure against: keep the tone in the middle
    float p = x * 20.0f;
    p = p / formWidth;
    p = p * 10.0f;
    return p / 15.0f;
}

void BlindTone::Update(int zone, float x, float formWidth)
{
    if (!sound_)
        return;
    const SoundEnvironment env = CurrentSoundEnvironment();
    if (!env.soundEnabled || !env.blindGen)
        return;
    generator_->SetFrequency(FrequencyForZone(zone, env));
    sound_->GetBuffer(0)->setPosition3D(SourcePosition(x, formWidth), 0.0f, 0.0f);
    if (!sound_->IsPlaying()) {
        // What the buffer still holds was made at the pitch of the last time it played.
        sound_->Reset();
        sound_->Play(0, kSoundPlayLooping, 0, -1, 0);
    }
}

void BlindTone::Stop()
{
    if (sound_ && sound_->IsPlaying())
        sound_->Stop();
}

void BlindTone::ApplyOptionsChange(uint32_t changeMask)
{
    if ((changeMask & kChangeSound) && !CurrentSoundEnvironment().blindGen)
        Stop();
}

bool BlindTone::IsPlaying() const
{
    return sound_ && sound_->IsPlaying();
}

} // namespace kavro
