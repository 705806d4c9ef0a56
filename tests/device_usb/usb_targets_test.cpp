#include "device/usb/usb_pulse_sensor.h"
#include "device/usb/usb_target.h"
#include "device/usb/usb_trigger_sensor.h"
#include "device/usb/usb_wireless_home_target.h"
#include "device/usb/usb_wireless_target.h"
#include "thread/virtual_clock.h"
#include "support/usb_test_support.h"

#include <gmock/gmock.h>

namespace kavro::testing {
namespace {

using ::testing::ElementsAre;

class WirelessReceiver : public FakeUsbTest {
protected:
    void SetUp() override
    {
        path = plug(usbids::kWirelessReceiverProductId, "1");
        answer(path, 129, Bytes(8, 0x42));
        receiver.SetClock(clock);
        ASSERT_TRUE(receiver.Open(path));
        fake.clearControlLog(path);
    }
    // Every later request fails.
    void refuseAll()
    {
        fake.setControlHandler(path, [](const UsbControlRecord&) { return FakeControlReply{USB_E_IO, {}}; });
    }

    std::string path;
    SteppingClock clock;
    Observed<UsbWirelessTarget> receiver;
};

TEST_F(WirelessReceiver, CommandIsOneWriteWithWaitAndTarget)
{
    const uint8_t face[] = {0x40, 10, 16};
    ASSERT_TRUE(receiver.WirelessCommand(3, face, 3, 500, 20000));
    EXPECT_THAT(fake.controlLog(path),
                ElementsAre(UsbControlRecord(UsbControlKind::Write, 240, 20000, 3, 3, {0x40, 10, 16})));
    fake.clearControlLog(path);
    const uint8_t start[] = {0x16};
    ASSERT_TRUE(receiver.WirelessCommand(1, start, 1, 500, 0));
    EXPECT_EQ(fake.controlLog(path)[0].value, 500); // no wait given: 500 ms
}

TEST_F(WirelessReceiver, OutOfRangeCommandsAreRefusedWithoutARequest)
{
    const uint8_t payload[17] = {0x12};
    EXPECT_FALSE(receiver.WirelessCommand(17, payload, 1, 500, 250));
    EXPECT_FALSE(receiver.WirelessCommand(-1, payload, 1, 500, 250));
    EXPECT_FALSE(receiver.WirelessCommand(1, payload, 17, 500, 250));
    EXPECT_TRUE(fake.controlLog(path).empty());
    EXPECT_TRUE(receiver.WirelessCommand(16, payload, 16, 500, 250));
}

TEST_F(WirelessReceiver, FailingCommandIsRetriedForTheWindow)
{
    refuseAll();
    const uint8_t cmd[] = {0x32, 0, 0};
    EXPECT_FALSE(receiver.WirelessCommand(1, cmd, 3, 500, 250));
    EXPECT_EQ(fake.controlLog(path).size(), 10u); // at 0, 50, ... 450 ms
    EXPECT_EQ(clock.now, 500u);

    fake.clearControlLog(path);
    EXPECT_FALSE(receiver.WirelessCommand(1, cmd, 3, 1000, 250));
    EXPECT_EQ(fake.controlLog(path).size(), 20u);

    fake.clearControlLog(path);
    const uint8_t select[] = {0x25, 1 << 2};
    EXPECT_FALSE(receiver.WirelessCommand(1, select, 2, 0, 500));
    EXPECT_EQ(fake.controlLog(path).size(), 1u);
}

TEST_F(WirelessReceiver, RetrySucceedsWhenTheTargetAnswersLate)
{
    int tries = 0;
    fake.setControlHandler(path, [&](const UsbControlRecord&) {
        return FakeControlReply{++tries < 4 ? USB_E_IO : S_OK, {}};
    });
    const uint8_t cmd[] = {0x15};
    EXPECT_TRUE(receiver.WirelessCommand(1, cmd, 1, 500, 250));
    EXPECT_EQ(tries, 4);
    EXPECT_EQ(clock.now, 150u);
}

TEST_F(WirelessReceiver, QueryReadsTheAnswerAfterTheCommand)
{
    Bytes descriptor(17);
    descriptor[0] = 18;
    fake.expectControl(path, UsbControlRecord(UsbControlKind::Write, 240, 250, 2, 1, {0x20}), {S_OK, {}});
    fake.expectControl(path, UsbControlRecord(UsbControlKind::In, 241, 0, 0), {S_OK, descriptor});
    const uint8_t cmd[] = {0x20};
    uint8_t answer[17] = {};
    ASSERT_TRUE(receiver.WirelessQuery(2, cmd, 1, answer, sizeof answer, 500, 250));
    EXPECT_EQ(answer[0], 18);
    EXPECT_EQ(fake.pendingExpectations(path), 0u);

    refuseAll();
    EXPECT_FALSE(receiver.WirelessQuery(2, cmd, 1, answer, sizeof answer, 0, 250));
    EXPECT_EQ(fake.controlLog(path).size(), 3u); // no answer read after a failed command
}

TEST_F(WirelessReceiver, RecordRunSplitsIntoTargetsAndSensorPackets)
{
    std::vector<std::pair<int, Bytes>> targets;
    std::vector<Bytes> packets;
    receiver.eventTarget.Hook([&](int n, ByteSpan b) { targets.emplace_back(n, Bytes(b.begin(), b.end())); });
    receiver.eventWirelessData.Hook([&](ByteSpan b) { packets.emplace_back(b.begin(), b.end()); });
    // Kind 68 for target 0x23 & 31 = 3, kind 136 with a packet, then a zero length ends the run.
    fake.injectPacket(path, {5, 68, 0x23, 7, 8, 4, 136, 1, 2, 0, 4, 136, 9, 9});
    fake.injectPacket(path, {2, 68, 30, 136}); // an empty target record; a length past the end
    ASSERT_TRUE(receiver.waitPackets(2));
    EXPECT_THAT(targets, ElementsAre(std::pair<int, Bytes>{3, {7, 8}}));
    EXPECT_THAT(packets, ElementsAre(Bytes{1, 2}));
}

class HomeTarget : public FakeUsbTest {
protected:
    void SetUp() override
    {
        path = plug(usbids::kHomeTargetProductId, "1");
        answer(path, 134, {1, 0, 2, 0});
        answer(path, 129, Bytes(8, 7));
        answer(path, 173, Bytes(16, 3));
    }
    std::string path;
};

TEST_F(HomeTarget, StartReadsVersionSerialAndState)
{
    Observed<UsbWirelessHomeTarget> t;
    ASSERT_TRUE(t.Open(path));
    EXPECT_EQ(t.Version().major, 2);
    EXPECT_EQ(t.SerialNumber()[0], 7);
    EXPECT_EQ(t.TargetState()[15], 3);

    std::vector<std::pair<int, Bytes>> got;
    t.eventWirelessData.Hook([&](int kind, ByteSpan b) { got.emplace_back(kind, Bytes(b.begin(), b.end())); });
    // This product frames its data itself.
    fake.injectPacket(path, framedPacket(68, {4, 68, 1, 2, 3, 99, 5}));
    ASSERT_TRUE(t.waitPackets(1));
    EXPECT_THAT(got, ElementsAre(std::pair<int, Bytes>{0, {1, 2}}));
}

TEST_F(HomeTarget, MissingStateFailsTheOpen)
{
    replies[path].erase(173);
    UsbWirelessHomeTarget t;
    EXPECT_FALSE(t.Open(path));
    EXPECT_EQ(t.ErrorText(), "Unable to read target state");
}

TEST_F(HomeTarget, SettingsAreCheckedSentAndRemembered)
{
    UsbWirelessHomeTarget t;
    ASSERT_TRUE(t.Open(path));
    fake.clearControlLog(path);
    EXPECT_FALSE(t.SetLedLevel(8));
    EXPECT_FALSE(t.SetLampLevel(-1));
    EXPECT_FALSE(t.SetMode(2));
    EXPECT_FALSE(t.SetSwitch2(3));
    EXPECT_TRUE(fake.controlLog(path).empty());

    EXPECT_TRUE(t.SetMode(1));
    EXPECT_TRUE(t.SetSwitch1(1));
    EXPECT_TRUE(t.SetSwitch2(1));
    EXPECT_TRUE(t.SetSwitch3(1));
    EXPECT_TRUE(t.SetLightMask1(0x05));
    EXPECT_TRUE(t.SetLightMask2(0x80));
    EXPECT_TRUE(t.SetIndexedSetting1(40000, 16));
    EXPECT_THAT(fake.controlLog(path),
                ElementsAre(UsbControlRecord(UsbControlKind::Out, 144, 1, 2500),
                            UsbControlRecord(UsbControlKind::Out, 166, 1, 0),
                            UsbControlRecord(UsbControlKind::Out, 172, 1, 0),
                            UsbControlRecord(UsbControlKind::Out, 167, 1, 0),
                            UsbControlRecord(UsbControlKind::Out, 160, 0x0005, 0),
                            UsbControlRecord(UsbControlKind::Out, 160, 0x8005, 0),
                            UsbControlRecord(UsbControlKind::Out, 168, 40000, 16)));
    EXPECT_TRUE(t.SetMode(0));
    EXPECT_EQ(t.Settings().switch3, 0);
    EXPECT_EQ(t.Settings().switch2, 1);
    EXPECT_TRUE(t.SetSwitch1(0));
    EXPECT_EQ(t.Settings().switch2, 0);
    EXPECT_EQ(t.Settings().lightMask2, 0x80);

    fake.clearControlLog(path);
    t.Close();
    EXPECT_THAT(fake.controlLog(path), ElementsAre(UsbControlRecord(UsbControlKind::Out, 145, 0, 0)));
    EXPECT_EQ(t.Settings().lightMask2, 0);
}

class WiredTarget : public FakeUsbTest { };

TEST_F(WiredTarget, VersionsSerialAndConnectionReports)
{
    const std::string path = plug(usbids::kWiredTargetProductId, "1");
    answer(path, 139, {1, 2, 3, 4, 5, 6, 7, 8});
    Observed<UsbTarget> t;
    std::atomic<int> connects{0}, reports{0};
    t.eventConnect.Hook([&] { ++connects; });
    t.eventReport1.Hook([&] { ++reports; });
    ASSERT_TRUE(t.Open(path));
    EXPECT_EQ(t.Version().minor, 1); // version request failed: 1.1
    fake.injectPacket(path, {2});
    fake.injectPacket(path, {1, 0});
    fake.injectPacket(path, {3});
    ASSERT_TRUE(t.waitPackets(3));
    EXPECT_EQ(connects.load(), 1);
    EXPECT_EQ(reports.load(), 1);
}

class AuxSensors : public FakeUsbTest { };

TEST_F(AuxSensors, TriggerFeedsItsFilterAndGivesUpOnAnError)
{
    const std::string path = plug(usbids::kTriggerSensorProductId, "1");
    Observed<UsbTriggerSensor> t;
    ASSERT_TRUE(t.Open(path));
    fake.injectPacket(path, {0x00, 0x02, 0xFF});
    fake.injectPacket(path, {0x05});
    ASSERT_TRUE(t.waitPackets(2));
    EXPECT_DOUBLE_EQ(t.FilterOutput(), 512.0); // the first value passes unchanged; a short one is ignored
    fake.injectReadError(path, USB_E_TIMEOUT);
    ASSERT_TRUE(eventually([&] { return t.IsFailed(); }));
}

TEST_F(AuxSensors, PulseBeatsCloserThan200MsRaiseNothingButMoveTheReference)
{
    const std::string path = plug(usbids::kPulseSensorProductId, "1");
    answer(path, 133, {0, 0, 3, 0});
    VirtualClock clock(0, 45000.0);
    Observed<UsbPulseSensor> p;
    p.SetClock(clock);
    std::vector<DATE> beats;
    p.eventHeartBeat.Hook([&](DATE d) { beats.push_back(d); });
    ASSERT_TRUE(p.Open(path));
    EXPECT_EQ(p.Version().major, 3);
    int n = 0;
    for (uint64_t step : {0, 150, 199, 200, 1000}) {
        clock.advance(step);
        fake.injectPacket(path, {1});
        ASSERT_TRUE(p.waitPackets(++n));
    }
    // 0: first; +150: too close; +199 after that: too close; +200: beat; +1000: beat.
    ASSERT_EQ(beats.size(), 2u);
    EXPECT_NEAR((beats[0] - 45000.0) * 86400000.0, 549, 1e-3);
    EXPECT_NEAR((beats[1] - 45000.0) * 86400000.0, 1549, 1e-3);
}

} // namespace
} // namespace kavro::testing
