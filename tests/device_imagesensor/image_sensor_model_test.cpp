// The image sensor model behind the device control, with the fake backend scripted as the
// camera (and as its pulse sensor): the open sequence, aimings and shots, calibration capture,
// the pulse and the values the calibration dialog reads.
#include "support/image_sensor_support.h"

#include "support/device_control.h"
#include "support/device_fixture.h"
#include "device/imagesensor/beat_rate.h"
#include "device/imagesensor/kavro_device_image_sensor.h"
#include "device/usb/usb_requests.h"
#include "gdi/picture.h"

#include <gmock/gmock.h>

namespace kavro::testing {
namespace {

using devtest::RecordingSink;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

class ImageSensorModel : public ImageSensorTest {
protected:
    void SetUp() override
    {
        qputenv("KAVRO_EVENTS_DIR", KAVRO_BIN_DIR);
        models::registerUsbClassMatcher([](const QString& path, UsbDeviceClass cls) {
            return cls == UsbDeviceClass::ImageSensor && path.endsWith(QStringLiteral("cam"));
        });
        device = devtest::makePumpedControl(clock);
        ASSERT_TRUE(device);
        sink = devtest::adviseNewSink<RecordingSink>(device.get());
    }
    void TearDown() override { devtest::releaseControl(device); }

    HRESULT connect(const QString& event = QStringLiteral("AR10"), const CameraScript& script = {})
    {
        path = plugCamera(script);
        EXPECT_EQ(device->put_EventShortName(1, event), S_OK);
        device->put_DevicePath(QString::fromStdString(path));
        return device->put_Connected(VARIANT_TRUE);
    }
    CKavroDeviceImageSensor* model() { return static_cast<CKavroDeviceImageSensor*>(control().model()); }
    CKavroDevice& control() { return *static_cast<CKavroDevice*>(device.get()); }
    size_t pump() { return static_cast<PumpedControlQueue*>(model()->Queue())->pump(); }

    // Statuses from the camera, then everything they caused on the control thread. Every
    // status but the first makes a record: the camera's reader holds one back.
    void send(const std::vector<Status>& statuses)
    {
        for (const Status& s : statuses)
            fake.injectPacket(path, framedPacket(kPacketData, s.bytes()));
        injected += static_cast<int32_t>(statuses.size());
        ASSERT_TRUE(eventually([&] {
            pump();
            int32_t received = 0;
            device->get_StatTotalReceived(&received);
            return received == injected - 1;
        }));
    }
    static std::vector<Status> repeat(int n, Status s = {}) { return std::vector<Status>(static_cast<size_t>(n), s); }
    static Status shotStatus(uint32_t foreign = 900)
    {
        Status s;
        s.marker = 4;
        s.shotLevel = 300;
        s.foreign = foreign;
        return s;
    }
    // The events since the last call, runs of batch events folded (foldBatchEvents).
    std::vector<std::string> events() { return devtest::foldBatchEvents(std::exchange(sink->events, {})); }

