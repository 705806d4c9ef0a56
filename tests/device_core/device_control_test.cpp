// The control's properties: defaults, ranges, what needs or forbids a running model.
#include "support/device_fixture.h"

#include <bit>
#include <cmath>

namespace devtest {
namespace {

TEST_F(DeviceTest, DefaultsAreThoseOfAFreshControl)
{
    int32_t i = -1;
    float f = -1;
    VARIANT_BOOL b = 5;
    QString s = QStringLiteral("x");
    EXPECT_EQ(device->get_CommPort(&i), S_OK);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(device->get_SampleRate(&i), S_OK);
    EXPECT_EQ(i, 200);
    EXPECT_EQ(device->get_DevicePath(&s), S_OK);
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(device->get_Connected(&b), S_OK);
    EXPECT_EQ(b, VARIANT_FALSE);
    EXPECT_EQ(device->get_ModelVersion(&i), S_OK);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(device->get_FiringPoint(&i), S_OK);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(device->get_WirelessTargetDistance(&f), S_OK);
    EXPECT_EQ(f, 10.0f);
    enumSemaphoreMode sem = SemaphoreRed;
    EXPECT_EQ(device->get_Semaphore(&sem), S_OK);
    EXPECT_EQ(sem, SemaphoreOff);
    for (int32_t n : {1, 2}) {
        enumTargetType tt{};
        EXPECT_EQ(device->get_TargetType(n, &tt), S_OK);
        EXPECT_EQ(tt, Target10m);
        EXPECT_EQ(device->get_PiezoSensitivity(n, &i), S_OK);
        EXPECT_EQ(i, 40);
        EXPECT_EQ(device->get_MaxTimeBeforeShot(n, &f), S_OK);
        EXPECT_EQ(f, 5.0f);
        EXPECT_EQ(device->get_MaxTimeAfterShot(n, &f), S_OK);
        EXPECT_EQ(f, 0.5f);
        EXPECT_EQ(device->get_CorrectionX(n, &f), S_OK);
        EXPECT_EQ(f, 0.0f);
        EXPECT_EQ(device->get_SubTarget(n, &i), S_OK);
        EXPECT_EQ(i, 1);
        enumSensorPosition pos{};
        EXPECT_EQ(device->get_SensorPosition(n, &pos), S_OK);
        EXPECT_EQ(pos, SensorBottom);
        EXPECT_EQ(device->get_PiezoRejectInterval(n, &f), S_OK);
        EXPECT_EQ(f, 1.0f);
        EXPECT_EQ(device->get_CalibrationMode(n, &b), S_OK);
        EXPECT_EQ(b, VARIANT_FALSE);
        EXPECT_EQ(device->get_CalibrationWanted(n, &b), S_OK);
        EXPECT_EQ(b, VARIANT_TRUE);
    }
}

TEST_F(DeviceTest, RangesAreChecked)
{
    EXPECT_EQ(device->put_CommPort(0), E_INVALIDARG);
    EXPECT_EQ(device->put_CommPort(257), E_INVALIDARG);
    EXPECT_EQ(device->put_CommPort(256), S_OK);
    EXPECT_EQ(device->put_SampleRate(19), E_INVALIDARG);
    EXPECT_EQ(device->put_SampleRate(501), E_INVALIDARG);
    EXPECT_EQ(device->put_SampleRate(20), S_OK);
    EXPECT_EQ(device->put_SampleRate(500), S_OK);
    EXPECT_EQ(device->put_MaxTimeAfterShot(1, 0.49f), E_INVALIDARG);
    EXPECT_EQ(device->put_MaxTimeAfterShot(1, NAN), E_INVALIDARG);
    EXPECT_EQ(device->put_MaxTimeAfterShot(1, 0.5f), S_OK);
    EXPECT_EQ(device->put_MaxTimeBeforeShot(2, 0.49f), E_INVALIDARG);
    QString s;
    EXPECT_EQ(device->get_SerialNumber2(0, &s), E_INVALIDARG);
    EXPECT_EQ(device->get_SerialNumber2(4, &s), E_INVALIDARG);
    int32_t i = 0;
    for (int32_t n : {0, 3, -1}) {
        EXPECT_EQ(device->get_PiezoSensitivity(n, &i), E_INVALIDARG);
        EXPECT_EQ(device->put_SubTarget(n, 1), E_INVALIDARG);
        EXPECT_EQ(device->Reset(n), E_INVALIDARG);
    }
    EXPECT_EQ(device->put_TargetType(1, static_cast<enumTargetType>(6)), E_INVALIDARG);
    EXPECT_EQ(device->put_SensorPosition(1, static_cast<enumSensorPosition>(0)), E_INVALIDARG);
}

TEST_F(DeviceTest, CorrectionsKeepWholeHundredths)
{
    float f = 0;
    ASSERT_EQ(device->put_CorrectionX(1, 1.239f), S_OK);
    device->get_CorrectionX(1, &f);
    EXPECT_EQ(f, 1.23f);
    // Floats that lie just below their decimal value survive a round trip.
    for (float v : {0.29f, 0.01f, -0.29f, 5.07f, -123.45f}) {
        ASSERT_EQ(device->put_CorrectionY(2, v), S_OK);
        device->get_CorrectionY(2, &f);
        EXPECT_EQ(f, v) << v;
    }
    EXPECT_EQ(device->put_CorrectionX(1, NAN), E_INVALIDARG);
    EXPECT_EQ(device->put_CorrectionX(1, 3e9f), E_INVALIDARG);
    device->get_CorrectionX(1, &f);
    EXPECT_EQ(f, 1.23f);
}

TEST_F(DeviceTest, WithoutAModelTheModelsMembersAreUnexpectedOrZero)
{
    VARIANT_BOOL b = VARIANT_TRUE;
    int32_t i = 9;
    EXPECT_EQ(device->get_PulseAvailable(&b), E_UNEXPECTED);
    EXPECT_EQ(device->get_TriggerControlAvailable(&b), E_UNEXPECTED);
    EXPECT_EQ(device->get_SemaphoreAvailable(&b), E_UNEXPECTED);
    EXPECT_EQ(device->get_LedsBrightnessAvailable(&b), E_UNEXPECTED);
    EXPECT_EQ(device->get_LampsBrightnessAvailable(&b), E_UNEXPECTED);
    EXPECT_EQ(device->get_LedsBrightness(&i), E_UNEXPECTED);
    EXPECT_EQ(device->put_LampsBrightness(3), E_UNEXPECTED);
    EXPECT_EQ(device->get_Trigger(1, 1, &i), E_UNEXPECTED);
    EXPECT_EQ(device->get_SignalLevel(1, &i), S_OK);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(device->get_StatTotalReceived(&i), S_OK);
    EXPECT_EQ(i, 0);
    Variant v;
    EXPECT_EQ(device->get_Value(0, &v), E_FAIL);
    EXPECT_EQ(device->put_Value(0, Variant(int32_t{1})), E_FAIL);
    EXPECT_EQ(device->get_Value(5, nullptr), E_POINTER);
    ASSERT_EQ(device->get_Value(5, &v), S_OK);
    EXPECT_EQ(v.vt(), VT_BSTR);
    EXPECT_EQ(device->Reset(1), S_OK);
    EXPECT_EQ(device->AddShot(VARIANT_FALSE), S_OK);
    EXPECT_EQ(device->put_Semaphore(SemaphoreGreen), S_OK);
}

TEST_F(DeviceTest, DataGivesSevenZerosAndTwoNaNsWithEveryBitSet)
{
    float v[9];
    std::fill(std::begin(v), std::end(v), 3.0f);
    ASSERT_EQ(device->Data(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]), S_OK);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(std::bit_cast<uint32_t>(v[i]), 0u) << i;
    EXPECT_EQ(std::bit_cast<uint32_t>(v[7]), 0xFFFFFFFFu);
    EXPECT_EQ(std::bit_cast<uint32_t>(v[8]), 0xFFFFFFFFu);

