#pragma once
// The tone for blind shooters: a sine whose pitch tells the ring the aim is in and whose side
// follows the aim left or right.
#include "com/hresult.h"
#include "sounds/named_sounds.h"
#include "sounds/sound.h"

#include <memory>

namespace kavro {

class CGenWaveFile;
class SoundManager;

class BlindTone {
public:
    // The generator: 22050 Hz, 16 bits, mono, endless, on a streaming sound that can be placed.
    HRESULT Create(SoundManager& manager);
    void Destroy();
    bool Exists() const { return sound_ != nullptr; }

    // Retunes for an aiming point with the score `zone` (0 to 10 after clamping) at `x` mm on a
    // target form `formWidth` mm wide, and starts the tone when it is not playing. Nothing while
    // sound or the tone is switched off or the generator does not exist.
    void Update(int zone, float x, float formWidth);
    void Stop();
    bool IsPlaying() const;
    // After the options dialog: a tone that has just been switched off stops.
    void ApplyOptionsChange(uint32_t changeMask);

    CGenWaveFile* Generator() const { return generator_; }
    CStreamingSound* Sound() const { return sound_.get(); }

    static float FrequencyForZone(int zone, const SoundEnvironment& env);
    // Head-relative x of the source: the form's right edge lies 20/3 units to the right.
    static float SourcePosition(float x, float formWidth);

private:
    std::unique_ptr<CStreamingSound> sound_;
    CGenWaveFile* generator_ = nullptr; // owned by sound_
};

// The program's one tone, which the trace view drives; null while there is none.
void SetBlindTone(BlindTone* tone);
BlindTone* GetBlindTone();

} // namespace kavro
