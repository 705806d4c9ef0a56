#include "support/usb_model_fixture.h"

#include "device/usb/usb_requests.h"

#include "settings/settings.h"

#include <algorithm>

namespace usbtest {
namespace {

class CalibrationStoreTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("KAVRO_CONFIG_HOME", dir.path().toUtf8()); }
    QTemporaryDir dir;
};

SensorCalibration sample()
{
    SensorCalibration c;
    c.signal[0] = 4096;
    c.signal[1] = 63488;
    c.angle0 = -0.125;
    c.dx0 = 1.5;
    c.dy0 = -2.25;
    c.corrx = 12;
    c.corry = -7;
    c.scale = 0.0101;
    return c;
}

TEST_F(CalibrationStoreTest, RoundTripInCLocaleTextAndRefusals)
{
    const CalibrationStore store = CalibrationStore::open();
    const QString key = CalibrationStore::keyText(QStringLiteral("1-2"), QStringLiteral("3-4"));
    ASSERT_TRUE(store.Save(key, sample()));
    SettingsKey root;
    ASSERT_EQ(
        SettingsKey::open(SettingsRoot::CurrentUser, QStringLiteral("software\\Kavro\\Kavro Professional"), &root),
        S_OK);
    QString text;
    ASSERT_EQ(root.readString(QStringLiteral("1-2.3-4.dy0"), &text), S_OK);
    EXPECT_EQ(text, QStringLiteral("-2.250000"));
    auto loaded = store.Load(key, {4096, 63488});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->signal[1], 63488);
    EXPECT_DOUBLE_EQ(loaded->dx0, 1.5);
    EXPECT_DOUBLE_EQ(loaded->corry, -7);

    root.writeString(QStringLiteral("1-2.3-4.scale"), QStringLiteral("0.010000"));
    EXPECT_FALSE(store.Load(key, {4096, 63488})); // exactly 0.01
    root.writeString(QStringLiteral("1-2.3-4.scale"), QStringLiteral("0.5"));
    root.writeString(QStringLiteral("1-2.3-4.signal0"), QStringLiteral("4095.000000"));
    EXPECT_FALSE(store.Load(key, {4096, 63488}));
    // A home target's own range.
    root.writeString(QStringLiteral("1-2.3-4.signal0"), QStringLiteral("2000"));
    root.writeString(QStringLiteral("1-2.3-4.signal1"), QStringLiteral("40000"));
    EXPECT_TRUE(store.Load(key, {2000, 49152}));
    EXPECT_FALSE(store.Load(key, {4096, 63488}));
    // A save cut short after its first write leaves a calibration that is refused.
    ASSERT_TRUE(store.Invalidate(key));
    EXPECT_FALSE(store.Load(key, {2000, 49152}));
}

TEST_F(CalibrationStoreTest, EachSensorAndTargetPairKeepsItsOwn)
{
    const CalibrationStore store = CalibrationStore::open();
    SensorCalibration a = sample(), b = sample(), c = sample();
    b.dx0 = 7;
    c.dx0 = 9;
    store.Save(CalibrationStore::keyText(QStringLiteral("S1"), QStringLiteral("T1")), a);
    store.Save(CalibrationStore::keyText(QStringLiteral("S2"), QStringLiteral("T1")), b);
    store.Save(CalibrationStore::keyText(QStringLiteral("S1"), QStringLiteral("T2")), c);
    EXPECT_DOUBLE_EQ(
        store.Load(CalibrationStore::keyText(QStringLiteral("S1"), QStringLiteral("T1")), {4096, 63488})->dx0, 1.5);
    EXPECT_DOUBLE_EQ(
        store.Load(CalibrationStore::keyText(QStringLiteral("S2"), QStringLiteral("T1")), {4096, 63488})->dx0, 7);
    EXPECT_DOUBLE_EQ(
        store.Load(CalibrationStore::keyText(QStringLiteral("S1"), QStringLiteral("T2")), {4096, 63488})->dx0, 9);
    EXPECT_EQ(store.LoadLightLevel(QStringLiteral("T1"), "leds_brightness"), 7);
    store.SaveLightLevel(QStringLiteral("T1"), "leds_brightness", 3);
    EXPECT_EQ(store.LoadLightLevel(QStringLiteral("T1"), "leds_brightness"), 3);
}

