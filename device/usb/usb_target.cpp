#include "device/usb/usb_target.h"

#include "device/usb/usb_requests.h"

namespace kavro {

UsbTarget::~UsbTarget()
{
    Close();
}

bool UsbTarget::Start()
{
    UsbFirmwareVersion version;
    uint8_t word[4];
    if (ControlRequest(usbreq::kTargetVersion, 0, 0, word, sizeof word))
        version = UsbFirmwareVersion::fromWord(readU32(word));
    UsbSerialNumber serial{};
    const bool haveSerial = ControlRequest(usbreq::kSerialNumber, 0, 0, serial.data(), serial.size());
    std::lock_guard lock(lock_);
    version_ = version;
    if (!haveSerial) {
        SetErrorText("unable to retrieve serial number");
        return false;
    }
    serial_ = serial;
    return true;
}

void UsbTarget::OnAuxData(ByteSpan data)
{
    if (data.empty())
        return;
    if (data[0] == 2)
        eventConnect();
    else if (data[0] == 1)
        eventReport1();
}

UsbFirmwareVersion UsbTarget::Version() const
{
    std::lock_guard lock(lock_);
    return version_;
}

UsbSerialNumber UsbTarget::SerialNumber() const
{
    std::lock_guard lock(lock_);
    return serial_;
}

} // namespace kavro