    SteppingClock clock;
    std::string path;
    int32_t injected = 0;
    ComPtr<IKavroDevice> device;
    ComPtr<RecordingSink> sink;
};

TEST_F(ImageSensorModel, IsTheModelOfTheImageSensorClass)
{
    const UsbModelEntry entry = models::usbModel(UsbDeviceClass::ImageSensor);
    EXPECT_EQ(entry.modelName, QStringLiteral("KAVRO QV SENSOR"));
    EXPECT_EQ(entry.modelNumber, 600);
    ASSERT_EQ(connect(), S_OK);
    int32_t version = 0, rate = 0;
    device->get_ModelVersion(&version);
    device->get_SampleRate(&rate);
    EXPECT_EQ(version, 600);
    EXPECT_EQ(rate, 100);
    QString serial;
    device->get_SerialNumber(&serial);
    EXPECT_EQ(serial, QStringLiteral("1-2-3-4-5-6-7-8"));
    const auto log = fake.controlLog(path);
    EXPECT_EQ(log.back(), out(128, 0)); // streaming starts last
    VARIANT_BOOL pulse = VARIANT_TRUE;
    EXPECT_EQ(device->get_PulseAvailable(&pulse), S_OK);
    EXPECT_EQ(pulse, VARIANT_FALSE);
}

TEST_F(ImageSensorModel, FailedOpensLeaveTheReasonInTheStatusText)
{
    CameraScript old;
    old.hardware = 1;
    old.firmware = 10;
    EXPECT_EQ(connect(QStringLiteral("AR10"), old), E_FAIL);
    Variant text;
    ASSERT_EQ(device->get_Value(kavrodev::kStatusTextValue, &text), S_OK);
    EXPECT_EQ(text.bstr(), QStringLiteral("Please update QV-01 firmware to version 14 or better. (hw:1, fw:10)"));

    // An event that the camera cannot recognise.
    ComPtr<IEventParams> event;
    device->get_Event(1, event.put());
    event->put_Value(QStringLiteral("_qv_target"), Variant(int32_t{3}));
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
    device->get_Value(kavrodev::kStatusTextValue, &text);
    EXPECT_EQ(text.bstr(), QStringLiteral("The shooting event cannot be shot with the KAVRO QV sensor."));
}

TEST_F(ImageSensorModel, AnOutlineTargetUploadsItsCorners)
{
    ComPtr<IEventParams> event;
    ASSERT_EQ(createInstance(kavrodoc::CLSID_EventParams, &event), S_OK);
    event->put_Distance(25);
    event->put_Value(QStringLiteral("_qv_target"), Variant(int32_t{8}));
    ComPtr<ITargetParams> target;
    event->get_Target(1, target.put());
    ASSERT_TRUE(target);
    target->put_FormWidth(520);
    target->put_FormHeight(520);
    path = plugCamera();
    device->put_Event(1, event.get());
    device->put_DevicePath(QString::fromStdString(path));
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    const auto log = fake.controlLog(path);
    EXPECT_THAT(log, Contains(out(177, 1)));
    auto chunk = std::find_if(log.begin(), log.end(), [](const UsbControlRecord& r) { return r.request == 178; });
    ASSERT_NE(chunk, log.end());
    EXPECT_EQ(chunk->value, 17); // the centre and eight corners on both sides of the edge
    // 9.375 mm per pixel and the dark corners spreading over 3 pixels at binning 4: the first
    // corner (-115, -255) truncates to (-3, -6) and moves 2 pixels in.
    EXPECT_THAT(log, Contains(out(186, 4, 3)));
    EXPECT_EQ(Bytes(chunk->data.begin() + 3, chunk->data.begin() + 6), (Bytes{0xFF, 0xFC, 1}));
}

TEST_F(ImageSensorModel, AnAimingFiresItsEventsInOrder)
{
    ASSERT_EQ(connect(), S_OK);
    // Seven points, the shot seen with the ninth status (it belongs to the eighth), four more.
    std::vector<Status> batch = repeat(8);
    batch.push_back(shotStatus());
    auto more = repeat(3);
    batch.insert(batch.end(), more.begin(), more.end());
    Status gone;
    gone.valid = false;
    batch.push_back(gone);
    send(batch);
    EXPECT_EQ(events(),
              (std::vector<std::string>{"StartAiming 1", "NewCoordinates 1 8", "Trigger 1 7", "Shot 1",
                                        "NewCoordinates 1 4", "Trigger 1 5"}));
    ASSERT_EQ(sink->shots.size(), 1u);
    int32_t index = -1;
    sink->shots[0]->get_TraceIndex(&index);
    EXPECT_EQ(index, 7);
    VARIANT_BOOL missed = VARIANT_TRUE;
    sink->shots[0]->get_Missed(&missed);
    EXPECT_EQ(missed, VARIANT_FALSE);
    ComPtr<IAimingTrace> trace;
    sink->aimings[0]->get_Trace(trace.put());
    float x = 1, y = 1;
    trace->get_x(0, &x);
    trace->get_y(0, &y);
    EXPECT_EQ(x, 0.0f); // the spot on the aiming offset is the centre
    EXPECT_EQ(y, 0.0f);

    // The aiming ends with the time kept after the shot: 50 samples at 100 per second. The
    // invalid status held back comes first and is ignored (the sight left for less than 500 ms).
    send(repeat(48));
    EXPECT_EQ(events(),
              (std::vector<std::string>{"NewCoordinates 1 46", "Trigger 1 47", "ConcludeAiming 1", "Trigger 1 1"}));
    // After an aiming with a shot, a new one waits for 500 ms without a valid status.
    send(repeat(3));
    EXPECT_EQ(events(), (std::vector<std::string>{"Trigger 1 3"}));
    clock.now += 500;
    send(repeat(2));
    EXPECT_EQ(events(), (std::vector<std::string>{"StartAiming 1", "NewCoordinates 1 2", "Trigger 1 2"}));

    // The sight is away: an invalid status within 500 ms is ignored, after it the aiming ends
    // and the next invalid status brings the final conclusion.
    send({gone});
    EXPECT_EQ(events(), (std::vector<std::string>{"NewCoordinates 1 1", "Trigger 1 1"}));
    send({gone});
    EXPECT_EQ(events(), (std::vector<std::string>{"Trigger 1 1"}));
    clock.now += 500;
    send({gone, gone});
    // The two statuses may be read in one batch or two, which splits the trigger counts.
    std::vector<std::string> steps;
    for (const std::string& e : events())
        if (e.rfind("Trigger ", 0) != 0)
            steps.push_back(e);
    EXPECT_EQ(steps, (std::vector<std::string>{"ConcludeAiming 1", "FinalConcludeAiming 1"}));
}

TEST_F(ImageSensorModel, ShotsNeedTheMarkerAndTheCameraSureItWasOurs)
{
    ASSERT_EQ(connect(), S_OK);
    std::vector<Status> batch = repeat(8);
    batch.push_back(shotStatus(700)); // another shooter's shot on the next lane
    batch.push_back(Status());
    Status weak = shotStatus();
    weak.shotLevel = 100; // 33 after the division by 3, below the threshold 40
    batch.push_back(weak);
    batch.push_back(Status());
    send(batch);
    EXPECT_TRUE(sink->shots.empty());

    ASSERT_EQ(device->put_Value(2, Variant::fromBool(false)), S_OK);
    send({shotStatus(700), Status()});
    EXPECT_EQ(sink->shots.size(), 1u);
}

TEST_F(ImageSensorModel, CalibrationCapturesTheSpotOfTheShotAsTheAimingOffset)
{
    ASSERT_EQ(connect(), S_OK);
    fake.clearControlLog(path);
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_TRUE), S_OK);
    EXPECT_EQ(fake.controlLog(path).front(), out(185, 320, 240));
    Status hit = shotStatus();
    hit.spotX = 300.7f;
    hit.spotY = 250.2f;
    // The first ten statuses after the switch are not looked at. The shot a status reports
    // belongs to the position of the status before it.
    send(repeat(11, hit));
    float v[9];
    device->Data(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]);
    EXPECT_EQ(v[1], 0.0f);
    send({hit});
    device->Data(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[1], 1.0f);
    EXPECT_EQ(v[2], 1.0f);
    EXPECT_THAT(sink->events, Not(Contains("StartAiming 1"))); // no aimings while calibrating
    double x = 0, y = 0;
    model()->Camera().AimingOffset(&x, &y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 250);
    // A later shot does not move it again.
    Status other = shotStatus();
    other.spotX = 100;
    send({other, Status()});
    model()->Camera().AimingOffset(&x, &y);
    EXPECT_EQ(x, 300);

    fake.clearControlLog(path);
    ASSERT_EQ(device->put_CalibrationMode(1, VARIANT_FALSE), S_OK);
    EXPECT_EQ(fake.controlLog(path).front(), out(184, 300, 250));
    device->Data(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]);
    EXPECT_EQ(v[1], 1.0f);
    EXPECT_EQ(v[2], 0.0f); // a window change allows a new capture
}

