#include "support/usb_model_fixture.h"

namespace usbtest {
namespace {

std::vector<Bytes> hold(int n, double x = 1.5, double y = -0.9)
{
    return std::vector<Bytes>(static_cast<size_t>(n), opticalItem(x, y));
}

void append(std::vector<Bytes>& a, const std::vector<Bytes>& b)
{
    a.insert(a.end(), b.begin(), b.end());
}

// Two warm-up items the sensor decoder skips, `before` held samples, a shot, `after` held samples
// and three dark items.
std::vector<Bytes> shotRoad(int before, int after, uint32_t shotLevel = 160)
{
    std::vector<Bytes> items = hold(2 + before);
    items.push_back(opticalItem(1.5, -0.9, shotLevel * 200, 100));
    append(items, hold(after));
    for (int i = 0; i < 3; ++i)
        items.push_back(opticalItem(0, 0, 0, -1, true));
    return items;
}

std::vector<uint8_t> requestNumbers(const std::vector<UsbControlRecord>& log)
{
    std::vector<uint8_t> out;
    for (const auto& r : log)
        out.push_back(r.request);
    return out;
}

TEST_F(UsbModelTest, OneShotRoadFromOpenToClose)
{
    auto sink = advise();
    ASSERT_EQ(connect(), S_OK);
    ASSERT_NE(model(), nullptr);
    int32_t rate = 0;
    device->get_SampleRate(&rate);
    EXPECT_EQ(rate, 100);
    QString serial;
    device->get_SerialNumber2(2, &serial);
    EXPECT_EQ(serial, QStringLiteral("9-9-9-9-9-9-9-9"));

    // Open, start, then the threshold and face the control passes on after connecting.
    EXPECT_EQ(requestNumbers(requests(kOptical, UsbControlKind::In)), (std::vector<uint8_t>{144, 139, 134}));
    const auto opticalOut = requests(kOptical, UsbControlKind::Out);
    ASSERT_EQ(opticalOut.size(), 4u);
    EXPECT_EQ(opticalOut[0], UsbControlRecord(UsbControlKind::Out, 133, 100, 0));
    EXPECT_EQ(opticalOut[1], UsbControlRecord(UsbControlKind::Out, 141, 0, 0));
    EXPECT_EQ(opticalOut[2], UsbControlRecord(UsbControlKind::Out, 133, 40, 0));
    EXPECT_EQ(opticalOut[3], UsbControlRecord(UsbControlKind::Out, 132, 1, 0));
    EXPECT_EQ(requestNumbers(requests(kTarget, UsbControlKind::In)), (std::vector<uint8_t>{152, 139, 138}));
    const auto targetOut = requests(kTarget, UsbControlKind::Out);
    ASSERT_EQ(targetOut.size(), 3u);
    EXPECT_EQ(targetOut[0], UsbControlRecord(UsbControlKind::Out, 131, 0, 0));
    EXPECT_EQ(targetOut[1], UsbControlRecord(UsbControlKind::Out, 135, 1, 0));
    EXPECT_EQ(targetOut[2], UsbControlRecord(UsbControlKind::Out, 136, 0x8000, 0x8000));

    play(shotRoad(18, 12));
    EXPECT_EQ(devtest::foldBatchEvents(sink->events),
              (std::vector<std::string>{"StartAiming 1", "NewCoordinates 1 19", "Shot 1", "NewCoordinates 1 12",
                                        "ConcludeAiming 1", "FinalConcludeAiming 1"}));
    ASSERT_EQ(sink->shots.size(), 1u);
    EXPECT_EQ(placeOf(sink->shots[0].get()), std::make_pair(18, 0.5));

    // Scale 1 x divisor 2 plus 0.5, at 10 m: 4 mm per sensor unit; the point is (5, 3) units.
    ComPtr<IAimingTrace> trace;
    ASSERT_EQ(sink->aimings[0]->get_Trace(trace.put()), S_OK);
    int32_t count = 0;
    trace->get_Count(&count);
    EXPECT_EQ(count, 31);
    for (int32_t i = 0; i < count; ++i) {
        int32_t x = 0, y = 0;
        ASSERT_EQ(trace->_GetPoint(i, &x, &y), S_OK);
        EXPECT_NEAR(x, 2000, 3) << i;
        EXPECT_NEAR(y, 1200, 3) << i;
    }
    float values[9];
    device->Data(&values[0], &values[1], &values[2], &values[3], &values[4], &values[5], &values[6], &values[7],
                 &values[8]);
    EXPECT_FLOAT_EQ(values[6], 2.0f);
    EXPECT_TRUE(std::isnan(values[7]));

    fake.clearControlLog(kOptical);
    fake.clearControlLog(kTarget);
    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    EXPECT_EQ(requests(kOptical, UsbControlKind::Out),
              (std::vector<UsbControlRecord>{{UsbControlKind::Out, 142, 0, 0}}));
    EXPECT_EQ(requests(kTarget, UsbControlKind::Out),
              (std::vector<UsbControlRecord>{{UsbControlKind::Out, 132, 0, 0}}));
}

TEST_F(UsbModelTest, ShotNeedsSixPointsBeforeItsSample)
{
    auto sink = advise();
    ASSERT_EQ(connect(), S_OK);
    play(shotRoad(5, 3)); // the trace held five points: no shot
    EXPECT_TRUE(sink->shots.empty());
    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    ASSERT_EQ(connect(), S_OK);
    play(shotRoad(6, 3)); // amplitude exactly the threshold, six points before: the seventh is a shot
    ASSERT_EQ(sink->shots.size(), 1u);
    int32_t index = -1;
    sink->shots[0]->get_TraceIndex(&index);
    EXPECT_EQ(index, 6);
}

TEST_F(UsbModelTest, FiveTargetShotNeedsSixPointsBeforeItsSampleToo)
{
    auto sink = advise();
    ASSERT_EQ(connectFiveTargets(), S_OK);
    play(shotRoad(5, 3)); // the trace held five points: no shot
    EXPECT_TRUE(sink->shots.empty());
    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    ASSERT_EQ(connectFiveTargets(), S_OK);
    play(shotRoad(6, 3));
    ASSERT_EQ(sink->shots.size(), 1u);
    int32_t index = -1;
    sink->shots[0]->get_TraceIndex(&index);
    EXPECT_EQ(index, 6);
}

TEST_F(UsbModelTest, NoShotBeyondTheEventsLimit)
{
    ComPtr<IEventParams> event;
    auto sink = advise();
    ASSERT_EQ(connect(), S_OK);
    ASSERT_EQ(device->get_Event(1, event.put()), S_OK);
    event->put_MaxShotsPerAiming(1);
    std::vector<Bytes> items = hold(12);
    items.push_back(opticalItem(1.5, -0.9, 32000, 10));
    append(items, hold(10));
    items.push_back(opticalItem(1.5, -0.9, 32000, 10));
    append(items, hold(3));
    play(items);
    event->put_MaxShotsPerAiming(-1);
    EXPECT_EQ(sink->shots.size(), 1u);
}

TEST_F(UsbModelTest, CalibrationIsSavedAndLoadedOnReconnect)
{
    auto sink = advise();
    ASSERT_EQ(connect(), S_OK);
    VARIANT_BOOL wanted = VARIANT_FALSE;
    device->get_CalibrationWanted(1, &wanted);
    EXPECT_EQ(wanted, VARIANT_TRUE);
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_TRUE), S_OK);
    play(shotRoad(18, 2));
    ASSERT_EQ(sink->shots.size(), 1u);
    // The spot sums of 600 lie far below the wanted 1200: the regulation raised the emitters.
    const auto settings = model()->SignalSettings();
    EXPECT_EQ(settings[0], 0xF800);

