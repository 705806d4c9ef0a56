#include "device/usb/usb_wireless_target.h"

#include "device/usb/usb_requests.h"

namespace kavro {

UsbWirelessTarget::UsbWirelessTarget()
{
    framed = false;
}

UsbWirelessTarget::~UsbWirelessTarget()
{
    Close();
}

bool UsbWirelessTarget::Start()
{
    UsbSerialNumber serial{};
    if (!ControlRequest(usbreq::kReceiverSerialNumber, 0, 0, serial.data(), serial.size())) {
        SetErrorText("unable to retrieve serial number");
        return false;
    }
    std::lock_guard lock(lock_);
    serial_ = serial;
    return true;
}

void UsbWirelessTarget::OnData(ByteSpan data)
{
    splitRecordRun(data, [this](uint8_t kind, ByteSpan body) {
        if (kind == kPacketData) {
            if (!body.empty())
                eventTarget(body[0] & 0x1F, body.subspan(1));
        } else if (kind == kPacketAux) {
            OnAuxData(body);
        }
    });
}

void UsbWirelessTarget::OnAuxData(ByteSpan data)
{
    eventWirelessData(data);
}

UsbSerialNumber UsbWirelessTarget::SerialNumber() const
{
    std::lock_guard lock(lock_);
    return serial_;
}

} // namespace kavro
