// One second of the busiest mix the trainer makes: eight spoken sounds at once over the
// blind-shooter tone, with the tone's ten refills. Reported as the fraction of real time the mix
// takes, and against a plain copy of the same second of audio measured in the same run.
#include "sound/audio_output.h"
#include "sound/mixer.h"
#include "sounds/wave_source.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using namespace kavro;

constexpr size_t kSecond = Mixer::kRate;
constexpr size_t kBlock = kSecond / 10;

double secondsToCopyOneSecond()
{
    std::vector<int16_t> from(kSecond * 2, 1), to(kSecond * 2);
    constexpr int kRounds = 200;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        from[static_cast<size_t>(i)] = static_cast<int16_t>(i);
        std::memcpy(to.data(), from.data(), to.size() * 2);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRounds;
}

void BM_MixEightVoicesAndTone(benchmark::State& state)
{
    Mixer mixer;
    std::vector<std::shared_ptr<SoundBuffer>> voices;
    // Speech-like material at different rates, so both the direct and the interpolating paths run.
    for (int v = 0; v < 8; ++v) {
        const uint32_t rate = v % 2 ? 22050 : 16000;
        std::vector<int16_t> speech(rate);
        for (size_t i = 0; i < speech.size(); ++i)
            speech[i] = static_cast<int16_t>(3000 * std::sin(0.01 * double(i) * (v + 1)));
        std::shared_ptr<SoundBuffer> b;
        mixer.createBuffer(WaveFormat::pcm(1, rate, 16), static_cast<uint32_t>(speech.size() * 2), 0, &b);
        b->write(0, speech.data(), static_cast<uint32_t>(speech.size() * 2));
        voices.push_back(b);
    }
    CGenWaveFile tone(Mixer::kRate, 16);
    tone.SetFrequency(1200.0f);
    std::shared_ptr<SoundBuffer> toneBuffer;
    mixer.createBuffer(tone.GetFormat(), 4 * kBlock, kSoundCapsCtrl3D, &toneBuffer);
    toneBuffer->setPosition3D(2.0f, 0, 0);
    std::vector<uint8_t> block(2 * kBlock);
    std::vector<int16_t> out(kBlock * 2);

    double seconds = 0;
    for (auto _ : state) {
        for (auto& b : voices)
            b->play(kSoundPlayLooping);
        toneBuffer->play(kSoundPlayLooping);
        const auto start = std::chrono::steady_clock::now();
        for (size_t k = 0; k < 10; ++k) {
            uint32_t got = 0;
            tone.Read(block.data(), static_cast<uint32_t>(block.size()), &got);
            toneBuffer->write(static_cast<uint32_t>((k % 2) * block.size()), block.data(), got);
            mixer.render(out.data(), kBlock);
            benchmark::DoNotOptimize(out.data());
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perSecond = seconds / static_cast<double>(state.iterations());
    state.counters["fraction_of_real_time"] = perSecond;
    state.counters["times_a_copy"] = perSecond / secondsToCopyOneSecond();
}
BENCHMARK(BM_MixEightVoicesAndTone)->Unit(benchmark::kMillisecond);

} // namespace
