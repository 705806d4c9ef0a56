#pragma once
// The trigger sensor: every reading of the trigger pressure goes through a smoothing filter
// whose output the device model samples.
#include "device/filters/iir_filter.h"
#include "device/usb/usb_device.h"

namespace kavro {

class UsbTriggerSensor : public UsbDevice {
public:
    UsbTriggerSensor() = default;
    ~UsbTriggerSensor() override;

    double FilterOutput() const;

protected:
    bool Start() override;
    void OnError(HRESULT code, bool& stop) override;
    void OnAuxData(ByteSpan data) override;

private:
    mutable std::mutex lock_;
    IirFilter filter_;
};

} // namespace kavro
