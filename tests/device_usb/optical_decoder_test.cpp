#include "device/usb/angle_math.h"
#include "device/usb/optical_decoder.h"
#include "device/usb/usb_optical_sensor.h"
#include "support/usb_test_support.h"

#include <cmath>
#include <numbers>

namespace kavro::testing {
namespace {

struct Spot {
    double x, y, s;
};

// Quadrant amplitudes that give a spot at (x, y) with sum s (no rescaling below s = 200).
std::array<double, 4> quadrants(Spot p)
{
    return {(p.s - p.x - p.y) / 4, (p.s - p.x + p.y) / 4, (p.s + p.x + p.y) / 4, (p.s + p.x - p.y) / 4};
}

// A 93-byte item whose in-phase sums, added to the same item's, give these amplitudes.
Bytes oldItem(Spot s0, Spot s1, uint32_t shotSum = 0, int shotBit = -1)
{
    Bytes item(kOldItemSize, 0);
    const auto q0 = quadrants(s0);
    const auto q1 = quadrants(s1);
    for (int k = 0; k < 4; ++k) {
        putU32(item, static_cast<size_t>((k * 2 + 0) * 8), static_cast<uint32_t>(std::lround(q0[k] * 51200)));
        putU32(item, static_cast<size_t>((k * 2 + 1) * 8), static_cast<uint32_t>(std::lround(q1[k] * 51200)));
    }
    putU32(item, 64, shotSum);
    if (shotBit >= 0)
        item[68 + static_cast<size_t>(shotBit / 8)] |= static_cast<uint8_t>(1u << (shotBit % 8));
    return item;
}

Bytes newItem(Spot s0, Spot s1, uint32_t e = 0, uint32_t d = 0, uint16_t level = 0, uint8_t flag = 0)
{
    Bytes item(kNewItemSize, 0);
    putU32(item, 4, e);
    putU32(item, 8, d);
    putU16(item, 12, level);
    const auto q0 = quadrants(s0);
    const auto q1 = quadrants(s1);
    for (int k = 0; k < 8; ++k) {
        const float f = static_cast<float>(k < 4 ? q0[k] : q1[k - 4]);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        putU32(item, 14 + static_cast<size_t>(k) * 4, bits);
    }
    item[46] = flag;
    return item;
}

Bytes repeat(const Bytes& item, int n)
{
    Bytes b;
    for (int i = 0; i < n; ++i)
        b.insert(b.end(), item.begin(), item.end());
    return b;
}

TEST(OpticalDecoder, ThirdItemIsDecodedAgainstItselfIntoTheChosenSpots)
{
    OpticalDecoder d;
    std::vector<OpticalSample> out;
    const Bytes item = oldItem({10, 40, 160}, {10, -40, 160}, 200 * 37 + 199, 13);
    d.DecodeOldItems(repeat(item, 2), out);
    EXPECT_TRUE(out.empty());
    d.DecodeOldItems(item, out);
    ASSERT_EQ(out.size(), 1u);
    const OpticalSample& s = out[0];
    EXPECT_EQ(s.valid, 1);
    EXPECT_NEAR(s.x0, 10, 1e-3);
    EXPECT_NEAR(s.y0, 40, 1e-3);
    EXPECT_NEAR(s.y1, -40, 1e-3);
    EXPECT_NEAR(s.meanX, 10, 1e-3);
    EXPECT_NEAR(s.totalSum, 320, 1e-3);
    // Spot 0 straight above spot 1 is the kind-2 reference line: no cant.
    EXPECT_NEAR(s.angle, 0, 1e-6);
    EXPECT_NEAR(s.scale, 182.0 / 80.0, 1e-6); // nominal separation / measured
    EXPECT_NEAR(s.outputX, 10 * 182.0 / 80.0, 1e-3);
    EXPECT_NEAR(s.outputY, 0, 1e-3);
    EXPECT_EQ(s.shotLevel, 37);
    EXPECT_FLOAT_EQ(s.shotFraction, 13.0f / 200);
}

TEST(OpticalDecoder, WeakestAmplitudeOfExactlyTwentyIsValid)
{
    // Quadrant amplitudes (20, 40, 60, 40) come from a spot at (40, 40) with sum 160.
    OpticalDecoder d;
    std::vector<OpticalSample> out;
    d.DecodeOldItems(repeat(oldItem({40, 40, 160}, {10, -40, 160}), 3), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_DOUBLE_EQ(out[0].amplitudes[0], 20.0);
    EXPECT_EQ(out[0].valid, 1);

    OpticalDecoder weak;
    out.clear();
    Bytes item = oldItem({40, 40, 160}, {10, -40, 160});
    putU32(item, 0, 1023488); // 19.99
    weak.DecodeOldItems(repeat(item, 3), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].valid, 0);
    EXPECT_TRUE(std::isnan(out[0].shotFraction)); // no shot-mark bit
}

TEST(OpticalDecoder, SpotSumOfExactly200IsNotRescaled)
{
    OpticalDecoder d;
    std::vector<OpticalSample> out;
    d.DecodeOldItems(repeat(oldItem({20, 40, 200}, {20, -40, 240}), 3), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].x0, 20, 1e-3);
    EXPECT_NEAR(out[0].x1, 20 * 2000.0 / 240, 1e-3);
}

TEST(OpticalDecoder, LargeSumsDoNotOverflow)
{
    OpticalDecoder d;
    std::vector<OpticalSample> out;
    Bytes item(kOldItemSize, 0);
    for (size_t i = 0; i < 16; ++i)
        putU32(item, i * 4, 0x7FFFFFFF);
    d.DecodeOldItems(repeat(item, 3), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].amplitudes[0], std::hypot(2.0 * 0x7FFFFFFF, 2.0 * 0x7FFFFFFF) / 102400, 1e-3);
}

