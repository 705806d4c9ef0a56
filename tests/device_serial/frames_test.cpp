// Frame decoding of every model against the simulator's encoders, and the banner it builds.
#include "serial_test_support.h"

#include "device/serial/banner.h"
#include "device/serial/biathlon_decoder.h"
#include "device/serial/classic.h"
#include "device/control/kavro_device.h"
#include "device/serial/vantage.h"
#include "serialsim/banner.h"
#include "serialsim/biathlon_geometry.h"
#include "serialsim/frames.h"

#include <thread>

namespace sertest {
namespace {

namespace sim = kavro::serialsim;

class Frames : public ::testing::Test {
protected:
    TestHost host;
};

TEST_F(Frames, VantageVector)
{
    const uint8_t frame[8] = {0x8A, 0x64, 0x1E, 0x10, 0x03, 0x50, 0x40, 0x37};
    CKavroVantage model(host, nullptr);
    SampleRecord r;
    ASSERT_TRUE(model.Decode(frame, r));
    EXPECT_EQ(r.x(), 10);
    EXPECT_EQ(r.y(), -20);
    EXPECT_EQ(r.signalLevel(), 200);
    EXPECT_EQ(r.piezoLevel(), 0);
    EXPECT_EQ(r.counter(), 5);
    const sim::VantageFrame encoded = sim::encodeVantageFrame({10, -20, 200, 0, 5});
    EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), frame));
    uint8_t bad[8];
    std::copy(frame, frame + 8, bad);
    bad[3] ^= 1;
    EXPECT_FALSE(model.Decode(bad, r));
}

TEST_F(Frames, VantageRoundTripsAndTheFieldEdge)
{
    CKavroVantage model(host, nullptr);
    for (int x : {-512, -505, -1, 0, 311, 505, 511}) {
        for (int signal : {0, 37, 200, 511}) {
            const sim::VantageFrame f = sim::encodeVantageFrame({x, -x / 2, signal, 4 * (signal % 256), x & 0xFF});
            SampleRecord r;
            ASSERT_TRUE(model.Decode(f.data(), r)) << x << " " << signal;
            EXPECT_EQ(r.x(), x);
            EXPECT_EQ(r.y(), -x / 2);
            EXPECT_EQ(r.signalLevel(), std::abs(x) > 505 ? 0 : signal);
            EXPECT_EQ(r.piezoLevel(), 4 * (signal % 256));
            EXPECT_EQ(r.counter(), x & 0xFF);
        }
    }
    // X = 506 is outside the field, unless calibrating.
    const sim::VantageFrame f = sim::encodeVantageFrame({506, 0, 200, 0, 1});
    SampleRecord r;
    ASSERT_TRUE(model.Decode(f.data(), r));
    EXPECT_EQ(r.signalLevel(), 0);
    host.setCalibrationMode(true);
    ASSERT_TRUE(model.Decode(f.data(), r));
    EXPECT_EQ(r.signalLevel(), 200);
}

// A reader thread decodes while the trainer switches calibration on and off through the control:
// the decoder sees one setting or the other, and (under ThreadSanitizer) no race.
TEST(ReaderSettings, CalibrationModeMayChangeWhileAReaderDecodes)
{
    ComPtr<IKavroDevice> device;
    ASSERT_EQ(createInstance(kavrodev::CLSID_KavroDevice, &device), S_OK);
    CKavroVantage model(*static_cast<CKavroDevice*>(device.get()), nullptr);
    const sim::VantageFrame f = sim::encodeVantageFrame({506, 0, 200, 0, 1});
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::thread reader([&] {
        while (!stop.load()) {
            SampleRecord r;
            if (!model.Decode(f.data(), r) || (r.signalLevel() != 0 && r.signalLevel() != 200))
                odd.fetch_add(1);
        }
    });
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(device->put_CalibrationMode(1, toVariantBool(i % 2 != 0)), S_OK);
    stop = true;
    reader.join();
    EXPECT_EQ(odd.load(), 0);
    SampleRecord r;
    ASSERT_TRUE(model.Decode(f.data(), r));
    EXPECT_EQ(r.signalLevel(), 200); // the last setting (on) holds
}

