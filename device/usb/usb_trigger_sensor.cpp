#include "device/usb/usb_trigger_sensor.h"

namespace kavro {

UsbTriggerSensor::~UsbTriggerSensor()
{
    Close();
}

bool UsbTriggerSensor::Start()
{
    std::lock_guard lock(lock_);
    filter_.Design(0.05, IirFilter::LowPass, 0.05, 2);
    return true;
}

void UsbTriggerSensor::OnError(HRESULT, bool& stop)
{
    // A companion sensor that can be plugged in again at any time: give it up and let the
    // model open it afresh.
    stop = true;
}

void UsbTriggerSensor::OnAuxData(ByteSpan data)
{
    if (data.size() < 2)
        return;
    std::lock_guard lock(lock_);
    filter_.Filter(readU16(data.data()));
}

double UsbTriggerSensor::FilterOutput() const
{
    std::lock_guard lock(lock_);
    return filter_.LastOutput();
}

} // namespace kavro
