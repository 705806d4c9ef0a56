#include "sound/audio_output.h"

#include "storage/file/atomic_file.h"
#include "sound/mixer.h"
#include "sound/riff_wave.h"
#include "thread/cthread.h"

#include <chrono>
#include <vector>

namespace kavro {

void WavFileOutput::render(size_t frames)
{
    const qsizetype at = samples_.size();
    samples_.resize(at + static_cast<qsizetype>(frames * 4));
    mixer_.render(reinterpret_cast<int16_t*>(samples_.data() + at), frames);
}

QByteArray WavFileOutput::waveFile() const
{
    return buildRiffWave(Mixer::outputFormat(), samples_);
}

HRESULT WavFileOutput::save(const QString& path) const
{
    return writeFileReplace(path, waveFile());
}

namespace {

class SilentOutput : public AudioOutput, private CThread {
public:
    explicit SilentOutput(Mixer& mixer) : mixer_(mixer) { Start(); }
    ~SilentOutput() override { Stop(); }
    Kind kind() const override { return Kind::Silent; }

private:
    void Run() override
    {
        using namespace std::chrono;
        constexpr uint32_t kTickMs = 20;
        std::vector<int16_t> scratch;
        const auto start = steady_clock::now();
        uint64_t rendered = 0;
        while (!StopEvent().wait(kTickMs)) {
            const auto elapsed = duration_cast<microseconds>(steady_clock::now() - start).count();
            const uint64_t due = static_cast<uint64_t>(elapsed) * Mixer::kRate / 1000000;
            const size_t frames = static_cast<size_t>(std::min<uint64_t>(due - rendered, Mixer::kRate));
            rendered = due; // after a stall the mix skips ahead rather than racing to catch up
            if (frames == 0)
                continue;
            scratch.resize(frames * 2);
            mixer_.render(scratch.data(), frames);
        }
    }

    Mixer& mixer_;
};

} // namespace

std::unique_ptr<AudioOutput> makeSilentOutput(Mixer& mixer)
{
    return std::make_unique<SilentOutput>(mixer);
}

} // namespace kavro