// Spots on a line through the centre at `angle` from the kind-2 reference.
Bytes itemAtAngle(double angle)
{
    const double d = angle + anglemath::kThreeHalfPi;
    return oldItem({-30 * std::cos(d), -30 * std::sin(d), 160}, {30 * std::cos(d), 30 * std::sin(d), 160});
}

TEST(OpticalDecoder, AngleCrossingTheSeamStaysContinuous)
{
    OpticalDecoder d;
    std::vector<OpticalSample> out;
    const double deg = std::numbers::pi / 180;
    d.DecodeOldItems(repeat(itemAtAngle(170 * deg), 3), out);
    for (int a = 172; a <= 200; a += 2)
        d.DecodeOldItems(itemAtAngle(a * deg), out);
    ASSERT_EQ(out.size(), 16u);
    for (size_t i = 1; i < out.size(); ++i) {
        const double step = anglemath::normalise(out[i].smoothedAngle - out[i - 1].smoothedAngle);
        EXPECT_LT(std::abs(step), 3 * deg) << "at " << i;
        EXPECT_GE(step, 0) << "at " << i;
    }
    EXPECT_LT(out.back().smoothedAngle, 0); // followed across: now on the negative side
}

TEST(OpticalDecoder, OtherKindsUseTheFixedAngleAndTheScaleDivisor)
{
    OpticalDecoder d;
    d.sensorKind = 4;
    d.fixedAngle = std::numbers::pi / 2;
    d.scaleDivisor = 5;
    std::vector<OpticalSample> out;
    // Spots left and right: the kind-4 reference line.
    d.DecodeOldItems(repeat(oldItem({-40, 10, 160}, {40, 10, 160}), 3), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].smoothedAngle, 0, 1e-6);
    EXPECT_DOUBLE_EQ(out[0].angle, std::numbers::pi / 2);
    EXPECT_DOUBLE_EQ(out[0].scale, 5.0);
    EXPECT_NEAR(out[0].outputX, 10 * 5.0, 1e-3); // mean (0, 10) turned a quarter
    d.useMeasuredAngle = true;
    d.DecodeOldItems(oldItem({-40, 10, 160}, {40, 10, 160}), out);
    EXPECT_NEAR(out.back().angle, 0, 1e-6);
}

TEST(OpticalDecoder, NewItemsComeOneLateAndNeedWholeItems)
{
    OpticalDecoder d;
    std::vector<OpticalSample> out;
    const Bytes item = newItem({10, 40, 160}, {10, -40, 160});
    d.DecodeNewItems(repeat(item, 2), out);
    EXPECT_EQ(out.size(), 1u);
    Bytes odd = repeat(item, 2);
    odd.push_back(0);
    d.DecodeNewItems(odd, out);
    EXPECT_EQ(out.size(), 1u);
    EXPECT_TRUE(std::isnan(out[0].shotFraction));
    EXPECT_NEAR(out[0].meanX, 10, 1e-4);
}

