#include "support/usb_test_support.h"

#include "thread/virtual_clock.h"

#include <gmock/gmock.h>

namespace kavro::testing {
namespace {

using ::testing::ElementsAre;

// A device that records what reaches it.
class RecordingDevice : public UsbDevice {
public:
    explicit RecordingDevice(bool isFramed = true) { framed = isFramed; }
    ~RecordingDevice() override { Close(); }

    bool startResult = true;
    std::string startText;
    bool stopOnError = false;

    std::mutex m;
    std::vector<std::pair<char, Bytes>> got; // 'D' data, 'A' auxiliary
    std::vector<HRESULT> errors;
    int stops = 0;

    size_t count()
    {
        std::lock_guard lock(m);
        return got.size();
    }

protected:
    bool Start() override
    {
        if (!startText.empty())
            SetErrorText(startText);
        return startResult;
    }
    void Stop() override { ++stops; }
    void OnData(ByteSpan d) override
    {
        std::lock_guard lock(m);
        got.emplace_back('D', Bytes(d.begin(), d.end()));
    }
    void OnAuxData(ByteSpan d) override
    {
        std::lock_guard lock(m);
        got.emplace_back('A', Bytes(d.begin(), d.end()));
    }
    void OnError(HRESULT code, bool& stop) override
    {
        std::lock_guard lock(m);
        errors.push_back(code);
        if (stopOnError)
            stop = true;
    }
};

TEST(FramedPackets, TruncatedLastPacketIsDroppedAndUnknownTypesSkipped)
{
    RecordingDevice d;
    Bytes buffer = framedPacket(68, {1, 2});
    for (uint8_t b : framedPacket(7, {9, 9, 9}))
        buffer.push_back(b);
    for (uint8_t b : framedPacket(136, {3}))
        buffer.push_back(b);
    for (uint8_t b : framedPacket(68, {4, 5}, 3)) // declares one byte more than remains
        buffer.push_back(b);
    d.OnPacket(buffer);
    EXPECT_THAT(d.got, ElementsAre(std::pair<char, Bytes>{'D', {1, 2}}, std::pair<char, Bytes>{'A', {3}}));
}

TEST(FramedPackets, HugeLengthsAndShortHeadersNeverReadPastTheBuffer)
{
    RecordingDevice d;
    d.OnPacket(framedPacket(68, {1, 2, 3}, 0xFFFFFFFFu));
    d.OnPacket(framedPacket(68, {1, 2, 3}, 0xFFFFFFFEu));
    d.OnPacket(Bytes{68, 1, 0, 0});
    EXPECT_TRUE(d.got.empty());
    d.OnPacket(framedPacket(136, {}));
    EXPECT_THAT(d.got, ElementsAre(std::pair<char, Bytes>{'A', {}}));
}

TEST(FramedPackets, UnframedDataGoesWholeToOnData)
{
    RecordingDevice d(false);
    d.OnPacket(framedPacket(136, {1}));
    ASSERT_EQ(d.got.size(), 1u);
    EXPECT_EQ(d.got[0].first, 'D');
    EXPECT_EQ(d.got[0].second.size(), 6u);
}

class UsbDeviceOpen : public FakeUsbTest { };

TEST_F(UsbDeviceOpen, RefusesTwoConfigurationsAndLeavesTheDeviceClosed)
{
    const std::string path = plug(usbids::kOpticalSensorProductId, "1", 2);
    RecordingDevice d;
    EXPECT_FALSE(d.Open(path));
    EXPECT_EQ(d.ErrorText(), "Please upgrade KAVRO firmware. (1)");
    EXPECT_FALSE(d.IsOpen());
    // Closed again: a second open of the same device is possible.
    plug(usbids::kOpticalSensorProductId, "1", 1);
    EXPECT_TRUE(d.Open(path));
}

TEST_F(UsbDeviceOpen, PipeProblemsAndStartFailuresGiveTheirTexts)
{
    RecordingDevice d;
    EXPECT_FALSE(d.Open("usb:9-9"));
    EXPECT_EQ(d.ErrorText(), "Error opening device: the USB sensor is not connected. Plug it in, then connect again.");
    EXPECT_EQ(d.LastError(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    // A device another program holds, one the user may not open, and any other failure.
    const std::pair<HRESULT, const char*> refusals[] = {
        {HRESULT_FROM_WIN32(ERROR_BUSY), "Error opening device: another program is using the USB sensor."},
        {E_ACCESSDENIED, "Error opening device: you have no permission to use the USB sensor. Install the udev rule"},
        {E_FAIL, "Error opening device"},
    };
    int n = 0;
    for (const auto& [result, text] : refusals) {
        FakeUsbDevice refused("usb:8-" + std::to_string(++n), usbids::kPlaceholderVendorId,
                              usbids::kOpticalSensorProductId);
        refused.openResult = result;
        fake.addDevice(refused);
        EXPECT_FALSE(d.Open(refused.path));
        EXPECT_EQ(d.ErrorText().rfind(text, 0), 0u) << d.ErrorText();
    }

    FakeUsbDevice iso("usb:1-2", usbids::kPlaceholderVendorId, usbids::kOpticalSensorProductId);
    iso.endpoints = {{UsbPipeType::Bulk, 0x02, 64, 0}, {UsbPipeType::Isochronous, 0x81, 64, 1}};
    fake.addDevice(iso);
    EXPECT_FALSE(d.Open("usb:1-2"));
    EXPECT_EQ(d.ErrorText(), "Please upgrade KAVRO firmware. (2)");

    FakeUsbDevice noIn("usb:1-3", usbids::kPlaceholderVendorId, usbids::kOpticalSensorProductId);
    noIn.endpoints = {{UsbPipeType::Bulk, 0x02, 64, 0}};
    fake.addDevice(noIn);
    EXPECT_FALSE(d.Open("usb:1-3"));
    EXPECT_EQ(d.ErrorText(), "Please upgrade KAVRO firmware. (3)");
    EXPECT_EQ(d.stops, 2); // started, then stopped by each failing open

    const std::string ok = plug(usbids::kOpticalSensorProductId, "4");
    d.startResult = false;
    EXPECT_FALSE(d.Open(ok));
    EXPECT_EQ(d.ErrorText(), "Unable to initialize device");
    d.startText = "unable to retrieve serial number";
    EXPECT_FALSE(d.Open(ok));
    EXPECT_EQ(d.ErrorText(), "unable to retrieve serial number");
    EXPECT_EQ(d.stops, 2); // Stop follows only a successful Start
}

TEST_F(UsbDeviceOpen, OpenFirstTakesTheFirstThatOpensAndPathsMatchExactly)
{
    FakeUsbDevice busy("usb:1-1", usbids::kPlaceholderVendorId, usbids::kOpticalSensorProductId);
    busy.openResult = E_ACCESSDENIED;
    fake.addDevice(busy);
    const std::string second = plug(usbids::kOpticalSensorProductId, "2");
    plug(usbids::kWiredTargetProductId, "3");

    RecordingDevice d;
    ASSERT_TRUE(d.OpenFirst(usbids::opticalSensorDevices()));
    EXPECT_EQ(d.Path(), second);
    EXPECT_FALSE(d.Open(second)); // already open

    EXPECT_TRUE(DevicePathHasInterface("usb:1-3", usbids::wiredTargetDevices()));
    EXPECT_FALSE(DevicePathHasInterface("usb:1-3", usbids::opticalSensorDevices()));
    EXPECT_FALSE(DevicePathHasInterface("USB:1-3", usbids::wiredTargetDevices()));

    RecordingDevice none;
    EXPECT_FALSE(none.OpenFirst(usbids::pulseSensorDevices()));
}

TEST_F(UsbDeviceOpen, ControlRequestNeedsEveryByteAndAClosedDeviceSendsNothing)
{
    const std::string path = plug(usbids::kOpticalSensorProductId, "1");
    answer(path, 144, {1, 2, 3});
    RecordingDevice d;
    uint8_t buf[4];
    EXPECT_FALSE(d.ControlOut(1, 0, 0));
    ASSERT_TRUE(d.Open(path));
    EXPECT_FALSE(d.ControlRequest(144, 0, 0, buf, 4));
    EXPECT_TRUE(d.ControlRequest(144, 0, 0, buf, 3));
    const uint8_t out[2] = {7, 8};
    EXPECT_TRUE(d.ControlWrite(5, 6, 7, out, 2));
    EXPECT_EQ(fake.controlLog(path).back(), UsbControlRecord(UsbControlKind::Write, 5, 6, 7, 2, {7, 8}));
}

class UsbDeviceReading : public FakeUsbTest { };

TEST_F(UsbDeviceReading, BareReadsAreFramedAsAuxiliaryExceptForSelfFramingProducts)
{
    const std::string plain = plug(usbids::kTriggerSensorProductId, "1");
    const std::string self = plug(usbids::kHomeTargetProductId, "2");
    Observed<RecordingDevice> a;
    Observed<RecordingDevice> b;
    ASSERT_TRUE(a.Open(plain));
    ASSERT_TRUE(b.Open(self));
    fake.injectPacket(plain, {0x44, 1, 0, 0, 0, 9});
    fake.injectPacket(self, framedPacket(68, {5, 6}));
    ASSERT_TRUE(a.waitPackets(1));
    ASSERT_TRUE(b.waitPackets(1));
    EXPECT_THAT(a.got, ElementsAre(std::pair<char, Bytes>{'A', {0x44, 1, 0, 0, 0, 9}}));
    EXPECT_THAT(b.got, ElementsAre(std::pair<char, Bytes>{'D', {5, 6}}));
    EXPECT_EQ(fake.resetPipeCount(plain), 1); // the pipe is reset before the first read
}

TEST_F(UsbDeviceReading, UnframedDeviceGetsRawBytesWithoutAHeader)
{
    const std::string path = plug(usbids::kWirelessReceiverProductId, "1");
    struct Unframed : Observed<RecordingDevice> {
        Unframed() { framed = false; }
    } u;
    ASSERT_TRUE(u.Open(path));
    fake.injectPacket(path, {3, 68, 1});
    ASSERT_TRUE(u.waitPackets(1));
    EXPECT_THAT(u.got, ElementsAre(std::pair<char, Bytes>{'D', {3, 68, 1}}));
}

TEST_F(UsbDeviceReading, StallResetsThePipeAndReadingGoesOn)
{
    const std::string path = plug(usbids::kTriggerSensorProductId, "1");
    Observed<RecordingDevice> d;
    ASSERT_TRUE(d.Open(path));
    fake.injectReadError(path, USB_E_IO);
    fake.injectPacket(path, {1});
    ASSERT_TRUE(d.waitPackets(1));
    EXPECT_EQ(fake.resetPipeCount(path), 2);
    EXPECT_THAT(d.errors, ElementsAre(USB_E_IO));
    EXPECT_TRUE(d.IsOpen());
}

TEST_F(UsbDeviceReading, OtherErrorsAreRetriedAfterABackOffOnTheDeviceClock)
{
    VirtualClock clock;
    const std::string path = plug(usbids::kTriggerSensorProductId, "1");
    Observed<RecordingDevice> d;
    d.SetClock(clock);
    ASSERT_TRUE(d.Open(path));
    fake.injectReadError(path, USB_E_TIMEOUT);
    fake.injectPacket(path, {1});
    ASSERT_TRUE(clock.waitForSleepers(1));
    EXPECT_EQ(d.count(), 0u); // still backing off
    clock.advance(UsbDeviceReader::kRetryBackoffMs);
    ASSERT_TRUE(d.waitPackets(1));
    EXPECT_TRUE(d.IsOpen());
}

TEST_F(UsbDeviceReading, UnpluggedDeviceIsMarkedFailedUntilClosed)
{
    const std::string path = plug(usbids::kTriggerSensorProductId, "1");
    RecordingDevice d;
    ASSERT_TRUE(d.Open(path));
    fake.unplug(path);
    ASSERT_TRUE(eventually([&] { return d.IsFailed(); }));
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(d.LastError(), USB_E_NOT_CONNECTED);
    EXPECT_FALSE(d.ControlOut(1, 0, 0));
    d.Close();
    EXPECT_EQ(d.stops, 0); // a failed device takes no more requests
    plug(usbids::kTriggerSensorProductId, "1");
    EXPECT_TRUE(d.Open(path));
    EXPECT_FALSE(d.IsFailed());
}

TEST_F(UsbDeviceReading, AClassCanGiveUpOnAnyError)
{
    const std::string path = plug(usbids::kTriggerSensorProductId, "1");
    RecordingDevice d;
    d.stopOnError = true;
    ASSERT_TRUE(d.Open(path));
    fake.injectReadError(path, USB_E_TIMEOUT);
    ASSERT_TRUE(eventually([&] { return d.IsFailed(); }));
    EXPECT_EQ(d.LastError(), USB_E_TIMEOUT);
}

} // namespace
} // namespace kavro::testing
