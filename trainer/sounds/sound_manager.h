#pragma once
// The trainer's one sound manager: the mixer with its output, and the named sounds that have
// been played, kept by full path until the manager goes.
#include "com/hresult.h"
#include "sound/audio_output.h"
#include "sound/mixer.h"
#include "sounds/sound.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace kavro {

class SoundManager {
public:
    using OutputFactory = std::function<std::unique_ptr<AudioOutput>(Mixer&)>;

    SoundManager();
    ~SoundManager();
    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    // Starts the mixer on the desktop's audio device, or silently when there is none. A
    // factory chooses another output (tests record into a wave file).
    HRESULT Initialize(const OutputFactory& makeOutput = {});
    // The mix is always 2 channels of 16 bits at 22050 Hz; another format is E_INVALIDARG.
    HRESULT SetPrimaryBufferFormat(uint16_t channels, uint32_t rate, uint16_t bits);

    HRESULT CreateSoundFromFile(const QString& path, uint32_t flags, uint32_t bufferCount,
                                std::unique_ptr<CSound>* out);
    HRESULT CreateSound(std::unique_ptr<CWaveFile> wave, uint32_t flags, uint32_t bufferCount,
                        std::unique_ptr<CSound>* out);
    // A streaming sound with two blocks of 100 ms, notified at the end of each.
    HRESULT CreateStreaming(std::unique_ptr<CWaveFile> wave, uint32_t flags, std::unique_ptr<CStreamingSound>* out);

    // Plays the file once, creating its sound with `bufferCount` buffers on first use.
    bool PlayCached(const QString& path, uint32_t bufferCount);

    Mixer* GetMixer() const { return mixer_.get(); }
    AudioOutput* GetOutput() const { return output_.get(); }

private:
    std::unique_ptr<Mixer> mixer_;
    std::unique_ptr<AudioOutput> output_;
    QHash<QString, CSound*> cache_;
};

} // namespace kavro