    const QString key = CalibrationStore::keyText(QStringLiteral("1-2-3-4-5-6-7-8"), QStringLiteral("9-9-9-9-9-9-9-9"));
    const auto stored = CalibrationStore::open().Load(key, {4096, 63488});
    ASSERT_TRUE(stored.has_value());
    EXPECT_NEAR(stored->scale, 1.0, 1e-5);
    EXPECT_NEAR(stored->dx0, 5.0, 1e-3);
    EXPECT_NEAR(stored->dy0, 3.0, 1e-3);
    EXPECT_EQ(stored->signal[0], 0xF800);

    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_FALSE), S_OK);
    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    fake.clearControlLog(kTarget);
    ASSERT_EQ(connect(), S_OK);
    EXPECT_TRUE(model()->IsCalibrated());
    device->get_CalibrationWanted(1, &wanted);
    EXPECT_EQ(wanted, VARIANT_FALSE);
    // The stored emitter settings go to the target with the face.
    const auto targetOut = requests(kTarget, UsbControlKind::Out);
    ASSERT_FALSE(targetOut.empty());
    EXPECT_EQ(targetOut.back(), UsbControlRecord(UsbControlKind::Out, 136, 0xF800, 0xF800));

    // Aimed where the calibration shot went, the trace lies at the centre.
    sink->aimings.clear();
    play(hold(12));
    ASSERT_FALSE(sink->aimings.empty());
    ComPtr<IAimingTrace> trace;
    sink->aimings.back()->get_Trace(trace.put());
    int32_t x = 0, y = 0;
    ASSERT_EQ(trace->_GetPoint(5, &x, &y), S_OK);
    EXPECT_NEAR(x, 0, 3);
    EXPECT_NEAR(y, 0, 3);
}

