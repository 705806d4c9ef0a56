#pragma once
// The pulse sensor: each packet is a heart beat; beats closer than 200 ms to the previous one
// are echoes and raise nothing.
#include "device/usb/usb_device.h"
#include "device/usb/usb_event.h"

#include <optional>

namespace kavro {

class UsbPulseSensor : public UsbDevice {
public:
    static constexpr double kMinBeatIntervalMs = 200.0;

    UsbPulseSensor() = default;
    ~UsbPulseSensor() override;

    // The local time of the beat (days).
    UsbEvent<DATE> eventHeartBeat;

    UsbFirmwareVersion Version() const;
    void ClearPreviousBeat();

protected:
    bool Start() override;
    void OnError(HRESULT code, bool& stop) override;
    void OnAuxData(ByteSpan data) override;

private:
    mutable std::mutex lock_;
    UsbFirmwareVersion version_;
    std::optional<DATE> previousBeat_;
};

} // namespace kavro