TEST(PulseRate, NeedsFourEvenBeatsInRange)
{
    constexpr double ms = 1.0 / 86400000.0;
    PulseRate fast;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(fast.AddBeat(45000.0 + i * 150 * ms));
    EXPECT_FALSE(fast.AddBeat(45000.0 + 450 * ms)); // 150 ms apart: too fast
    PulseRate even;
    std::optional<int32_t> rate;
    for (int i = 0; i < 4; ++i)
        rate = even.AddBeat(45000.0 + i * 800 * ms);
    ASSERT_TRUE(rate);
    EXPECT_EQ(*rate, 75);
    EXPECT_FALSE(even.AddBeat(45000.0 + 3 * 800 * ms + 2100 * ms)); // one interval beyond 2000 ms
}

TEST(UsbModelMath, ScaleTermsAndFiveTargetSelection)
{
    EXPECT_DOUBLE_EQ(CKavroDeviceUSB::FormCheckScale(9.7), 10.0);
    EXPECT_DOUBLE_EQ(CKavroDeviceUSB::FormCheckScale(10.6), 10.6);
    EXPECT_DOUBLE_EQ(CKavroDeviceUSB::AdditiveTerm(1.9), 0.5);
    EXPECT_DOUBLE_EQ(CKavroDeviceUSB::AdditiveTerm(9.1), 0.2);
    EXPECT_NEAR(CKavroDeviceUSB::AdditiveTerm(5.5), 3.5 / 23.333 + 0.2, 1e-12);
    EXPECT_EQ(CKavroDeviceUSB::AimedTarget(2, -26), 0);
    EXPECT_EQ(CKavroDeviceUSB::AimedTarget(4, 26), 4);
    EXPECT_EQ(CKavroDeviceUSB::AimedTarget(2, 12.9), 2);
}

// The home wireless target relays type-2 packets; both multiplexed words are needed first.
TEST_F(UsbModelTest, WirelessPairPacketsGiveNoSignalBeforeTheSixth)
{
    const char* home = "usb:1-3";
    fake.addDevice(FakeUsbDevice(home, usbids::kPlaceholderVendorId, usbids::kHomeTargetProductId));
    replies[home] = {{134, {1, 0, 1, 0}}, {129, {4, 4, 4, 4, 4, 4, 4, 4}}, {173, Bytes(16, 0)}};
    fake.setControlHandler(home, [this, home](const UsbControlRecord& r) {
        if (r.kind != UsbControlKind::In)
            return FakeControlReply{S_OK, {}};
        auto& table = replies[home];
        auto it = table.find(r.request);
        return it == table.end() ? FakeControlReply{USB_E_IO, {}} : FakeControlReply{S_OK, it->second};
    });
    auto sink = advise();
    ASSERT_EQ(device->put_EventShortName(1, QStringLiteral("AR10")), S_OK);
    ASSERT_EQ(device->put_DevicePath(QString::fromLatin1(home)), S_OK);
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    ASSERT_TRUE(model()->IsWireless());

    // Counter 0: battery; 1: level 2; 2/3: angle word; 4/5: distance word 10000.
    const uint8_t mux[7] = {90, 33, 0x89, 0x13, 0x10, 0x27, 20};
    for (uint8_t c = 0; c < 7; ++c) {
        Bytes p(14, 0);
        p[0] = 14;
        p[1] = 2;
        p[2] = 0x34;
        p[3] = 0x12;
        p[4] = c;
        p[5] = mux[c];
        p[6] = 100; // A1 = 2
        p[8] = 0xCE, p[9] = 0xFF; // B1 = -1
        p[10] = 100;
        p[12] = 0xCE, p[13] = 0xFF;
        Bytes run{static_cast<uint8_t>(p.size() + 2), 68};
        run.insert(run.end(), p.begin(), p.end());
        Bytes framed{68, static_cast<uint8_t>(run.size()), 0, 0, 0};
        framed.insert(framed.end(), run.begin(), run.end());
        fake.injectPacket(home, framed);
        ASSERT_TRUE(drainUntil(c + 1));
        const bool started = std::count(sink->events.begin(), sink->events.end(), "StartAiming 1") == 1;
        EXPECT_EQ(started, c >= 5) << int(c);
    }
    ComPtr<IAimingTrace> trace;
    ASSERT_FALSE(sink->aimings.empty());
    sink->aimings[0]->get_Trace(trace.put());
    int32_t count = 0;
    trace->get_Count(&count);
    EXPECT_EQ(count, 4); // two samples from each of the last two packets
}