// Corrections made after a shot move the later aimings by what they add up to, however many
// steps they were made in.
TEST_F(UsbModelTest, CorrectionsAfterAShotAddUp)
{
    auto sink = advise();
    ASSERT_EQ(connect(), S_OK);
    play(shotRoad(18, 2));
    ASSERT_EQ(sink->shots.size(), 1u);
    auto pointOf = [&](IAiming* aiming) {
        ComPtr<IAimingTrace> trace;
        aiming->get_Trace(trace.put());
        int32_t x = 0, y = 0;
        trace->_GetPoint(5, &x, &y);
        return std::make_pair(x, y);
    };
    const auto before = pointOf(sink->aimings[0].get());

    // Only the vertical correction tells the model; each step is made as the trace view does.
    for (float x : {1.0f, 2.0f}) {
        ASSERT_EQ(device->put_CorrectionX(1, x), S_OK);
        ASSERT_EQ(device->put_CorrectionY(1, -0.5f), S_OK);
    }
    // After an aiming with a shot the sight must leave the target for half a second.
    play(std::vector<Bytes>(60, opticalItem(0, 0, 0, -1, true)));
    play(hold(12));
    ASSERT_EQ(sink->aimings.size(), 2u);
    const auto after = pointOf(sink->aimings[1].get());
    EXPECT_NEAR(after.first - before.first, 200, 2);
    EXPECT_NEAR(after.second - before.second, -50, 2);
}

TEST_F(UsbModelTest, TargetTypeCodeSetsTheSpotSeparation)
{
    ASSERT_EQ(connect(), S_OK);
    auto starts = [&] {
        size_t n = 0;
        for (const auto& r : requests(kTarget, UsbControlKind::Out))
            n += r.request == 131;
        return n;
    };
    auto reconnect = [&](uint16_t type) {
        replies[kTarget][138] = targetState(type);
        const size_t before = starts();
        fake.injectPacket(kTarget, {2});
        ASSERT_TRUE(eventually([&] {
            static_cast<PumpedControlQueue*>(model()->Queue())->pump();
            return starts() > before;
        }));
    };
    reconnect(13);
    EXPECT_DOUBLE_EQ(model()->OpticalSensor().NominalSeparation(), 76.0);
    reconnect(11);
    EXPECT_DOUBLE_EQ(model()->OpticalSensor().NominalSeparation(), 190.0);
    reconnect(8);
    EXPECT_DOUBLE_EQ(model()->OpticalSensor().NominalSeparation(), 190.0);
}

// The trigger and pulse sensors may be plugged in at any time, also again after being pulled out.
TEST_F(UsbModelTest, CompanionSensorsPulledOutAreFoundAgainWhenPluggedBackIn)
{
    const char* trigger = "usb:1-5";
    const char* pulse = "usb:1-6";
    auto plugCompanions = [&] {
        plug(trigger, usbids::kTriggerSensorProductId, {});
        plug(pulse, usbids::kPulseSensorProductId, {{133, {0, 0, 1, 0}}});
    };
    auto available = [&] {
        VARIANT_BOOL t = VARIANT_FALSE, p = VARIANT_FALSE;
        device->get_TriggerControlAvailable(&t);
        device->get_PulseAvailable(&p);
        return std::pair<bool, bool>(t == VARIANT_TRUE, p == VARIANT_TRUE);
    };
    plugCompanions();
    ASSERT_EQ(connect(), S_OK);
    play(hold(3));
    EXPECT_EQ(available(), std::make_pair(true, true));

    fake.unplug(trigger);
    fake.unplug(pulse);
    ASSERT_TRUE(eventually([&] { return available() == std::make_pair(false, false); }));
    plugCompanions();
    clock.advance(1000); // they are looked for at most once a second
    play(hold(3));
    EXPECT_EQ(available(), std::make_pair(true, true));
    size_t starts = 0;
    for (const auto& r : requests(trigger, UsbControlKind::Out))
        starts += r.request == 131;
    EXPECT_EQ(starts, 2u);
}

TEST_F(UsbModelTest, StoredSignalLevelOutsideItsRangeIsIgnored)
{
    SettingsKey key;
    ASSERT_EQ(
        SettingsKey::create(SettingsRoot::CurrentUser, QStringLiteral("software\\Kavro\\Kavro Professional"), &key),
        S_OK);
    for (uint32_t level : {499u, 2001u, 1500u}) {
        key.writeDword(QStringLiteral("SignalLevel"), level);
        ASSERT_EQ(connect(), S_OK);
        EXPECT_EQ(model()->SignalLevelSetting(), level == 1500u ? 1500 : 1200) << level;
        device->put_Connected(VARIANT_FALSE);
    }
}

TEST_F(UsbModelTest, MissingTargetControllerAndCalibrationInfoAreReported)
{
    fake.unplug(kTarget);
    EXPECT_EQ(connect(), E_FAIL);
    auto status = [&] {
        Variant text;
        QString out;
        device->get_Value(kavrodev::kStatusTextValue, &text);
        text.toString(&out);
        return out;
    };
    EXPECT_EQ(status(), QStringLiteral("Target controller is not connected"));

    plug(kTarget, usbids::kWiredTargetProductId, {{139, {9, 9, 9, 9, 9, 9, 9, 9}}, {138, targetState(7)}});
    replies[kOptical][134] = Bytes(20, 0xFF);
    EXPECT_EQ(connect(), E_FAIL);
    EXPECT_EQ(status(), QStringLiteral("Missing optical sensor's calibration info."));

    replies[kOptical][134] = calibrationInfo();
    replies[kTarget][138] = Bytes(16, 0);
    EXPECT_EQ(connect(), E_FAIL);
    EXPECT_EQ(status(), QStringLiteral("Target is not connected (1). Check cable."));
}

} // namespace
} // namespace usbtest