    connectUsb();
    ASSERT_EQ(device->Data(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]), S_OK);
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_EQ(std::bit_cast<uint32_t>(v[7]), 0xFFFFFFFFu);
    EXPECT_EQ(v[8], 9.0f);
}

TEST_F(DeviceTest, WhileConnectedPortAndTargetTypeCannotChange)
{
    connectUsb();
    EXPECT_EQ(device->put_CommPort(1), S_OK);
    EXPECT_EQ(device->put_CommPort(2), E_UNEXPECTED);
    EXPECT_EQ(device->put_TargetType(1, Target10m), S_OK);
    EXPECT_EQ(device->put_TargetType(1, Target50m), E_UNEXPECTED);
    EXPECT_EQ(device->put_SampleRate(300), S_OK);
    VARIANT_BOOL found = VARIANT_TRUE;
    EXPECT_EQ(device->LookupDevice(&found), E_UNEXPECTED);
    EXPECT_EQ(found, VARIANT_FALSE);

    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    EXPECT_EQ(device->put_CommPort(2), S_OK);
    EXPECT_EQ(device->put_TargetType(1, Target50m), S_OK);
    EXPECT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
}

TEST_F(DeviceTest, ASampleRateSetWhileConnectedWaitsForTheNextConnect)
{
    ASSERT_EQ(device->put_SampleRate(250), S_OK);
    connectUsb();
    ASSERT_EQ(device->put_SampleRate(100), S_OK);
    int32_t rate = 0;
    device->get_SampleRate(&rate);
    EXPECT_EQ(rate, 100);
    // The running model, its ring and its aimings keep the rate the sensor was started at.
    EXPECT_EQ(control().SampleRate(), 250);
    EXPECT_EQ(model()->pipeline().Capacity(), 250u * 5);

    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    EXPECT_EQ(control().SampleRate(), 100);
    EXPECT_EQ(model()->pipeline().Capacity(), 100u * 5);

    // A model that runs at a rate of its own sets the control's.
    model()->fixRate(50);
    device->get_SampleRate(&rate);
    EXPECT_EQ(rate, 50);
    EXPECT_EQ(control().SampleRate(), 50);
}