// In calibration mode a status packet of a pair-type sensor resets the target's emitters to
// 60/60; a packet that cannot be read is no status and leaves them alone.
TEST_F(UsbModelTest, OnlyARealStatusPacketResetsTheWirelessEmitters)
{
    ASSERT_EQ(connectThroughReceiver(kReceiver, QStringLiteral("AR10"), 0), S_OK);
    ASSERT_TRUE(model()->IsWireless());
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_TRUE), S_OK);
    EXPECT_EQ(model()->SignalSettings(), (std::array<int32_t, 2>{128, 128}));

    auto resets = [&] { return commandsSent({usbreq::kCmdSignalSettings, 60, 60}); };
    Bytes data(14, 0);
    data[0] = 14;
    data[1] = 2; // a pair-type sensor
    relay(data);
    Bytes unreadable = data;
    unreadable.push_back(0); // one byte more than its header says
    relay(unreadable);
    EXPECT_EQ(resets(), 0u);
    EXPECT_EQ(model()->SignalSettings(), (std::array<int32_t, 2>{128, 128}));

    Bytes status(18, 0);
    status[0] = 0x20 | 18;
    status[1] = 2;
    relay(status);
    EXPECT_EQ(resets(), 1u);
    EXPECT_EQ(model()->SignalSettings(), (std::array<int32_t, 2>{60, 60}));
}

// After a change of the emitters the regulation of a wireless sensor's spots waits 12 packets;
// entering calibration mode starts it afresh, so the next packet is regulated at once.
TEST_F(UsbModelTest, EnteringCalibrationModeEndsTheWirelessRegulationsWait)
{
    ASSERT_EQ(connectThroughReceiver(kReceiver, QStringLiteral("AR10"), 0), S_OK);
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_TRUE), S_OK);
    Bytes spots(22, 0);
    spots[0] = 22; // a spot-type sensor (type 0)
    for (size_t i = 6; i < 22; i += 2)
        spots[i] = 0xD0, spots[i + 1] = 0x02; // amplitude 720 / 12 = 60: spot sums of 240
    auto raised = [&] { return commandsSent({usbreq::kCmdSignalSettings, 192, 192}); };
    relay(spots); // far below the wanted 500: raised to the most
    EXPECT_EQ(raised(), 1u);
    EXPECT_EQ(model()->SignalSettings(), (std::array<int32_t, 2>{192, 192}));

    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_FALSE), S_OK);
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_TRUE), S_OK);
    EXPECT_EQ(model()->SignalSettings(), (std::array<int32_t, 2>{128, 128}));
    relay(spots);
    EXPECT_EQ(raised(), 2u);
    EXPECT_EQ(model()->SignalSettings(), (std::array<int32_t, 2>{192, 192}));
}

