#include "reference_decode.h"
#include "serialsim/biathlon_geometry.h"
#include "serialsim/frames.h"
#include "serialsim/models.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kavro::serialsim {
namespace {

using test::decodeBiathlon;
using test::decodeClassic;
using test::decodeVantage;

template <size_t N> void expectOnlyFirstByteStartsAFrame(const std::array<uint8_t, N>& frame)
{
    EXPECT_TRUE(frame[0] & 0x80);
    for (size_t i = 1; i < N; ++i)
        EXPECT_FALSE(frame[i] & 0x80) << "byte " << i;
}

TEST(VantageFrame, KnownVector)
{
    const VantageFrame frame = encodeVantageFrame({10, -20, 200, 0, 5});
    const VantageFrame expected{0x8A, 0x64, 0x1E, 0x10, 0x03, 0x50, 0x40, 0x37};
    EXPECT_EQ(frame, expected);
    const auto d = decodeVantage(expected);
    EXPECT_TRUE(d.valid);
    EXPECT_EQ(d.x, 10);
    EXPECT_EQ(d.y, -20);
    EXPECT_EQ(d.signal, 200);
    EXPECT_EQ(d.piezo, 0);
    EXPECT_EQ(d.counter, 5);
}

TEST(VantageFrame, RoundTripsEveryFieldToItsLimits)
{
    for (int x : {-512, -1, 0, 255, 506, 511})
        for (int y : {-512, -20, 0, 1, 511})
            for (int signal : {0, 1, 200, 511})
                for (int piezo : {0, 4, 512, 1020})
                    for (int counter : {0, 7, 8, 200, 255}) {
                        const VantageFrame f = encodeVantageFrame({x, y, signal, piezo, counter});
                        expectOnlyFirstByteStartsAFrame(f);
                        const auto d = decodeVantage(f);
                        ASSERT_TRUE(d.valid);
                        ASSERT_EQ(d.x, x);
                        ASSERT_EQ(d.y, y);
                        ASSERT_EQ(d.signal, signal);
                        ASSERT_EQ(d.piezo, piezo);
                        ASSERT_EQ(d.counter, counter);
                    }
}

TEST(VantageFrame, RoundsPiezoUpClampsAndWrapsTheCounter)
{
    auto d = decodeVantage(encodeVantageFrame({600, -700, 900, 30, 257}));
    EXPECT_EQ(d.x, 511);
    EXPECT_EQ(d.y, -512);
    EXPECT_EQ(d.signal, 511);
    EXPECT_EQ(d.piezo, 32); // a spike of 30 must not read below a threshold of 30
    EXPECT_EQ(d.counter, 1);
}

TEST(VantageFrame, AnyDamagedBitIsDetected)
{
    const VantageFrame good = encodeVantageFrame({123, -45, 300, 64, 77});
    for (size_t i = 0; i < good.size(); ++i)
        for (int bit = 0; bit < 7; ++bit) {
            VantageFrame bad = good;
            bad[i] ^= uint8_t(1 << bit);
            EXPECT_FALSE(decodeVantage(bad).valid) << "byte " << i << " bit " << bit;
        }
}

TEST(ClassicFrame, RoundTripsTriggerPulseAndCounter)
{
    for (int trigger : {0, 1, 2, 3, 4, 511, 512, 1023})
        for (int pulse : {0, 63, 64, 1023})
            for (int counter : {0, 8, 15, 16, 17}) {
                ClassicSample s;
                static_cast<VantageSample&>(s) = {-300, 400, 150, 100, counter};
                s.trigger = trigger;
                s.pulse = pulse;
                const ClassicFrame f = encodeClassicFrame(s);
                expectOnlyFirstByteStartsAFrame(f);
                const auto d = decodeClassic(f);
                ASSERT_TRUE(d.valid);
                ASSERT_EQ(d.x, -300);
                ASSERT_EQ(d.y, 400);
                ASSERT_EQ(d.signal, 150);
                ASSERT_EQ(d.piezo, 100);
                ASSERT_EQ(d.trigger, trigger);
                ASSERT_EQ(d.pulse, pulse);
                ASSERT_EQ(d.counter, counter % 16);
            }
}

TEST(ClassicFrame, ADamagedPositionByteFailsTheNibbleCheck)
{
    ClassicSample s;
    static_cast<VantageSample&>(s) = {10, -20, 200, 0, 5};
    ClassicFrame bad = encodeClassicFrame(s);
    ASSERT_TRUE(decodeClassic(bad).valid);
    bad[1] ^= 0x08;
    EXPECT_FALSE(decodeClassic(bad).valid);
}

TEST(BiathlonFrame, CarriesEighteenWordsAndTheCounter)
{
    BiathlonSample s;
    for (int k = 0; k < 5; ++k)
        s.targets[size_t(k)] = {k * 100 - 512, 511 - k * 37, 1023 - k};
    s.piezo = 1023;
    s.extra1 = 0x2AA;
    s.extra2 = 0x155;
    s.counter = 37;
    const BiathlonFrame f = encodeBiathlonFrame(s);
    expectOnlyFirstByteStartsAFrame(f);
    const auto d = decodeBiathlon(f);
    EXPECT_TRUE(d.checksumOk);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(d.words[3 * k], 511 - k * 37 + 512);
        EXPECT_EQ(d.words[3 * k + 1], k * 100);
        EXPECT_EQ(d.words[3 * k + 2], 1023 - k);
    }
    EXPECT_EQ(d.words[15], 1023);
    EXPECT_EQ(d.words[16], 0x2AA);
    EXPECT_EQ(d.words[17], 0x155);
    EXPECT_EQ(d.counter, 5);
    EXPECT_EQ((f[26] >> 2) & 0x1F, 5);

