#include "device/usb/usb_pulse_sensor.h"

#include "device/usb/usb_requests.h"

namespace kavro {

UsbPulseSensor::~UsbPulseSensor()
{
    Close();
}

bool UsbPulseSensor::Start()
{
    UsbFirmwareVersion version;
    uint8_t word[4];
    if (ControlRequest(usbreq::kPulseVersion, 0, 0, word, sizeof word))
        version = UsbFirmwareVersion::fromWord(readU32(word));
    std::lock_guard lock(lock_);
    version_ = version;
    previousBeat_.reset();
    return true;
}

void UsbPulseSensor::OnError(HRESULT, bool& stop)
{
    stop = true;
}

void UsbPulseSensor::OnAuxData(ByteSpan)
{
    const DATE now = GetClock().localNow();
    bool beat = false;
    {
        std::lock_guard lock(lock_);
        if (previousBeat_) {
            const double sinceMs = (now - *previousBeat_) * 86400000.0;
            beat = sinceMs >= kMinBeatIntervalMs - 1e-3; // DATE arithmetic loses a few microseconds
        }
        previousBeat_ = now;
    }
    if (beat)
        eventHeartBeat(now);
}

UsbFirmwareVersion UsbPulseSensor::Version() const
{
    std::lock_guard lock(lock_);
    return version_;
}

void UsbPulseSensor::ClearPreviousBeat()
{
    std::lock_guard lock(lock_);
    previousBeat_.reset();
}

} // namespace kavro
