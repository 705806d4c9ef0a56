#pragma once
// Where the mixer's sound goes: the desktop's audio device, a wave file (recordings and tests),
// or nowhere, at the pace of a real device, when the machine has no audio device.
#include "com/hresult.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>

namespace kavro {

class Mixer;

class AudioOutput {
public:
    enum class Kind { Device, WaveFile, Silent };
    virtual ~AudioOutput() = default;
    virtual Kind kind() const = 0;
};

// Renders only when asked, so what a test hears does not depend on a clock.
class WavFileOutput : public AudioOutput {
public:
    explicit WavFileOutput(Mixer& mixer) : mixer_(mixer) { }
    Kind kind() const override { return Kind::WaveFile; }

    void render(size_t frames);
    // Interleaved 16-bit stereo rendered so far.
    const QByteArray& samples() const { return samples_; }
    QByteArray waveFile() const;
    HRESULT save(const QString& path) const;

private:
    Mixer& mixer_;
    QByteArray samples_;
};

// Keeps the mixer playing in real time into nothing, so sounds still end and their buffers free
// up as they would on a device. Stops with the object.
std::unique_ptr<AudioOutput> makeSilentOutput(Mixer& mixer);

// The desktop's default audio device when there is one and it opens; otherwise the silent output.
// A device that fails later falls silent the same way; neither stops the program.
std::unique_ptr<AudioOutput> openAudioOutput(Mixer& mixer);

} // namespace kavro
