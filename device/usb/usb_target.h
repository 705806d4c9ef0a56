#pragma once
// The wired target controller: versions, serial number, and its connection reports.
#include "device/usb/usb_device.h"
#include "device/usb/usb_event.h"

namespace kavro {

class UsbTarget : public UsbDevice {
public:
    UsbTarget() = default;
    ~UsbTarget() override;

    // A target was plugged to or unplugged from the controller (report byte 2).
    UsbEvent<> eventConnect;
    // Report byte 1; its meaning is the controller's own.
    UsbEvent<> eventReport1;

    UsbFirmwareVersion Version() const;
    UsbSerialNumber SerialNumber() const;

protected:
    bool Start() override;
    void OnAuxData(ByteSpan data) override;

private:
    mutable std::mutex lock_;
    UsbFirmwareVersion version_;
    UsbSerialNumber serial_{};
};

} // namespace kavro