TEST(OpticalDecoder, NewItemShotGoesToThisOrTheHeldSample)
{
    OpticalDecoder d;
    d.shotThreshold = 30;
    std::vector<OpticalSample> out;
    const Spot a{10, 40, 160}, b{10, -40, 160};
    d.DecodeNewItems(newItem(a, b, 100, 300, 80), out); // D >= E: this item, (300-100)/400
    d.DecodeNewItems(newItem(a, b, 100, 40, 90), out); // D < E: the held one, (40-100+400)/400
    d.DecodeNewItems(newItem(a, b, 0, 0, 30), out); // not above the threshold
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].shotLevel, 90);
    EXPECT_FLOAT_EQ(out[0].shotFraction, 340.0f / 400);
    EXPECT_EQ(out[1].shotLevel, 0);
    EXPECT_TRUE(std::isnan(out[1].shotFraction));
}

TEST(OpticalDecoder, HalfItemsJoinOnlyAsAPair)
{
    OpticalDecoder d;
    std::vector<OpticalSample> out;
    const Bytes item = oldItem({10, 40, 160}, {10, -40, 160});
    const Bytes first(item.begin(), item.begin() + 63), second(item.begin() + 63, item.end());
    d.DecodeHalfItem(second, out); // no first half held
    for (int i = 0; i < 3; ++i) {
        d.DecodeHalfItem(first, out);
        d.DecodeHalfItem(second, out);
    }
    EXPECT_EQ(out.size(), 1u); // the countdown skipped two
    d.DecodeHalfItem(first, out);
    d.DecodeHalfItem(Bytes(5), out);
    d.DecodeHalfItem(second, out);
    EXPECT_EQ(out.size(), 1u);
}

class OpticalSensorDevice : public FakeUsbTest { };

TEST_F(OpticalSensorDevice, VersionDecidesFramingAndItemFormat)
{
    const std::string path = plug(usbids::kOpticalSensorProductId, "1");
    answer(path, 144, {10, 0, 5, 0}); // 5.10
    answer(path, 139, {1, 2, 3, 4, 5, 6, 7, 8});
    Observed<UsbOpticalSensor> s;
    std::mutex m;
    std::vector<OpticalSample> got;
    s.eventSignal.Hook([&](const OpticalSample& x) {
        std::lock_guard lock(m);
        got.push_back(x);
    });
    ASSERT_TRUE(s.Open(path));
    EXPECT_EQ(s.Version().major, 5);
    EXPECT_EQ(s.Version().minor, 10);
    EXPECT_TRUE(s.IsFramed());
    EXPECT_EQ(s.SerialNumber()[7], 8);
    // This product sends bare payloads: each read is one 47-byte item run.
    fake.injectPacket(path, repeat(newItem({10, 40, 160}, {10, -40, 160}), 3));
    ASSERT_TRUE(s.waitPackets(1));
    std::lock_guard lock(m);
    EXPECT_EQ(got.size(), 2u);
}

TEST_F(OpticalSensorDevice, MissingVersionOrSerialFailsTheOpenAndThresholdIsSentOnlyOnChange)
{
    const std::string path = plug(usbids::kOpticalSensorProductId, "1");
    UsbOpticalSensor s;
    EXPECT_FALSE(s.Open(path));
    EXPECT_EQ(s.ErrorText(), "Unable to retrieve optical sensor's firmware version");
    EXPECT_FALSE(s.IsOpen());
    answer(path, 144, {1, 0, 5}); // a short reply is no version either
    EXPECT_FALSE(s.Open(path));
    EXPECT_EQ(s.ErrorText(), "Unable to retrieve optical sensor's firmware version");
    answer(path, 144, {1, 0, 1, 0});
    EXPECT_FALSE(s.Open(path));
    EXPECT_EQ(s.ErrorText(), "unable to retrieve serial number");
    answer(path, 139, Bytes(8, 1));
    ASSERT_TRUE(s.Open(path));
    EXPECT_EQ(s.Version().major, 1);
    EXPECT_FALSE(s.IsFramed());
    fake.clearControlLog(path);
    EXPECT_TRUE(s.SendShotThreshold(100));
    EXPECT_TRUE(s.SendShotThreshold(100));
    EXPECT_EQ(fake.controlLog(path).size(), 1u);
    EXPECT_EQ(fake.controlLog(path)[0], UsbControlRecord(UsbControlKind::Out, 133, 100, 0));
}

} // namespace
} // namespace kavro::testing