TEST_F(DeviceTest, ConnectingHandsTheSettingsToTheModel)
{
    device->put_PiezoSensitivity(2, 55);
    device->put_SubTarget(1, 3);
    device->put_Semaphore(SemaphoreRed);
    nextHasSemaphore = true;
    connectUsb();
    EXPECT_EQ(model()->log,
              (std::vector<std::string>{"Start", "SetPiezoSensitivity 1 40", "SetSubTarget 1 3",
                                        "SetPiezoSensitivity 2 55", "SetSubTarget 2 1", "SetSemaphore 2"}));
    model()->log.clear();
    EXPECT_EQ(device->put_Semaphore(SemaphoreRed), S_OK);
    EXPECT_EQ(device->put_Semaphore(SemaphoreGreen), S_OK);
    EXPECT_EQ(device->put_CorrectionX(1, 1.0f), S_OK);
    EXPECT_EQ(device->put_CorrectionY(1, 1.0f), S_OK);
    EXPECT_EQ(model()->log, (std::vector<std::string>{"SetSemaphore 1", "CorrectionChanged"}));
    VARIANT_BOOL b = VARIANT_FALSE;
    EXPECT_EQ(device->get_SemaphoreAvailable(&b), S_OK);
    EXPECT_EQ(b, VARIANT_TRUE);

    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    EXPECT_EQ(control().model(), nullptr);
}

TEST_F(DeviceTest, SemaphoreOfAModelWithoutOneIsStoredWithSFalse)
{
    connectUsb();
    EXPECT_EQ(device->put_Semaphore(SemaphoreGreen), S_FALSE);
    enumSemaphoreMode m{};
    device->get_Semaphore(&m);
    EXPECT_EQ(m, SemaphoreGreen);
    EXPECT_EQ(device->put_Semaphore(SemaphoreGreen), S_OK);
}

TEST_F(DeviceTest, ModelValuesAndTheStatusText)
{
    connectUsb();
    Variant v;
    ASSERT_EQ(device->get_Value(0, &v), S_OK);
    int32_t i = 0;
    ASSERT_EQ(v.toInt32(&i), S_OK);
    EXPECT_EQ(i, 42);
    EXPECT_EQ(device->get_Value(1, &v), E_FAIL);
    EXPECT_EQ(device->put_Value(0, Variant(int32_t{1})), E_FAIL);

    model()->reportStatus(QStringLiteral("Please upgrade KAVRO firmware. (1)"));
    ASSERT_EQ(device->get_Value(5, &v), S_OK);
    QString text;
    v.toString(&text);
    EXPECT_EQ(text, QStringLiteral("Please upgrade KAVRO firmware. (1)"));
    // A connect starts with a clear message, also when a model runs already.
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    device->get_Value(5, &v);
    v.toString(&text);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(DeviceTest, AFailedStartLeavesTheControlDisconnected)
{
    nextStartSucceeds = false;
    giveEvent();
    device->put_DevicePath(QStringLiteral("usb:fake"));
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
    VARIANT_BOOL b = VARIANT_TRUE;
    device->get_Connected(&b);
    EXPECT_EQ(b, VARIANT_FALSE);
}

TEST_F(DeviceTest, AnEventWithoutDistanceCannotBeConnected)
{
    giveEvent(1, 0.0f);
    device->put_DevicePath(QStringLiteral("usb:fake"));
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_UNEXPECTED);
    giveEvent(1, 10.0f);
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
}

