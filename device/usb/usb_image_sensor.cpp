#include "device/usb/usb_image_sensor.h"

#include "com/numeric.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace kavro {

namespace {

// Vendor requests of the image sensor.
constexpr uint8_t kReqVersion = 68; // in, 4 bytes: firmware low, hardware high
constexpr uint8_t kReqSerial = 64; // in, 8 bytes
constexpr uint8_t kReqProtocol = 69; // in, 4 bytes: major low, minor high
constexpr uint8_t kReqDeviceState = 208; // in, 2 bytes
constexpr uint8_t kReqFlashLength = 162; // in, 2 bytes
constexpr uint8_t kReqFlashBlock = 163; // in, the length read before
constexpr uint8_t kReqStart = 128;
constexpr uint8_t kReqStop = 129;
constexpr uint8_t kReqGain = 130;
constexpr uint8_t kReqSwitch = 132;
constexpr uint8_t kReqExposure = 139;
constexpr uint8_t kReqMoveWindow = 140; // value x, index y
constexpr uint8_t kReqSwitch146 = 146;
constexpr uint8_t kReqWindowSubMode = 157;
constexpr uint8_t kReqSwitch158 = 158;
constexpr uint8_t kReqSwitch159 = 159;
constexpr uint8_t kReqListKind = 177; // 1: outline target, 0: ring target
constexpr uint8_t kReqListChunk = 178; // value: entry count; data: 3 bytes per entry
constexpr uint8_t kReqListEnd = 179;
constexpr uint8_t kReqWindowOnOffset = 184;
constexpr uint8_t kReqWindowOnCentre = 185;
constexpr uint8_t kReqRegister = 186; // value, index register number

constexpr size_t kEntriesPerChunk = 21;
constexpr uint16_t kResetGain = 30;

// Firmware and protocol limits of the two sensor generations.
constexpr uint16_t kNewestHardware = 5;
constexpr uint16_t kQv01MinFirmware = 14;
constexpr uint16_t kQv01MaxFirmware = 26;
constexpr uint16_t kQv02MinFirmware = 21;
constexpr uint16_t kProtocolFromFirmware = 21; // asked only above 20
constexpr uint16_t kDeviceStateFromFirmware = 23;
constexpr uint16_t kNewestProtocolMajor = 17;

// The registers written, and the values that are not the caller's.
constexpr int kRegGainLimit = 1;
constexpr int kRegLevel = 2;
constexpr int kRegBinning = 3;
constexpr int kRegAfterExposure = 4;
constexpr int kRegFirst = 5;
constexpr int kRegTargetSize = 6;

const QString kSettingsRoot = QStringLiteral("software\\Kavro\\Kavro Professional");

bool readOption(const SettingsKey& key, const char* name, bool fallback)
{
    uint32_t v = 0;
    if (!key.isValid() || FAILED(key.readDword(QString::fromLatin1(name), &v)))
        return fallback;
    return v != 0;
}

std::string format(const char* fmt, ...)
{
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

uint16_t wordOf(double pixels)
{
    return static_cast<uint16_t>(truncSaturated(pixels));
}

} // namespace

UsbImageSensor::UsbImageSensor()
    : assembler_([this](const ImageStatus& s) { OnStatus(s); },
                 [this](GreyImage image) {
                     std::lock_guard lock(state_);
                     lastImage_ = std::move(image);
                 })
{
    // Framing stays on: the access layer's framed flag is on unless a class turns it off, and
    // this class's own description never does. The reads of this product are passed on unwrapped
    // (it frames its data itself), so each sensor packet arrives as the payload of a data packet.
    SettingsKey key;
    SettingsKey::open(SettingsRoot::CurrentUser, kSettingsRoot, &key);
    indoor_ = readOption(key, "QV_IndoorMode", true);
    lowLight_ = readOption(key, "QV_LowLightingMode", false);
    filterForeign_ = readOption(key, "QV_FilterForeignShots", true);
}

UsbImageSensor::~UsbImageSensor()
{
    Close();
}

void UsbImageSensor::SetStatusCallback(StatusCallback callback)
{
    onStatus_ = std::move(callback);
}

void UsbImageSensor::SetTarget(ImageSensorTarget target)
{
    std::lock_guard lock(state_);
    target_ = std::move(target);
}

bool UsbImageSensor::Fails(const char* text)
{
    SetErrorText(text);
    return false;
}

bool UsbImageSensor::Start()
{
    assembler_.Reset();
    return Identify() && ReadFlash();
}

bool UsbImageSensor::Identify()
{
    ImageSensorVersion v;
    uint8_t word[4];
    if (!ControlRequest(kReqVersion, 0, 0, word, sizeof word))
        return Fails("unable to retrieve device version");
    v.firmware = readU16(word);
    v.hardware = readU16(word + 2);
    UsbSerialNumber serial{};
    if (!ControlRequest(kReqSerial, 0, 0, serial.data(), serial.size()))
        return Fails("unable to retrieve device serial number");
    if (v.firmware >= kProtocolFromFirmware) {
        if (!ControlRequest(kReqProtocol, 0, 0, word, sizeof word))
            return Fails("unable to retrieve protocol version");
        v.protocolMajor = readU16(word);
        v.protocolMinor = readU16(word + 2);
    }
    {
        std::lock_guard lock(state_);
        version_ = v;
        serial_ = serial;
    }

    const char* unsupported
        = "Unsupported KAVRO QV sensor version hw:%d, fw:%d. Please update to the latest version of KAVRO software.";
    if (v.hardware > kNewestHardware || (v.hardware == 1 && v.firmware > kQv01MaxFirmware))
        return Fails(format(unsupported, v.hardware, v.firmware).c_str());
    if (v.hardware == 1 && v.firmware < kQv01MinFirmware)
        return Fails(format("Please update QV-01 firmware to version %d or better. (hw:%d, fw:%d)", kQv01MinFirmware,
                            v.hardware, v.firmware)
                         .c_str());
    if (v.hardware > 1 && v.firmware < kQv02MinFirmware)
        return Fails(format("Please update QV-02 firmware to version %d or better. (hw:%d, fw:%d)", kQv02MinFirmware,
                            v.hardware, v.firmware)
                         .c_str());
    if (v.protocolMajor > kNewestProtocolMajor)
        return Fails(format("Unsupported KAVRO QV sensor protocol version major:%d, minor:%d. Please update to the "
                            "latest version of KAVRO software.",
                            v.protocolMajor, v.protocolMinor)
                         .c_str());

    uint16_t state = kUnknownDeviceState;
    if (v.firmware >= kDeviceStateFromFirmware) {
        uint8_t bytes[2];
        if (!ControlRequest(kReqDeviceState, 0, 0, bytes, sizeof bytes))
            return Fails("unable to retrieve device state");
        state = readU16(bytes);
    }
    std::lock_guard lock(state_);
    deviceState_ = state;
    return true;
}

bool UsbImageSensor::ReadFlash()
{
    uint8_t lengthBytes[2];
    if (!ControlRequest(kReqFlashLength, 0, 0, lengthBytes, sizeof lengthBytes))
        return Fails("unable to retrieve flash block length");
    const uint16_t length = readU16(lengthBytes);
    if (length > FlashBlock::kMaxSize)
        return Fails("unsupported device");
    std::vector<uint8_t> block(length);
    if (!ControlRequest(kReqFlashBlock, 0, 0, block.data(), block.size()))
        return Fails("unable to read flash block");
    FlashBlock flash;
    std::string error;
    if (!parseFlashBlock(block, &flash, &error))
        return Fails(error.c_str());
    std::lock_guard lock(state_);
    flash_ = flash;
    return true;
}

bool UsbImageSensor::StartStreaming()
{
    SetErrorText({});
    if (!ControlOut(kReqStart, 0, 0))
        return Fails("unable to start device");
    return true;
}

void UsbImageSensor::Stop()
{
    ControlOut(kReqStop, 0, 0);
    // The camera needs the pause before it takes the next request or is unplugged.
    GetClock().sleep(kStopPauseMs, nullptr);
}

bool UsbImageSensor::ResetSequence()
{
    const char* failed = "unable to reset device";
    SetErrorText(failed);
    bool indoor, lowLight;
    {
        std::lock_guard lock(state_);
        offsetX_ = flash_.centreX;
        offsetY_ = flash_.centreY;
        windowMode_ = 0;
        indoor = indoor_;
        lowLight = lowLight_;
    }
    const bool ok = WriteRegister(kRegFirst, 0) && SetIndoorMode(indoor) && SetLowLightingMode(lowLight)
        && ControlOut(kReqGain, kResetGain, 0) && SetSwitches() && ControlOut(kReqSwitch, 0, 0)
        && WriteRegister(kRegGainLimit, 200) && WriteRegister(kRegLevel, 255) && SetWindowMode(kWindowOnFlashCentre);
    if (!ok) {
        // A window set-up that could not be built says why; a failed request only that it failed.
        const std::string why = ErrorText();
        if (why.empty() || why == failed)
            SetErrorText(failed);
        return false;
    }
    SetErrorText({});
    return true;
}

bool UsbImageSensor::SetSwitches()
{
    bool s158, s159, s146;
    {
        std::lock_guard lock(state_);
        s158 = switch158_;
        s159 = switch159_;
        s146 = switch146_;
    }
    return ControlOut(kReqSwitch158, s158, 0) && ControlOut(kReqSwitch159, s159, 0)
        && ControlOut(kReqSwitch146, s146, 0);
}

bool UsbImageSensor::SetWindowMode(int mode)
{
    if (mode != kWindowOnFlashCentre && mode != kWindowOnAimingOffset)
        return false;
    uint16_t x, y;
    {
        std::lock_guard lock(state_);
        if (mode == kWindowOnFlashCentre) {
            x = flash_.centreX;
            y = flash_.centreY;
        } else {
            x = wordOf(offsetX_);
            y = wordOf(offsetY_);
        }
    }
    if (!ControlOut(mode == kWindowOnFlashCentre ? kReqWindowOnCentre : kReqWindowOnOffset, x, y))
        return false;
    {
        std::lock_guard lock(state_);
        calibrated2_ = false;
        windowMode_ = mode;
    }
    return WindowSetUp() && ControlOut(kReqSwitch, 0, 0);
}

bool UsbImageSensor::WindowSetUp()
{
    ImageSensorTarget target;
    float lensFigure;
    bool indoor, lowLight;
    int mode;
    {
        std::lock_guard lock(state_);
        target = target_;
        lensFigure = flash_.lensFigure;
        indoor = indoor_;
        lowLight = lowLight_;
        // Before any mode is set (during the reset sequence) the window is the calibration one.
        mode = windowMode_ == kWindowOnAimingOffset ? kWindowOnAimingOffset : kWindowOnFlashCentre;
    }
    if (target.marks.empty())
        return Fails("unable to reset device: the target has no marks for the camera");
    const double scale = pixelScaleFor(target.distance, lensFigure);
    if (std::isnan(scale))
        return Fails("unable to reset device: the shooting event gives no distance to the target");
    std::array<PixelList, 3> lists;
    for (size_t i = 0; i < kBinnings.size(); ++i)
        lists[i] = buildPixelList(target.marks, scale, kBinnings[i]);
    const PixelList& list = lists[chooseBinning(mode, lists)];
    if (!list.fits)
        return Fails("unable to reset device: the target is too large for the camera at this distance");
    int32_t size = 0;
    if (!checkedRound(static_cast<float>(target.targetSize * 1000.0 / scale), &size) || size < 0 || size > 0xFFFF)
        return Fails("unable to reset device: the target is too large for the camera at this distance");
    {
        std::lock_guard lock(state_);
        pixelScale_ = scale;
        binning_ = list.binning;
        windowExtent_ = list.fullExtent;
    }
    if (!WriteRegister(kRegBinning, static_cast<int16_t>(list.binning))
        || !ControlOut(kReqWindowSubMode, windowSubModeFor(indoor, lowLight, list.binning, mode), 0)
        || !ControlOut(kReqExposure, exposureFor(indoor, lowLight), 0) || !WriteRegister(kRegAfterExposure, 0)
        || !ControlOut(kReqListKind, target.kind == ImageSensorTarget::Outline ? 1 : 0, 0))
        return false;
    const size_t count = list.entries.size() / 3;
    for (size_t first = 0; first < count; first += kEntriesPerChunk) {
        const size_t n = std::min(kEntriesPerChunk, count - first);
        if (!ControlWrite(kReqListChunk, static_cast<uint16_t>(n), 0, list.entries.data() + first * 3, n * 3))
            return false;
    }
    return ControlOut(kReqListEnd, 0, 0)
        && WriteRegister(kRegTargetSize, static_cast<int16_t>(static_cast<uint16_t>(size)));
}

bool UsbImageSensor::WriteRegister(int reg, int16_t value)
{
    if (reg < 0 || reg >= kRegisterCount)
        return false;
    if (!ControlOut(kReqRegister, static_cast<uint16_t>(value), static_cast<uint16_t>(reg)))
        return false;
    std::lock_guard lock(state_);
    registers_[reg] = value;
    return true;
}

bool UsbImageSensor::SetIndoorMode(bool on)
{
    {
        std::lock_guard lock(state_);
        indoor_ = on;
    }
    return WindowSetUp();
}

bool UsbImageSensor::SetLowLightingMode(bool on)
{
    {
        std::lock_guard lock(state_);
        lowLight_ = on;
    }
    return WindowSetUp();
}

void UsbImageSensor::SetFilterForeignShots(bool on)
{
    std::lock_guard lock(state_);
    filterForeign_ = on;
}

bool UsbImageSensor::SetPreview(bool on)
{
    if (!ControlOut(kReqSwitch, on ? 1 : 0, 0))
        return false;
    {
        std::lock_guard lock(state_);
        switch159_ = !on;
    }
    return ControlOut(kReqSwitch159, on ? 0 : 1, 0);
}

bool UsbImageSensor::SetGain(uint16_t value)
{
    return ControlOut(kReqGain, value, 0);
}

bool UsbImageSensor::SendSwitch(uint16_t value)
{
    return ControlOut(kReqSwitch, value, 0);
}

bool UsbImageSensor::MoveAimingOffset(double x, double y)
{
    SetAimingOffset(x, y);
    return ControlOut(kReqMoveWindow, wordOf(x), wordOf(y));
}

void UsbImageSensor::OnData(ByteSpan data)
{
    assembler_.Feed(data);
}

void UsbImageSensor::OnStatus(const ImageStatus& status)
{
    StatusDecodeContext context;
    {
        std::lock_guard lock(state_);
        context = {offsetX_, offsetY_, pixelScale_, filterForeign_};
    }
    SampleRecord record;
    statusToRecord(status, context, &record);
    if (onStatus_)
        onStatus_(record);
}

bool UsbImageSensor::IndoorMode() const
{
    std::lock_guard lock(state_);
    return indoor_;
}
bool UsbImageSensor::LowLightingMode() const
{
    std::lock_guard lock(state_);
    return lowLight_;
}
bool UsbImageSensor::FilterForeignShots() const
{
    std::lock_guard lock(state_);
    return filterForeign_;
}
ImageSensorVersion UsbImageSensor::Version() const
{
    std::lock_guard lock(state_);
    return version_;
}
UsbSerialNumber UsbImageSensor::Serial() const
{
    std::lock_guard lock(state_);
    return serial_;
}
uint16_t UsbImageSensor::DeviceState() const
{
    std::lock_guard lock(state_);
    return deviceState_;
}
FlashBlock UsbImageSensor::Flash() const
{
    std::lock_guard lock(state_);
    return flash_;
}
double UsbImageSensor::PixelScale() const
{
    std::lock_guard lock(state_);
    return pixelScale_;
}
int UsbImageSensor::WindowMode() const
{
    std::lock_guard lock(state_);
    return windowMode_;
}
int UsbImageSensor::Binning() const
{
    std::lock_guard lock(state_);
    return binning_;
}
int UsbImageSensor::WindowExtent() const
{
    std::lock_guard lock(state_);
    return windowExtent_;
}
uint16_t UsbImageSensor::ShotThreshold() const
{
    std::lock_guard lock(state_);
    return shotThreshold_;
}
GreyImage UsbImageSensor::LastImage() const
{
    std::lock_guard lock(state_);
    return lastImage_;
}

int16_t UsbImageSensor::Register(int reg) const
{
    std::lock_guard lock(state_);
    return reg >= 0 && reg < kRegisterCount ? registers_[reg] : 0;
}

void UsbImageSensor::AimingOffset(double* x, double* y) const
{
    std::lock_guard lock(state_);
    *x = offsetX_;
    *y = offsetY_;
}

void UsbImageSensor::SetAimingOffset(double x, double y)
{
    std::lock_guard lock(state_);
    offsetX_ = x;
    offsetY_ = y;
}

void UsbImageSensor::SetShotThreshold(uint16_t value)
{
    std::lock_guard lock(state_);
    shotThreshold_ = value;
}

bool UsbImageSensor::CalibrationFlag(int which) const
{
    std::lock_guard lock(state_);
    return which == 1 ? calibrated1_ : which == 2 ? calibrated2_ : false;
}

void UsbImageSensor::SetCalibrationFlags()
{
    std::lock_guard lock(state_);
    calibrated1_ = true;
    calibrated2_ = true;
}

} // namespace kavro
