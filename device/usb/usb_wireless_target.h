#pragma once
// The receiver of the wireless link: relays commands to targets (request 240/241, in UsbDevice)
// and splits what it receives into target reports and wireless sensor packets.
#include "device/usb/usb_device.h"
#include "device/usb/usb_event.h"

namespace kavro {

class UsbWirelessTarget : public UsbDevice {
public:
    UsbWirelessTarget();
    ~UsbWirelessTarget() override;

    // A report of wireless target `number` (1..31), its bytes after the number.
    UsbEvent<int, ByteSpan> eventTarget;
    // A packet of a wireless sensor (see WirelessLink).
    UsbEvent<ByteSpan> eventWirelessData;

    UsbSerialNumber SerialNumber() const;

protected:
    bool Start() override;
    void OnData(ByteSpan data) override;
    void OnAuxData(ByteSpan data) override;

private:
    mutable std::mutex lock_;
    UsbSerialNumber serial_{};
};

} // namespace kavro