TEST_F(Frames, ClassicRoundTrips)
{
    CKavroClassic model(host, nullptr);
    for (int i = 0; i < 40; ++i) {
        sim::ClassicSample s;
        s.x = i * 25 - 500;
        s.y = 480 - i * 24;
        s.signal = (i * 13) % 512;
        s.piezo = (i * 28) % 1024 / 4 * 4;
        s.counter = i;
        s.trigger = (i * 97) % 1024;
        s.pulse = (i * 61) % 1024;
        const sim::ClassicFrame f = sim::encodeClassicFrame(s);
        SampleRecord r;
        ASSERT_TRUE(model.Decode(f.data(), r)) << i;
        EXPECT_EQ(r.x(), s.x);
        EXPECT_EQ(r.y(), s.y);
        EXPECT_EQ(r.signalLevel(), s.signal);
        EXPECT_EQ(r.piezoLevel(), s.piezo);
        EXPECT_EQ(r.counter(), i % 16);
        EXPECT_EQ(r.trigger(), s.trigger);
        EXPECT_EQ(r.pulse(), s.pulse);
        sim::ClassicFrame bad = f;
        bad[9] ^= 0x04;
        EXPECT_FALSE(model.Decode(bad.data(), r)) << i;
    }
}

TEST(BiathlonFrames, PositionsOnTheRowAreFound)
{
    for (double x : {-700.0, -500.0, -260.0, 0.0, 130.0, 480.0, 740.0}) {
        for (double y : {-200.0, 0.0, 90.0}) {
            BiathlonDecoder decoder;
            sim::BiathlonSample s;
            s.targets = sim::biathlonTargetsFor(x, y, 300);
            s.counter = 7;
            const sim::BiathlonFrame f = sim::encodeBiathlonFrame(s);
            SampleRecord r;
            ASSERT_TRUE(decoder.Decode(f.data(), 1023, r));
            ASSERT_TRUE(r.valid()) << x << " " << y;
            // Two camera steps, and a little more at the ends where only one neighbour gives the scale.
            EXPECT_NEAR(r.x() / 10.0, x, std::abs(x) > 600 ? 4.0 : 3.0) << x << " " << y;
            EXPECT_NEAR(-r.y() / 10.0, y, 3.0) << x << " " << y;
            EXPECT_EQ(r.signalLevel(), 300);
            EXPECT_EQ(r.counter(), 7);
        }
    }
}

TEST(BiathlonFrames, LostTargetsAndBadChecksums)
{
    BiathlonDecoder decoder;
    sim::BiathlonSample s;
    s.targets = sim::biathlonTargetsFor(0, 0, 20); // too dim to be seen
    sim::BiathlonFrame f = sim::encodeBiathlonFrame(s);
    SampleRecord r;
    ASSERT_TRUE(decoder.Decode(f.data(), 1023, r));
    EXPECT_FALSE(r.valid());
    f[3] ^= 1;
    EXPECT_FALSE(decoder.Decode(f.data(), 1023, r));
}

TEST(BiathlonFrames, AShotKeepsThePositionFromBeforeIt)
{
    BiathlonDecoder decoder;
    sim::BiathlonSample s;
    s.targets = sim::biathlonTargetsFor(100, 50, 300);
    SampleRecord before;
    ASSERT_TRUE(decoder.Decode(sim::encodeBiathlonFrame(s).data(), 30, before));
    s.targets = sim::biathlonTargetsFor(400, -100, 300); // the sensor jerks
    s.piezo = 900;
    SampleRecord during;
    ASSERT_TRUE(decoder.Decode(sim::encodeBiathlonFrame(s).data(), 30, during));
    EXPECT_EQ(during.x(), before.x());
    EXPECT_EQ(during.y(), before.y());
    EXPECT_EQ(during.piezoLevel(), 900);
}

TEST(SimulatorBanner, ParsesAsItsModel)
{
    sim::BannerFields fields;
    fields.text = "boot ok";
    fields.modelNumber = "0306";
    fields.serialNumber = "SIM306";
    fields.field3 = "1";
    fields.field4 = "0";
    fields.modelName = "KAVRO CLASSIC";
    const std::string b = sim::buildBanner(fields);
    DeviceIdentification r;
    ASSERT_TRUE(parseBanner(reinterpret_cast<const uint8_t*>(b.data()), b.size(), r));
    EXPECT_EQ(r.modelNumber, 306);
    EXPECT_EQ(DeviceIdentification::text(r.modelName), QStringLiteral("KAVRO CLASSIC"));
    EXPECT_EQ(DeviceIdentification::text(r.serialNumber), QStringLiteral("SIM306"));
}

} // namespace
} // namespace sertest