TEST_F(ImageSensorModel, ValuesForTheCalibrationDialog)
{
    ASSERT_EQ(connect(), S_OK);
    Variant v;
    ASSERT_EQ(device->get_Value(0, &v), S_OK);
    EXPECT_EQ(v, Variant::fromBool(true));
    device->get_Value(1, &v);
    EXPECT_EQ(v, Variant::fromBool(false));
    device->get_Value(3, &v);
    EXPECT_EQ(v, Variant::fromInteger(VT_UI2, 2));
    device->get_Value(4, &v);
    EXPECT_EQ(v, Variant::fromInteger(VT_UI2, 25));
    EXPECT_EQ(device->get_Value(6, &v), E_FAIL); // no picture yet
    EXPECT_EQ(device->get_Value(10, &v), E_FAIL);

    Status imaged;
    imaged.total = 54 + 6;
    imaged.width = 3;
    imaged.height = 2;
    fake.injectPacket(path, framedPacket(kPacketData, imaged.bytes()));
    fake.injectPacket(path, framedPacket(kPacketData, {1, 9, 8, 7, 6, 5, 4}));
    ASSERT_TRUE(eventually([&] { return device->get_Value(6, &v) == S_OK; }));
    // A picture object holding a bitmap whose every byte is a grey level.
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(v.object()->QueryInterface(IPictureDisp::iid, picture.putVoid()), S_OK);
    int16_t type = 0;
    ASSERT_EQ(picture->get_Type(&type), S_OK);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    const QImage bitmap = static_cast<Picture*>(picture.get())->image();
    ASSERT_EQ(bitmap.format(), QImage::Format_Grayscale8);
    ASSERT_EQ(bitmap.size(), QSize(3, 2));
    Bytes pixels;
    for (int y = 0; y < 2; ++y)
        pixels.insert(pixels.end(), bitmap.constScanLine(y), bitmap.constScanLine(y) + 3);
    EXPECT_EQ(pixels, (Bytes{9, 8, 7, 6, 5, 4}));

    fake.clearControlLog(path);
    EXPECT_EQ(device->put_Value(0, Variant::fromBool(false)), S_OK);
    EXPECT_EQ(device->put_Value(7, Variant::fromBool(true)), S_OK);
    EXPECT_EQ(device->put_Value(8, Variant(int32_t{55})), S_OK);
    EXPECT_EQ(device->put_Value(5, Variant(int32_t{1})), E_FAIL);
    const auto log = fake.controlLog(path);
    EXPECT_EQ(log[2], out(139, 20)); // neither lighting switch
    EXPECT_THAT(std::vector<UsbControlRecord>(log.end() - 3, log.end()),
                ElementsAre(out(132, 1), out(159, 0), out(130, 55)));
}

