// The mixer: formats converted to 16-bit stereo, voices summed and saturated at full scale,
// volume, pan and side placement per channel, rates, ends of play and notifications.
#include "sound/audio_output.h"
#include "sound/mixer.h"
#include "wave_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace kavro {
namespace {

using test::left;
using test::pcmBytes;
using test::right;

std::shared_ptr<SoundBuffer> monoBuffer(Mixer& mixer, const std::vector<int16_t>& samples, uint32_t caps = 0,
                                        uint32_t rate = Mixer::kRate)
{
    std::shared_ptr<SoundBuffer> b;
    EXPECT_EQ(mixer.createBuffer(WaveFormat::pcm(1, rate, 16), static_cast<uint32_t>(samples.size() * 2), caps, &b),
              S_OK);
    if (b) {
        EXPECT_EQ(b->write(0, samples.data(), static_cast<uint32_t>(samples.size() * 2)), S_OK);
    }
    return b;
}

TEST(Mixer, ManyLoudVoicesSaturateAtFullScaleInsteadOfWrapping)
{
    Mixer mixer;
    WavFileOutput out(mixer);
    std::vector<std::shared_ptr<SoundBuffer>> voices;
    for (int i = 0; i < 8; ++i) {
        voices.push_back(monoBuffer(mixer, {32767, -32768, 20000, -20000, 5000, 100}));
        voices.back()->play(0);
    }
    out.render(6);
    const QByteArray& s = out.samples();
    EXPECT_EQ(left(s, 0), 32767);
    EXPECT_EQ(right(s, 1), -32768);
    EXPECT_EQ(left(s, 2), 32767);
    EXPECT_EQ(left(s, 3), -32768);
    EXPECT_EQ(left(s, 4), 32767); // 8 x 5000 = 40000
    EXPECT_EQ(right(s, 5), 800); // below full scale the sum is exact
}

TEST(Mixer, ConvertsEightBitAndStereoSources)
{
    Mixer mixer;
    WavFileOutput out(mixer);
    std::shared_ptr<SoundBuffer> bytes;
    ASSERT_EQ(mixer.createBuffer(WaveFormat::pcm(1, Mixer::kRate, 8), 3, 0, &bytes), S_OK);
    const uint8_t eight[3] = {255, 128, 0};
    bytes->write(0, eight, 3);
    std::shared_ptr<SoundBuffer> stereo;
    ASSERT_EQ(mixer.createBuffer(WaveFormat::pcm(2, Mixer::kRate, 16), 12, 0, &stereo), S_OK);
    const std::vector<int16_t> lr = {100, -100, 200, -200, 300, -300};
    stereo->write(0, lr.data(), 12);
    bytes->play(0);
    stereo->play(0);
    out.render(4);
    const QByteArray& s = out.samples();
    EXPECT_EQ(left(s, 0), 127 * 256 + 100);
    EXPECT_EQ(right(s, 0), 127 * 256 - 100);
    EXPECT_EQ(left(s, 1), 200);
    EXPECT_EQ(right(s, 2), -32768); // -128 x 256 - 300 saturates
    EXPECT_EQ(left(s, 3), 0); // both ended
    EXPECT_FALSE(bytes->isPlaying());
    EXPECT_EQ(bytes->currentPosition(), 0u);
}

TEST(Mixer, RefusesBuffersItCannotPlay)
{
    Mixer mixer;
    std::shared_ptr<SoundBuffer> b;
    WaveFormat adpcm = WaveFormat::pcm(1, 22050, 16);
    adpcm.formatTag = 2;
    EXPECT_EQ(mixer.createBuffer(adpcm, 4, 0, &b), E_INVALIDARG);
    EXPECT_EQ(mixer.createBuffer(WaveFormat::pcm(3, 22050, 16), 6, 0, &b), E_INVALIDARG);
    EXPECT_EQ(mixer.createBuffer(WaveFormat::pcm(1, 22050, 16), 3, 0, &b), E_INVALIDARG); // half a frame
    EXPECT_EQ(mixer.createBuffer(WaveFormat::pcm(1, 22050, 16), 0, 0, &b), E_INVALIDARG);
    ASSERT_EQ(mixer.createBuffer(WaveFormat::pcm(1, 22050, 16), 4, 0, &b), S_OK);
    const char data[8] = {};
    EXPECT_EQ(b->write(2, data, 4), E_INVALIDARG);
    EXPECT_EQ(b->write(0xFFFFFFFFu, data, 2), E_INVALIDARG);
    // Controls the buffer was not made with.
    EXPECT_EQ(b->setVolume(-100), kSoundControlUnavailable);
    EXPECT_EQ(b->setPan(100), kSoundControlUnavailable);
    EXPECT_EQ(b->setFrequency(11025), kSoundControlUnavailable);
    EXPECT_EQ(b->setPosition3D(1, 0, 0), kSoundControlUnavailable);
}

TEST(Mixer, VolumeAndPanAttenuateInHundredthsOfADecibel)
{
    Mixer mixer;
    WavFileOutput out(mixer);
    auto b = monoBuffer(mixer, std::vector<int16_t>(4, 10000), kSoundCapsCtrlVolume | kSoundCapsCtrlPan);
    ASSERT_EQ(b->setVolume(-600), S_OK); // -6 dB
    ASSERT_EQ(b->setPan(kSoundPanRight), S_OK);
    EXPECT_EQ(b->setVolume(1), E_INVALIDARG);
    EXPECT_EQ(b->setPan(kSoundPanRight + 1), E_INVALIDARG);
    b->play(0);
    out.render(1);
    const long expected = std::lround(10000 * std::pow(10.0, -0.3));
    EXPECT_EQ(right(out.samples(), 0), expected);
    EXPECT_EQ(left(out.samples(), 0), 0);
    ASSERT_EQ(b->setPan(-2000), S_OK); // the right side 20 dB down
    out.render(1);
    EXPECT_EQ(left(out.samples(), 1), expected);
    EXPECT_EQ(right(out.samples(), 1), std::lround(10000 * std::pow(10.0, -0.3 - 1.0)));
}

TEST(Mixer, SidePlacementFollowsTheSourceLeftAndRight)
{
    Mixer mixer;
    WavFileOutput out(mixer);
    auto b = monoBuffer(mixer, std::vector<int16_t>(8, 8000), kSoundCapsCtrl3D);
    b->play(kSoundPlayLooping);
    const float placements[] = {0.0f, kSoundSideDistance, -kSoundSideDistance, kSoundSideDistance / 4, 100.0f, NAN};
    const int16_t expectLeft[] = {8000, 0, 8000, 6000, 0, 8000};
    const int16_t expectRight[] = {8000, 8000, 0, 8000, 8000, 8000};
    for (size_t i = 0; i < std::size(placements); ++i) {
        ASSERT_EQ(b->setPosition3D(placements[i], 0, 0), S_OK);
        out.render(1);
        EXPECT_EQ(left(out.samples(), i), expectLeft[i]) << i;
        EXPECT_EQ(right(out.samples(), i), expectRight[i]) << i;
    }
}

TEST(Mixer, PlaysOtherRatesByInterpolation)
{
    Mixer mixer;
    WavFileOutput out(mixer);
    auto b = monoBuffer(mixer, {0, 1000, 2000, 3000}, kSoundCapsCtrlFrequency, Mixer::kRate / 2);
    b->play(0);
    out.render(9);
    const int16_t expected[] = {0, 500, 1000, 1500, 2000, 2500, 3000, 3000, 0};
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(left(out.samples(), i), expected[i]) << i;
    EXPECT_FALSE(b->isPlaying());
    // Back at the mix rate, every sample is played as it is.
    ASSERT_EQ(b->setFrequency(Mixer::kRate), S_OK);
    b->play(0);
    out.render(2);
    EXPECT_EQ(left(out.samples(), 10), 1000);
}

TEST(Mixer, DuplicatesShareDataButPlayOnTheirOwn)
{
    Mixer mixer;
    WavFileOutput out(mixer);
    auto first = monoBuffer(mixer, {10, 20, 30});
    std::shared_ptr<SoundBuffer> copy;
    ASSERT_EQ(mixer.duplicateBuffer(*first, &copy), S_OK);
    const int16_t changed = 7;
    first->write(0, &changed, 2);
    copy->play(0);
    out.render(1);
    first->play(0);
    out.render(2);
    EXPECT_EQ(left(out.samples(), 0), 7);
    EXPECT_EQ(left(out.samples(), 1), 20 + 7);
    EXPECT_EQ(left(out.samples(), 2), 30 + 20);
    EXPECT_TRUE(first->isPlaying());
    EXPECT_FALSE(copy->isPlaying());
    first->stop();
    EXPECT_EQ(first->currentPosition(), 4u); // a stop keeps the cursor
}

TEST(Mixer, NotifiesEachPassOfAPositionOnceAlsoWhenLooping)
{
    Mixer mixer;
    WavFileOutput out(mixer);
    auto b = monoBuffer(mixer, std::vector<int16_t>(10, 1), kSoundCapsCtrlPositionNotify);
    std::vector<size_t> firedAt;
    size_t rendered = 0;
    ASSERT_EQ(b->setNotifications({9, 19}, [&] { firedAt.push_back(rendered); }), S_OK);
    EXPECT_EQ(b->setNotifications({20}, nullptr), E_INVALIDARG);
    b->play(kSoundPlayLooping);
    for (; rendered < 30; rendered += 3)
        out.render(3); // frames 4 and 9 of every 10 pass in the calls that start at these counts:
    const std::vector<size_t> expected = {3, 9, 12, 18, 24, 27};
    EXPECT_EQ(firedAt, expected);
}

TEST(AudioOutputs, WithoutADeviceSoundsStillPlayToTheirEndInRealTime)
{
    Mixer mixer;
    // Without an application object there is no device to ask for.
    const std::unique_ptr<AudioOutput> output = openAudioOutput(mixer);
    ASSERT_TRUE(output);
    EXPECT_EQ(output->kind(), AudioOutput::Kind::Silent);
    auto b = monoBuffer(mixer, std::vector<int16_t>(Mixer::kRate / 20, 1000)); // 50 ms
    b->play(0);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (b->isPlaying() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(b->isPlaying());
}

} // namespace
} // namespace kavro