    BiathlonFrame bad = f;
    bad[13] ^= 0x10;
    EXPECT_FALSE(decodeBiathlon(bad).checksumOk);
}

TEST(BiathlonFrame, TheRowGeometryGivesBackTheAimedPosition)
{
    for (double x : {-740.0, -500.0, -130.0, 0.0, 62.5, 260.0, 499.0, 745.0})
        for (double y : {-240.0, -10.0, 0.0, 33.0, 245.0})
            for (int intensity : {32, 200, 1023}) {
                BiathlonSample s;
                s.targets = biathlonTargetsFor(x, y, intensity);
                const auto d = decodeBiathlon(encodeBiathlonFrame(s));
                ASSERT_TRUE(d.valid) << x << " " << y << " " << intensity;
                EXPECT_NEAR(d.x, x, 2 * BiathlonStepUnits) << x << " " << y;
                EXPECT_NEAR(d.y, y, 2 * BiathlonStepUnits) << x << " " << y;
                EXPECT_EQ(d.intensity, intensity);
            }
}

TEST(BiathlonFrame, UnseenTargetsGiveNoPosition)
{
    BiathlonSample s;
    s.targets = biathlonTargetsFor(100, 50, 31);
    const auto d = decodeBiathlon(encodeBiathlonFrame(s));
    EXPECT_TRUE(d.checksumOk);
    EXPECT_FALSE(d.valid);
}

} // namespace
} // namespace kavro::serialsim

namespace kavro::serialsim {
namespace {

TEST(SensorModels, FrameLengthsAndCountersMatchTheEncoders)
{
    for (const SensorModel& m : sensorModels()) {
        EXPECT_EQ(findSensorModel(m.key), &m);
        EXPECT_EQ(findSensorModel(m.number), &m);
        switch (m.frames) {
        case FrameKind::Vantage:
            EXPECT_EQ(m.frameLength, int(VantageFrame().size()));
            EXPECT_EQ(test::decodeVantage(encodeVantageFrame({0, 0, 0, 0, m.counterModulus})).counter, 0);
            break;
        case FrameKind::Classic:
            EXPECT_EQ(m.frameLength, int(ClassicFrame().size()));
            EXPECT_EQ(test::decodeClassic(encodeClassicFrame({{0, 0, 0, 0, m.counterModulus}, 0, 0})).counter, 0);
            break;
        case FrameKind::Biathlon:
            EXPECT_EQ(m.frameLength, int(BiathlonFrame().size()));
            BiathlonSample s;
            s.counter = m.counterModulus;
            EXPECT_EQ(test::decodeBiathlon(encodeBiathlonFrame(s)).counter, 0);
            break;
        }
    }
    EXPECT_EQ(findSensorModel(301), nullptr);
}

} // namespace
} // namespace kavro::serialsim