TEST_F(ImageSensorModel, ThePulseSensorReportsBeatsAndTheRate)
{
    const std::string pulsePath = plug(usbids::kPulseSensorProductId, "pulse");
    answer(pulsePath, usbreq::kPulseVersion, Bytes{1, 0, 2, 0});
    ASSERT_EQ(connect(), S_OK);
    VARIANT_BOOL available = VARIANT_FALSE;
    device->get_PulseAvailable(&available);
    EXPECT_EQ(available, VARIANT_TRUE);
    EXPECT_THAT(fake.controlLog(pulsePath), Contains(out(131, 0)));
    // Beats 800 ms apart; the first packet only starts the count. One beat is pending at a
    // time, so each is let through before the next.
    clock.dateStepMs = 800;
    fake.injectPacket(pulsePath, {1});
    for (size_t beats = 1; beats <= 4; ++beats) {
        fake.injectPacket(pulsePath, {1});
        ASSERT_TRUE(eventually([&] {
            pump();
            return sink->events.size() >= beats;
        }));
    }
    auto e = events();
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].rfind("HeartBeat 1 0.000000 ", 0), 0u);
    EXPECT_EQ(e[3].rfind("HeartBeat 1 0.000000 ", 0), 0u);
    EXPECT_EQ(e[4], "PulseChanged 1 75");
    fake.clearControlLog(pulsePath);
    device->put_Connected(VARIANT_FALSE);
    EXPECT_THAT(fake.controlLog(pulsePath), Contains(out(132, 0)));
}

TEST_F(ImageSensorModel, CompanionsPulledOutAreNoLongerAvailable)
{
    const std::string pulsePath = plug(usbids::kPulseSensorProductId, "pulse");
    const std::string triggerPath = plug(usbids::kTriggerSensorProductId, "trigger");
    ASSERT_EQ(connect(), S_OK);
    auto available = [&] {
        VARIANT_BOOL pulse = VARIANT_FALSE, trigger = VARIANT_FALSE;
        device->get_PulseAvailable(&pulse);
        device->get_TriggerControlAvailable(&trigger);
        return std::make_pair(pulse == VARIANT_TRUE, trigger == VARIANT_TRUE);
    };
    EXPECT_EQ(available(), std::make_pair(true, true));
    fake.unplug(pulsePath);
    fake.unplug(triggerPath);
    // Also while no status comes from the camera.
    EXPECT_TRUE(eventually([&] { return available() == std::make_pair(false, false); }));
}

TEST(BeatRate, NeedsFourRegularBeats)
{
    const double ms = 1.0 / 86400000.0;
    BeatRate rate;
    EXPECT_FALSE(rate.AddBeat(45000.0));
    EXPECT_FALSE(rate.AddBeat(45000.0 + 1000 * ms));
    EXPECT_FALSE(rate.AddBeat(45000.0 + 2000 * ms));
    EXPECT_EQ(rate.AddBeat(45000.0 + 3000 * ms), 60);
    EXPECT_FALSE(rate.AddBeat(45000.0 + 4000 * ms)); // the same rate is not reported again
    EXPECT_FALSE(rate.AddBeat(45000.0 + 4150 * ms)); // too short an interval
    rate.Clear();
    // Intervals of 600, 600 and 1500 ms: the last strays too far from their mean of 900.
    EXPECT_FALSE(rate.AddBeat(1.0));
    EXPECT_FALSE(rate.AddBeat(1.0 + 600 * ms));
    EXPECT_FALSE(rate.AddBeat(1.0 + 1200 * ms));
    EXPECT_FALSE(rate.AddBeat(1.0 + 2700 * ms));
}

} // namespace
} // namespace kavro::testing
