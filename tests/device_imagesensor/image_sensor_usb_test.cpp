// The image sensor's USB class against the fake backend: identification, the flash block, the
// reset sequence and window set-up requests, status records and packet assembly.
#include "support/image_sensor_support.h"

#include "device/imagesensor/image_sensor_marks.h"

#include <gmock/gmock.h>

#include <numbers>

namespace kavro::testing {

ImageSensorTarget ImageSensorTest::ringTarget(double distance)
{
    ImageSensorTarget t;
    t.kind = ImageSensorTarget::Rings;
    t.distance = distance;
    t.targetSize = 0.16;
    EXPECT_TRUE(buildImageSensorMarks(0, 30.5f, &t.marks));
    return t;
}

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class Camera : public ImageSensorTest {
protected:
    bool open(const CameraScript& s = {})
    {
        path = plugCamera(s);
        sensor.SetClock(clock);
        sensor.SetTarget(ringTarget());
        return sensor.Open(path);
    }

    std::string path;
    SteppingClock clock;
    Observed<UsbImageSensor> sensor;
};

TEST_F(Camera, IdentificationReadsVersionsSerialStateAndFlash)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(sensor.Version().firmware, 25);
    EXPECT_EQ(sensor.Version().hardware, 2);
    EXPECT_EQ(sensor.Version().protocolMajor, 3);
    EXPECT_EQ(sensor.Version().protocolMinor, 1);
    EXPECT_EQ(sensor.DeviceState(), 7);
    EXPECT_EQ(sensor.Serial(), (UsbSerialNumber{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(sensor.Flash().centreX, 320);
    EXPECT_EQ(sensor.Flash().centreY, 240);
    EXPECT_FLOAT_EQ(sensor.Flash().lensFigure, 16.0f);
    std::vector<uint8_t> asked;
    for (const UsbControlRecord& r : fake.controlLog(path))
        asked.push_back(r.request);
    EXPECT_THAT(asked, ElementsAre(68, 64, 69, 208, 162, 163));
}

TEST_F(Camera, OldFirmwareIsNotAskedForProtocolOrState)
{
    CameraScript s;
    s.hardware = 1;
    s.firmware = 20;
    ASSERT_TRUE(open(s));
    EXPECT_EQ(sensor.Version().protocolMajor, 0);
    EXPECT_EQ(sensor.DeviceState(), 4095);
    std::vector<uint8_t> asked;
    for (const UsbControlRecord& r : fake.controlLog(path))
        asked.push_back(r.request);
    EXPECT_THAT(asked, ElementsAre(68, 64, 162, 163));
}

struct VersionCase {
    uint16_t hardware, firmware, major;
    const char* text; // empty: accepted
};

TEST_F(Camera, VersionChecksRefuseWithTheirMessages)
{
    const VersionCase cases[] = {
        {6, 25, 0,
         "Unsupported KAVRO QV sensor version hw:6, fw:25. Please update to the latest version of KAVRO software."},
        {1, 13, 0, "Please update QV-01 firmware to version 14 or better. (hw:1, fw:13)"},
        {1, 14, 0, ""},
        {1, 26, 0, ""},
        {1, 27, 0,
         "Unsupported KAVRO QV sensor version hw:1, fw:27. Please update to the latest version of KAVRO software."},
        {2, 20, 0, "Please update QV-02 firmware to version 21 or better. (hw:2, fw:20)"},
        {5, 21, 17, ""},
        {2, 30, 18,
         "Unsupported KAVRO QV sensor protocol version major:18, minor:1. Please update to the latest version of KAVRO "
         "software."},
    };
    int port = 0;
    for (const VersionCase& c : cases) {
        CameraScript s;
        s.hardware = c.hardware;
        s.firmware = c.firmware;
        s.protocolMajor = c.major;
        const std::string p = plugCamera(s, "v" + std::to_string(port++));
        UsbImageSensor camera;
        camera.SetClock(clock);
        EXPECT_EQ(camera.Open(p), c.text[0] == 0) << c.hardware << "/" << c.firmware;
        EXPECT_EQ(camera.ErrorText(), c.text);
        EXPECT_FALSE(camera.IsOpen() && c.text[0] != 0);
    }
}

TEST_F(Camera, FailedRequestsNameWhatCouldNotBeRead)
{
    const std::pair<uint8_t, const char*> cases[] = {
        {68, "unable to retrieve device version"},      {64, "unable to retrieve device serial number"},
        {69, "unable to retrieve protocol version"},    {208, "unable to retrieve device state"},
        {162, "unable to retrieve flash block length"}, {163, "unable to read flash block"},
    };
    int port = 0;
    for (const auto& [request, text] : cases) {
        const std::string p = plugCamera({}, "f" + std::to_string(port++));
        replies[p].erase(request);
        UsbImageSensor camera;
        EXPECT_FALSE(camera.Open(p));
        EXPECT_EQ(camera.ErrorText(), text);
    }
}

TEST_F(Camera, BadFlashBlocksFailTheOpenWithAClearText)
{
    struct FlashCase {
        Bytes flash;
        const char* text;
    };
    const FlashCase cases[] = {
        {flashBlock(320, 240, 16.0f, 27), "unsupported device"},
        {flashBlock(320, 240, 16.0f, 9), "invalid flash block: too short (9 bytes)"},
        {flashBlock(320, 240, 0.0f), "invalid flash block: the sensor's calibration is missing"},
        {flashBlock(320, 240, std::nanf("")), "invalid flash block: the sensor's calibration is missing"},
        {flashBlock(320, 240, -3.0f), "invalid flash block: the sensor's calibration is missing"},
    };
    int port = 0;
    for (const FlashCase& c : cases) {
        CameraScript s;
        s.flash = c.flash;
        const std::string p = plugCamera(s, "b" + std::to_string(port++));
        UsbImageSensor camera;
        EXPECT_FALSE(camera.Open(p));
        EXPECT_EQ(camera.ErrorText(), c.text);
    }
}

// The window set-up of the air rifle target at 10 m: 3.75 mm per pixel, binning 1, indoor.
std::vector<UsbControlRecord> windowSetUp(uint16_t subMode = 0, uint16_t exposure = 64)
{
    const Bytes list = {0, 0, 1,    0xFE, 0, 1, 2, 0,    1,    0, 0xFE, 1,    0, 2,    1, 0xF9, 0, 0, 7, 0,
                        0, 0, 0xF9, 0,    0, 7, 0, 0xFB, 0xFB, 0, 5,    0xFB, 0, 0xFB, 5, 0,    5, 5, 0};
    return {out(186, 1, 3), out(157, subMode), out(139, exposure),
            out(186, 0, 4), out(177, 0),       UsbControlRecord(UsbControlKind::Write, 178, 13, 0, 39, list),
            out(179, 0),    out(186, 43, 6)}; // 160 mm / 3.75 = 42.67 pixels
}

TEST_F(Camera, ResetSequenceSendsItsRequestsInOrder)
{
    ASSERT_TRUE(open());
    fake.clearControlLog(path);
    ASSERT_TRUE(sensor.ResetSequence());
    ASSERT_TRUE(sensor.StartStreaming());

    std::vector<UsbControlRecord> expected{out(186, 0, 5)};
    for (int i = 0; i < 2; ++i) { // indoor, then low light
        auto w = windowSetUp();
        expected.insert(expected.end(), w.begin(), w.end());
    }
    for (const UsbControlRecord& r : {out(130, 30), out(158, 1), out(159, 1), out(146, 1), out(132, 0),
                                      out(186, 200, 1), out(186, 255, 2), out(185, 320, 240)})
        expected.push_back(r);
    auto w = windowSetUp();
    expected.insert(expected.end(), w.begin(), w.end());
    expected.push_back(out(132, 0));
    expected.push_back(out(128, 0));
    EXPECT_THAT(fake.controlLog(path), ElementsAreArray(expected));
    EXPECT_EQ(sensor.ErrorText(), "");
    EXPECT_EQ(sensor.WindowMode(), 1);
    EXPECT_DOUBLE_EQ(sensor.PixelScale(), 3.75);
    EXPECT_EQ(sensor.Register(1), 200);
    EXPECT_EQ(sensor.Register(2), 255);
    EXPECT_EQ(sensor.Register(6), 43);
    double x = 0, y = 0;
    sensor.AimingOffset(&x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 240);
}

TEST_F(Camera, WindowModesAndLightingChooseTheirValues)
{
    ASSERT_TRUE(open());
    ASSERT_TRUE(sensor.ResetSequence());
    ASSERT_TRUE(sensor.SetIndoorMode(false));
    ASSERT_TRUE(sensor.SetLowLightingMode(false));
    sensor.SetAimingOffset(300.9, 250.2);
    fake.clearControlLog(path);
    ASSERT_TRUE(sensor.SetWindowMode(2));
    auto expected = windowSetUp(6, 20); // neither switch at binning 1: sub-mode 6 on the offset
    expected.insert(expected.begin(), out(184, 300, 250));
    expected.push_back(out(132, 0));
    EXPECT_THAT(fake.controlLog(path), ElementsAreArray(expected));

    fake.clearControlLog(path);
    ASSERT_TRUE(sensor.SetIndoorMode(true));
    ASSERT_TRUE(sensor.SetLowLightingMode(true));
    EXPECT_EQ(fake.controlLog(path)[2], out(139, 64));
    EXPECT_EQ(fake.controlLog(path)[8 + 2], out(139, 127));
    EXPECT_EQ(fake.controlLog(path)[8 + 1], out(157, 0));

    fake.clearControlLog(path);
    ASSERT_TRUE(sensor.SetPreview(true));
    ASSERT_TRUE(sensor.SetGain(77));
    EXPECT_THAT(fake.controlLog(path), ElementsAre(out(132, 1), out(159, 0), out(130, 77)));
}

TEST_F(Camera, BinningFollowsTheSpreadOfTheMarks)
{
    // Close up the marks spread: at 2 m the dark cross reaches 11 pixels at binning 1.
    std::array<PixelList, 3> lists;
    std::vector<ImageSensorMark> marks;
    ASSERT_TRUE(buildImageSensorMarks(0, 30.5f, &marks));
    auto build = [&](double scale) {
        for (size_t i = 0; i < 3; ++i)
            lists[i] = buildPixelList(marks, scale, kBinnings[i]);
    };
    build(3.75);
    EXPECT_EQ(lists[0].darkExtent, 2);
    EXPECT_EQ(lists[0].fullExtent, 7);
    EXPECT_EQ(chooseBinning(1, lists), 0u);
    build(0.75); // dark extents 11, 6, 3; full 33, 16, 8
    EXPECT_EQ(chooseBinning(1, lists), 1u);
    EXPECT_EQ(chooseBinning(2, lists), 1u);
    build(0.5); // dark extents 17, 8, 4; full 49, 24, 12
    EXPECT_EQ(chooseBinning(1, lists), 2u);
    EXPECT_EQ(chooseBinning(2, lists), 1u);
    build(0.2); // full 122 / 61 / 31
    EXPECT_EQ(chooseBinning(2, lists), 2u);
    EXPECT_TRUE(lists[2].fits);
    build(0.04); // even binning 4 overflows a signed byte (153 pixels)
    EXPECT_FALSE(lists[2].fits);
}

TEST_F(Camera, AWindowThatCannotBeBuiltFailsTheResetWithItsReason)
{
    ASSERT_TRUE(open());
    sensor.SetTarget(ringTarget(0.0));
    EXPECT_FALSE(sensor.ResetSequence());
    EXPECT_EQ(sensor.ErrorText(), "unable to reset device: the shooting event gives no distance to the target");

    ImageSensorTarget huge = ringTarget(0.02); // 0.0075 mm per pixel: no list fits a byte
    sensor.SetTarget(huge);
    fake.clearControlLog(path);
    EXPECT_FALSE(sensor.ResetSequence());
    EXPECT_EQ(sensor.ErrorText(), "unable to reset device: the target is too large for the camera at this distance");
    EXPECT_THAT(fake.controlLog(path), ElementsAre(out(186, 0, 5))); // nothing of the window was sent

    sensor.SetTarget(ringTarget());
    replies[path].clear();
    fake.setControlHandler(path, [](const UsbControlRecord& r) {
        return FakeControlReply{r.request == 130 ? USB_E_IO : S_OK, {}};
    });
    EXPECT_FALSE(sensor.ResetSequence());
    EXPECT_EQ(sensor.ErrorText(), "unable to reset device");
}

TEST_F(Camera, StartAndStopRequests)
{
    ASSERT_TRUE(open());
    fake.setControlHandler(path, [](const UsbControlRecord&) { return FakeControlReply{USB_E_IO, {}}; });
    EXPECT_FALSE(sensor.StartStreaming());
    EXPECT_EQ(sensor.ErrorText(), "unable to start device");
    fake.setControlHandler(path, [](const UsbControlRecord&) { return FakeControlReply{S_OK, {}}; });
    fake.clearControlLog(path);
    clock.now = 0;
    sensor.Close();
    EXPECT_THAT(fake.controlLog(path), ElementsAre(out(129, 0)));
    EXPECT_EQ(clock.now, 500u);
}

TEST(ImageStatusRecord, AStatusLandsAtItsRecordOffsets)
{
    Status s;
    s.spotX = 310.5f;
    s.spotY = 244.0f;
    s.angleX = 100;
    s.angleY = 0;
    s.third = 77;
    s.shotLevel = 301;
    s.foreign = 750;
    s.marker = 4;
    const Bytes b = s.bytes();
    ImageStatus status;
    std::copy(b.begin(), b.end(), status.begin());
    SampleRecord r;
    statusToRecord(status, {320.0, 240.0, 3.75, true}, &r);

    EXPECT_EQ(r.bytes[378], 1);
    EXPECT_EQ(r.bytes[379], 2);
    EXPECT_EQ(0, std::memcmp(r.bytes + 380, b.data(), 52));
    EXPECT_EQ(r.bytes[432], 0x5A);
    EXPECT_EQ(r.bytes[433], 4);
    EXPECT_EQ(r.get<double>(434), 310.5);
    EXPECT_EQ(r.get<double>(442), 244.0);
    EXPECT_EQ(r.get<double>(450), 320.0);
    EXPECT_EQ(r.get<double>(458), 240.0);
    EXPECT_EQ(r.get<double>(466), 9.5);
    EXPECT_EQ(r.get<double>(474), -4.0);
    EXPECT_EQ(r.get<double>(45), 9.5 * 3.75);
    EXPECT_EQ(r.get<double>(53), -4.0 * 3.75);
    EXPECT_EQ(r.get<int32_t>(482), -1);
    EXPECT_EQ(r.get<int32_t>(486), -1);
    EXPECT_EQ(r.get<double>(490), 2148.0);
    EXPECT_EQ(r.get<double>(498), 2048.0);
    EXPECT_EQ(r.get<double>(506), 77.0);
    EXPECT_EQ(r.get<int16_t>(11), 100); // 301 / 3
    EXPECT_EQ(r.get<double>(69), 0.0);
    EXPECT_DOUBLE_EQ(r.get<double>(29), std::numbers::pi / 2); // vector along x, turned a quarter
    EXPECT_EQ(r.bytes[17], 1);
    // Everything before the status block that is not named stays zero.
    for (size_t i : {0, 1, 5, 13, 15, 21, 61, 77, 200, 377})
        EXPECT_EQ(r.bytes[i], 0) << i;
}

TEST(ImageStatusRecord, ForeignShotsAndBadValuesAreFiltered)
{
    auto decode = [](const Status& s, bool filter) {
        const Bytes b = s.bytes();
        ImageStatus status;
        std::copy(b.begin(), b.end(), status.begin());
        SampleRecord r;
        statusToRecord(status, {320.0, 240.0, 3.75, filter}, &r);
        return r;
    };
    Status s;
    s.marker = 4;
    s.shotLevel = 300;
    s.foreign = 749;
    EXPECT_EQ(decode(s, true).piezoLevel(), 0); // another shooter's shot
    EXPECT_EQ(decode(s, false).piezoLevel(), 100);
    s.marker = 3;
    s.foreign = 5000;
    EXPECT_EQ(decode(s, false).piezoLevel(), 0); // no shot marker
    s.angleX = 0;
    s.angleY = 100; // pointing down: half a turn, kept in [-pi, pi]
    EXPECT_DOUBLE_EQ(decode(s, true).angle(), std::numbers::pi);
    s.angleX = -100;
    s.angleY = -1;
    EXPECT_LT(decode(s, true).angle(), -std::numbers::pi / 2 + 0.1);
    EXPECT_GE(decode(s, true).angle(), -std::numbers::pi);
    s.spotX = std::nanf("");
    EXPECT_FALSE(decode(s, true).valid());
    s.spotX = INFINITY;
    EXPECT_FALSE(decode(s, true).valid());
    s.spotX = 1;
    s.valid = false;
    EXPECT_FALSE(decode(s, true).valid());
}

class Assembly : public ::testing::Test {
protected:
    Assembly()
        : assembler([this](const ImageStatus& s) { statuses.push_back(s); },
                    [this](GreyImage i) { images.push_back(std::move(i)); })
    {
    }
    void feed(const Bytes& b) { assembler.Feed(b); }

    std::vector<ImageStatus> statuses;
    std::vector<GreyImage> images;
    ImagePacketAssembler assembler;
};

TEST_F(Assembly, EachStatusIsHeldUntilTheNextTakesItsShot)
{
    Status a, b, c;
    a.spotX = 1;
    b.spotX = 2;
    b.shotLevel = 600;
    b.foreign = 900;
    b.marker = 4;
    c.spotX = 3;
    feed(a.bytes());
    EXPECT_TRUE(statuses.empty());
    feed(b.bytes());
    ASSERT_EQ(statuses.size(), 1u);
    // The first status keeps its position and gets the second's shot.
    EXPECT_EQ(readF32(&statuses[0][16]), 1.0f);
    EXPECT_EQ(readU16(&statuses[0][32]), 600);
    EXPECT_EQ(readU32(&statuses[0][38]), 900u);
    EXPECT_EQ(statuses[0][53], 4);
    feed(c.bytes());
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(readF32(&statuses[1][16]), 2.0f);
    EXPECT_EQ(statuses[1][53], 0); // the shot is not reported twice
}

TEST_F(Assembly, ImagesAreAssembledFromNumberedPackets)
{
    Status s;
    s.width = 4;
    s.height = 3;
    s.total = 54 + 12;
    feed(s.bytes());
    feed({1, 10, 11, 12, 13, 14});
    feed({3, 99, 99}); // out of order: dropped
    feed({2, 20, 21, 22, 23, 24, 25, 26, 27}); // two bytes more than the image holds
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 4);
    EXPECT_EQ(images[0].height, 3);
    EXPECT_EQ(images[0].pixels, (Bytes{10, 11, 12, 13, 14, 20, 21, 22, 23, 24, 25, 26}));
    feed(Status().bytes());
    EXPECT_EQ(statuses.size(), 1u); // the imaged status completed and was held

    // An abort drops the image in progress; its status never completes.
    feed(s.bytes());
    feed({1, 1, 2, 3});
    feed({0, 128});
    feed({2, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(images.size(), 1u);
    EXPECT_FALSE(assembler.IsAssembling());
}

TEST_F(Assembly, MalformedPacketsNeverCrash)
{
    // Short, oversized and unknown packets, image data out of turn, lengths below a status.
    feed({});
    feed({0});
    feed({0, 2});
    feed(Bytes(53, 0));
    Bytes big(600, 0);
    big[1] = 2;
    feed(big);
    feed({7, 1, 2});
    Status tiny;
    tiny.total = 10;
    feed(tiny.bytes());
    Status odd;
    odd.total = 60;
    odd.width = 200;
    odd.height = 200; // says 40000 pixels, sends 6 bytes
    feed(odd.bytes());
    feed({1, 1, 2, 3, 4, 5, 6});
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].pixels.size(), 40000u);
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        Bytes b((seed >> 16) % 70);
        for (uint8_t& x : b) {
            seed = seed * 1103515245u + 12345u;
            x = static_cast<uint8_t>(seed >> 24);
        }
        if (!b.empty() && (seed & 3) == 0)
            b[0] = 0;
        feed(b);
    }
    SUCCEED();
}

TEST_F(Camera, StatusesFromTheReaderBecomeRecords)
{
    ASSERT_TRUE(open());
    ASSERT_TRUE(sensor.ResetSequence());
    std::mutex m;
    std::vector<SampleRecord> records;
    sensor.Close();
    sensor.SetStatusCallback([&](const SampleRecord& r) {
        std::lock_guard lock(m);
        records.push_back(r);
    });
    ASSERT_TRUE(sensor.Open(path));
    ASSERT_TRUE(sensor.ResetSequence());
    Status a;
    a.spotX = 300;
    // Both sensor packets in one read, each framed as a data packet.
    Bytes run = framedPacket(kPacketData, a.bytes());
    const Bytes second = framedPacket(kPacketData, Status().bytes());
    run.insert(run.end(), second.begin(), second.end());
    fake.injectPacket(path, run);
    ASSERT_TRUE(sensor.waitPackets(1));
    std::lock_guard lock(m);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].targetX(), 20 * 3.75);
}

} // namespace
} // namespace kavro::testing
