// The sine generator, the blind-shooter tone heard through the mixer, and the streaming sound's
// notification thread.
#include "app_options.h"
#include "sounds/blind_tone.h"
#include "sounds_fixture.h"

#include <QDir>

#include <algorithm>
#include <chrono>
#include <limits>
#include <cstring>
#include <thread>

namespace kavro {
namespace {

using test::left;
using test::right;

std::vector<int16_t> readSamples(CGenWaveFile& gen, size_t count)
{
    std::vector<int16_t> out(count);
    uint32_t got = 0;
    EXPECT_EQ(gen.Read(reinterpret_cast<uint8_t*>(out.data()), static_cast<uint32_t>(count * 2), &got), S_OK);
    EXPECT_EQ(got, count * 2);
    return out;
}

int threadCount()
{
    return static_cast<int>(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Waits for a condition another thread brings about; the limit only ends a hung test.
template <class Pred> bool eventually(Pred pred)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(SineGenerator, FirstSamplesAreCentredOnZero)
{
    CGenWaveFile gen(22050, 16);
    EXPECT_EQ(gen.Frequency(), 100.0f);
    EXPECT_EQ(gen.GetSize(), 0xFFFFFFFFu);
    gen.SetFrequency(1000.0f);
    // 16383, 20989, 25223, 28744, 31268, 32592 on the offset scale.
    const std::vector<int16_t> expected = {0, 4606, 8840, 12361, 14885, 16209};
    EXPECT_EQ(readSamples(gen, 6), expected);
}

TEST(SineGenerator, StaysWithinHalfScaleAndSilentAtZeroVolumeOrFrequency)
{
    CGenWaveFile gen(22050, 16);
    gen.SetFrequency(16000.0f);
    int peak = 0;
    for (int block = 0; block < 100; ++block)
        for (int16_t v : readSamples(gen, 2205))
            peak = std::max(peak, std::abs(int(v)));
    EXPECT_GE(peak, 16000);
    EXPECT_LE(peak, 16384);
    gen.SetVolume(0);
    for (int16_t v : readSamples(gen, 500))
        ASSERT_EQ(v, 0);
    // Frequencies no dialog can give hold the sine still instead of running its phase away.
    gen.SetVolume(100);
    for (float absurd : {std::numeric_limits<float>::infinity(), -50.0f, std::numeric_limits<float>::quiet_NaN()}) {
        gen.SetFrequency(absurd);
        const std::vector<int16_t> held = readSamples(gen, 500);
        EXPECT_EQ(std::count(held.begin(), held.end(), held[0]), 500) << absurd;
    }
    gen.SetFrequency(1e30f);
    EXPECT_EQ(readSamples(gen, 2205).size(), 2205u); // unwinding such a phase must end
}

using BlindToneTest = test::SoundsFixture;

TEST_F(BlindToneTest, SoundsTheRingsPitchAndFollowsTheAimLeftAndRight)
{
    env.blindGen = true;
    env.blindGenFrequencies[10] = 1000;
    env.blindGenFrequencies[0] = 0;
    BlindTone tone;
    ASSERT_EQ(tone.Create(manager), S_OK);

    tone.Update(10, 0.0f, 100.0f);
    ASSERT_TRUE(tone.IsPlaying());
    output->render(6);
    const int16_t first[] = {0, 4606, 8840, 12361, 14885, 16209};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(left(output->samples(), i), first[i]);
        EXPECT_EQ(right(output->samples(), i), first[i]);
    }

    // The right edge of a 100 mm form is heard on the right alone, the left edge on the left.
    EXPECT_FLOAT_EQ(BlindTone::SourcePosition(50.0f, 100.0f), kSoundSideDistance);
    // A form without width never divides: the tone stays in the middle.
    EXPECT_FLOAT_EQ(BlindTone::SourcePosition(10.0f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(BlindTone::SourcePosition(10.0f, -5.0f), 0.0f);
    tone.Update(14, 50.0f, 100.0f);
    output->render(20);
    for (size_t i = 6; i < 26; ++i)
        EXPECT_EQ(left(output->samples(), i), 0);
    int loudest = 0;
    for (size_t i = 6; i < 26; ++i)
        loudest = std::max(loudest, std::abs(int(right(output->samples(), i))));
    EXPECT_GT(loudest, 16000);
    tone.Update(10, -50.0f, 100.0f);
    output->render(20);
    for (size_t i = 26; i < 46; ++i)
        EXPECT_EQ(right(output->samples(), i), 0);

    // Stopped, it starts again at the new ring's pitch; a negative zone is ring 0, here silent.
    tone.Stop();
    EXPECT_FALSE(tone.IsPlaying());
    tone.Update(-3, 0.0f, 100.0f);
    output->render(100);
    for (size_t i = 46; i < 146; ++i)
        ASSERT_EQ(left(output->samples(), i), 0);
}

TEST_F(BlindToneTest, StaysQuietWhileSoundOrTheToneIsOff)
{
    BlindTone tone;
    ASSERT_EQ(tone.Create(manager), S_OK);
    tone.Update(10, 0.0f, 100.0f); // the tone is off by default
    EXPECT_FALSE(tone.IsPlaying());
    env.blindGen = true;
    env.soundEnabled = false;
    tone.Update(10, 0.0f, 100.0f);
    EXPECT_FALSE(tone.IsPlaying());
    env.soundEnabled = true;
    tone.Update(10, 0.0f, 0.0f); // no form width: in the middle, not a division by zero
    EXPECT_TRUE(tone.IsPlaying());
    BlindTone absent;
    absent.Update(10, 0.0f, 100.0f);
    EXPECT_FALSE(absent.IsPlaying());

    // The options dialog stops it only when it switched the tone off.
    tone.ApplyOptionsChange(kChangeSound);
    EXPECT_TRUE(tone.IsPlaying());
    env.blindGen = false;
    tone.ApplyOptionsChange(kChangeBlindGenFreq);
    EXPECT_TRUE(tone.IsPlaying());
    tone.ApplyOptionsChange(kChangeSound);
    EXPECT_FALSE(tone.IsPlaying());
}

TEST_F(BlindToneTest, TheStreamingSoundRefillsSeamlesslyAndItsThreadEndsWithIt)
{
    const int before = threadCount();
    auto wave = std::make_unique<CGenWaveFile>(22050, 16);
    wave->SetFrequency(1234.0f);
    std::unique_ptr<CStreamingSound> stream;
    ASSERT_EQ(manager.CreateStreaming(std::move(wave), kSoundCapsCtrl3D, &stream), S_OK);
    EXPECT_EQ(stream->NotifySize(), 4410u);
    EXPECT_EQ(stream->BufferSize(), 8820u);
    EXPECT_TRUE(stream->ThreadRunning());
    EXPECT_EQ(threadCount(), before + 1);

    ASSERT_EQ(stream->Play(0, kSoundPlayLooping, 0, -1, 0), S_OK);
    constexpr int kBlocks = 7;
    for (int k = 0; k < kBlocks; ++k) {
        output->render(2205);
        ASSERT_TRUE(eventually([&] { return stream->NotificationsHandled() == uint64_t(k + 1); })) << k;
    }
    CGenWaveFile reference(22050, 16);
    reference.SetFrequency(1234.0f);
    // Read as the stream reads, two blocks to start and then one per notification: the phase is
    // unwound after each read, so other reads would round differently.
    std::vector<int16_t> expected = readSamples(reference, 2 * 2205);
    for (int k = 2; k < kBlocks; ++k) {
        const std::vector<int16_t> block = readSamples(reference, 2205);
        expected.insert(expected.end(), block.begin(), block.end());
    }
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(left(output->samples(), i), expected[i]) << i;

    // Destroyed with passes still to handle: it stops at once and leaves no thread behind.
    output->render(4410 * 3);
    stream.reset();
    EXPECT_EQ(threadCount(), before);
}

TEST_F(BlindToneTest, AStreamedWaveFileLoopsWithoutAGap)
{
    std::vector<int16_t> ramp(3000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(i);
    ASSERT_TRUE(test::writeBytes(dir.filePath("ramp.wav"), test::monoWave(ramp)));
    auto wave = std::make_unique<CWaveDiskFile>();
    ASSERT_EQ(wave->Open(dir.filePath("ramp.wav")), S_OK);
    std::unique_ptr<CStreamingSound> stream;
    ASSERT_EQ(manager.CreateStreaming(std::move(wave), 0, &stream), S_OK);
    ASSERT_EQ(stream->Play(0, kSoundPlayLooping, 0, -1, 0), S_OK);
    constexpr int kBlocks = 6; // 13230 frames: the 3000-frame file four times and more
    for (int k = 0; k < kBlocks; ++k) {
        output->render(2205);
        ASSERT_TRUE(eventually([&] { return stream->NotificationsHandled() == uint64_t(k + 1); })) << k;
    }
    for (size_t i = 0; i < kBlocks * 2205; ++i)
        ASSERT_EQ(left(output->samples(), i), int16_t(i % 3000)) << i;
}

} // namespace
} // namespace kavro