TEST_F(DeviceTest, ReadingTheSecondSubDevicesEventDoesNotBlockTheNextConnect)
{
    giveEvent(1, 10.0f);
    ComPtr<IEventParams> second;
    ASSERT_EQ(device->get_Event(2, second.put()), S_OK); // an empty event without distance is held
    device->put_DevicePath(QStringLiteral("usb:fake"));
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
}

TEST_F(DeviceTest, UsbPathsChooseTheModelByDeviceClass)
{
    models::registerUsbClassMatcher([](const QString& path, UsbDeviceClass cls) {
        return path.startsWith(QStringLiteral("qv:")) && cls == UsbDeviceClass::ImageSensor;
    });
    giveEvent();
    QString name;
    int32_t number = 0;
    // No image-sensor model is registered: nothing connects, but the choice is told.
    device->put_DevicePath(QStringLiteral("qv:1"));
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
    device->get_ModelName(&name);
    device->get_ModelVersion(&number);
    EXPECT_EQ(name, QStringLiteral("KAVRO QV SENSOR"));
    EXPECT_EQ(number, 600);

    device->put_DevicePath(QStringLiteral("usb:2"));
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    device->get_ModelName(&name);
    device->get_ModelVersion(&number);
    EXPECT_EQ(name, QStringLiteral("KAVRO USB"));
    EXPECT_EQ(number, 500);

    control().SetDeviceSerial(1, {1, 2, 3, 4, 5, 6, 7, 255});
    control().SetDeviceSerial(3, {9, 0, 0, 0, 0, 0, 0, 1});
    QString serial;
    device->get_SerialNumber(&serial);
    EXPECT_EQ(serial, QStringLiteral("1-2-3-4-5-6-7-255"));
    device->get_SerialNumber2(3, &serial);
    EXPECT_EQ(serial, QStringLiteral("9-0-0-0-0-0-0-1"));
}

TEST_F(DeviceTest, EventsAreFoundByShortName)
{
    ComPtr<IEventManager> manager;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_EventManager, &manager), S_OK);
    ComPtr<IEventParams> added;
    ASSERT_EQ(manager->Add(QStringLiteral("DEVTEST10"), added.put()), S_OK);

    EXPECT_EQ(device->put_EventShortName(1, QStringLiteral("NOSUCH")), E_FAIL);
    QString name;
    device->get_EventShortName(1, &name);
    EXPECT_EQ(name, QStringLiteral("NOSUCH"));

    ASSERT_EQ(device->put_EventShortName(2, QStringLiteral("DEVTEST10")), S_OK);
    ComPtr<IEventParams> held;
    ASSERT_EQ(device->get_Event(2, held.put()), S_OK);
    EXPECT_EQ(held, added);

    // Without an event held, an empty one is made and kept.
    ComPtr<IEventParams> first, second;
    ASSERT_EQ(device->get_Event(1, first.put()), S_OK);
    ASSERT_EQ(device->get_Event(1, second.put()), S_OK);
    ASSERT_TRUE(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(device->put_Event(1, nullptr), E_INVALIDARG);
}

} // namespace
} // namespace devtest

namespace devtest {
namespace {

TEST_F(DeviceTest, CalibrationModeSwitchesOnOnlyWithVariantTrue)
{
    VARIANT_BOOL b = VARIANT_TRUE;
    ASSERT_EQ(device->put_CalibrationMode(1, 1), S_OK);
    device->get_CalibrationMode(1, &b);
    EXPECT_EQ(b, VARIANT_FALSE);
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_TRUE), S_OK);
    device->get_CalibrationMode(1, &b);
    EXPECT_EQ(b, VARIANT_TRUE);
    device->get_CalibrationMode(2, &b);
    EXPECT_EQ(b, VARIANT_FALSE);
    EXPECT_TRUE(control().CalibrationMode(1));
}

} // namespace
} // namespace devtest