// Each packet of a pair-type sensor is two samples; a shot in its second half belongs to the
// second sample, at twice its place within that half.
TEST_F(UsbModelTest, PairPacketShotLateInThePacketGoesToItsSecondSample)
{
    auto sink = advise();
    ASSERT_EQ(connectThroughReceiver(kReceiver, QStringLiteral("AR10"), 0), S_OK);
    // Counter 2/3: angle word 0; 4/5: distance word 10000. Both words are in after counter 5.
    const uint8_t mux[6] = {90, 33, 0, 0, 0x10, 0x27};
    auto send = [&](uint8_t counter, uint8_t subIndex, uint8_t shot) {
        Bytes p(16, 0);
        p[0] = 16;
        p[1] = 5;
        p[4] = counter;
        p[5] = mux[counter % 6];
        p[6] = 100; // A1 = 2
        p[8] = 0xCE, p[9] = 0xFF; // B1 = -1
        p[10] = 100;
        p[12] = 0xCE, p[13] = 0xFF;
        p[14] = subIndex;
        p[15] = shot;
        relay(p);
    };
    for (uint8_t c = 0; c < 8; ++c)
        send(c, 0, 0); // the trace holds six points after counter 7
    EXPECT_TRUE(sink->shots.empty());
    send(8, 12, 25); // shot fraction 12 / 16 = 0.75, amplitude 100
    ASSERT_EQ(sink->shots.size(), 1u);
    EXPECT_EQ(placeOf(sink->shots[0].get()), std::make_pair(7, 0.5));
}

// Each wireless command's retry window and wait, as the targets' protocol gives them.
TEST(WirelessCommands, EachCommandHasItsRetryWindowAndWait)
{
    auto timing = [](uint8_t command) {
        const usbreq::WirelessTiming t = usbreq::wirelessTiming(command);
        return std::pair<uint32_t, uint32_t>(t.retryMs, t.waitMs);
    };
    using T = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(timing(0x40), T(500, 20000)); // target face codes
    EXPECT_EQ(timing(0x32), T(500, 250)); // light masks
    EXPECT_EQ(timing(0x33), T(500, 500)); // LED level
    EXPECT_EQ(timing(0x34), T(500, 500)); // lamp level
    EXPECT_EQ(timing(0x50), T(1000, 20000)); // signal settings
    EXPECT_EQ(timing(0x25), T(0, 500)); // select target: one try
    for (uint8_t c : {0x12, 0x15, 0x16, 0x20, 0x21})
        EXPECT_EQ(timing(c), T(500, 250)) << int(c);
}

// A biathlon face on a wireless target behind the receiver: the model selects the middle target by
// its bit, once and with the receiver's 500 ms wait, and stop all goes to every target (number 0).
TEST_F(UsbModelTest, FiveTargetFaceSelectsByBitAndStopsAllTargets)
{
    // The selection is answered with a failure: it must not be tried again.
    ASSERT_EQ(connectFiveTargets(usbreq::kCmdSelectTarget), S_OK);
    const char* receiver = kReceiver;

    auto writes = [&](uint8_t command) {
        std::vector<UsbControlRecord> out;
        for (const auto& r : requests(receiver, UsbControlKind::Write))
            if (!r.data.empty() && r.data[0] == command)
                out.push_back(r);
        return out;
    };
    fake.clearControlLog(receiver);
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_TRUE), S_OK); // back to the middle target
    EXPECT_EQ(
        writes(usbreq::kCmdSelectTarget),
        (std::vector<UsbControlRecord>{{UsbControlKind::Write, usbreq::kWirelessCommand, 500, 3, 2, {0x25, 1 << 2}}}));

    fake.clearControlLog(receiver);
    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    EXPECT_EQ(writes(usbreq::kCmdStopAll),
              (std::vector<UsbControlRecord>{{UsbControlKind::Write, usbreq::kWirelessCommand, 250, 0, 1, {0x12}}}));
}

} // namespace
} // namespace usbtest
