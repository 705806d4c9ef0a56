#include "device/usb/usb_wireless_home_target.h"

#include "device/usb/usb_requests.h"

namespace kavro {

namespace {
bool isFlag(int v)
{
    return v == 0 || v == 1;
}
bool isLevel(int v)
{
    return v >= 0 && v <= 7;
}
} // namespace

UsbWirelessHomeTarget::~UsbWirelessHomeTarget()
{
    Close();
}

bool UsbWirelessHomeTarget::Start()
{
    UsbFirmwareVersion version;
    uint8_t word[4];
    if (ControlRequest(usbreq::kHomeVersion, 0, 0, word, sizeof word))
        version = UsbFirmwareVersion::fromWord(readU32(word));
    {
        std::lock_guard lock(lock_);
        version_ = version;
    }
    UsbSerialNumber serial{};
    if (!ControlRequest(usbreq::kHomeSerialNumber, 0, 0, serial.data(), serial.size())) {
        SetErrorText("unable to retrieve serial number");
        return false;
    }
    std::array<uint8_t, 16> state{};
    if (!ControlRequest(usbreq::kHomeTargetState, 0, 0, state.data(), state.size())) {
        SetErrorText("Unable to read target state");
        return false;
    }
    std::lock_guard lock(lock_);
    serial_ = serial;
    state_ = state;
    return true;
}

void UsbWirelessHomeTarget::Stop()
{
    ResetTarget();
    std::lock_guard lock(lock_);
    settings_ = {};
}

void UsbWirelessHomeTarget::OnData(ByteSpan data)
{
    splitRecordRun(data, [this](uint8_t kind, ByteSpan body) {
        if (kind == kPacketData)
            eventWirelessData(0, body);
    });
}

bool UsbWirelessHomeTarget::Send(uint8_t request, uint16_t value, uint16_t index)
{
    return ControlOut(request, value, index);
}

bool UsbWirelessHomeTarget::SetMode(int mode)
{
    if (!isFlag(mode) || !Send(usbreq::kHomeMode, static_cast<uint16_t>(mode), usbreq::kHomeModeIndex))
        return false;
    std::lock_guard lock(lock_);
    settings_.mode = mode;
    if (mode == 0)
        settings_.switch3 = 0;
    return true;
}

bool UsbWirelessHomeTarget::SetLightMasks(uint8_t mask1, uint8_t mask2)
{
    if (!Send(usbreq::kHomeLightMasks, static_cast<uint16_t>(mask1 | (mask2 << 8)), 0))
        return false;
    std::lock_guard lock(lock_);
    settings_.lightMask1 = mask1;
    settings_.lightMask2 = mask2;
    return true;
}

bool UsbWirelessHomeTarget::SetLightMask1(uint8_t mask)
{
    return SetLightMasks(mask, Settings().lightMask2);
}

bool UsbWirelessHomeTarget::SetLightMask2(uint8_t mask)
{
    return SetLightMasks(Settings().lightMask1, mask);
}

bool UsbWirelessHomeTarget::SetLedLevel(int level)
{
    if (!isLevel(level) || !Send(usbreq::kHomeLedLevel, static_cast<uint16_t>(level), 0))
        return false;
    std::lock_guard lock(lock_);
    settings_.ledLevel = level;
    return true;
}

bool UsbWirelessHomeTarget::SetLampLevel(int level)
{
    if (!isLevel(level) || !Send(usbreq::kHomeLampLevel, static_cast<uint16_t>(level), 0))
        return false;
    std::lock_guard lock(lock_);
    settings_.lampLevel = level;
    return true;
}

bool UsbWirelessHomeTarget::SetSwitch1(int on)
{
    if (!isFlag(on) || !Send(usbreq::kHomeSwitch1, static_cast<uint16_t>(on), 0))
        return false;
    std::lock_guard lock(lock_);
    settings_.switch1 = on;
    if (on == 0)
        settings_.switch2 = settings_.switch3 = 0;
    return true;
}

bool UsbWirelessHomeTarget::SetSwitch2(int on)
{
    if (!isFlag(on) || !Send(usbreq::kHomeSwitch2, static_cast<uint16_t>(on), 0))
        return false;
    std::lock_guard lock(lock_);
    settings_.switch2 = on;
    return true;
}

bool UsbWirelessHomeTarget::SetSwitch3(int on)
{
    if (!isFlag(on) || !Send(usbreq::kHomeSwitch3, static_cast<uint16_t>(on), 0))
        return false;
    std::lock_guard lock(lock_);
    settings_.switch3 = on;
    return true;
}

bool UsbWirelessHomeTarget::SetIndexedSetting1(uint16_t value, uint8_t index)
{
    if (!Send(usbreq::kHomeIndexedSetting1, value, index))
        return false;
    std::lock_guard lock(lock_);
    settings_.indexedValue1 = value;
    settings_.indexedIndex1 = index;
    return true;
}

bool UsbWirelessHomeTarget::SetIndexedSetting2(uint16_t value, uint8_t index)
{
    if (!Send(usbreq::kHomeIndexedSetting2, value, index))
        return false;
    std::lock_guard lock(lock_);
    settings_.indexedValue2 = value;
    settings_.indexedIndex2 = index;
    return true;
}

bool UsbWirelessHomeTarget::ResetTarget()
{
    if (!Send(usbreq::kHomeReset, 0, 0))
        return false;
    std::lock_guard lock(lock_);
    settings_ = {};
    return true;
}

UsbFirmwareVersion UsbWirelessHomeTarget::Version() const
{
    std::lock_guard lock(lock_);
    return version_;
}

UsbSerialNumber UsbWirelessHomeTarget::SerialNumber() const
{
    std::lock_guard lock(lock_);
    return serial_;
}

std::array<uint8_t, 16> UsbWirelessHomeTarget::TargetState() const
{
    std::lock_guard lock(lock_);
    return state_;
}

HomeTargetSettings UsbWirelessHomeTarget::Settings() const
{
    std::lock_guard lock(lock_);
    return settings_;
}

} // namespace kavro
