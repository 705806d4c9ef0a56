#include "device/usb/usb_optical_sensor.h"

#include "device/usb/usb_requests.h"

namespace kavro {

UsbOpticalSensor::UsbOpticalSensor() = default;

UsbOpticalSensor::~UsbOpticalSensor()
{
    Close();
}

bool UsbOpticalSensor::Start()
{
    // The version decides the framing and the item format: a sensor that cannot tell it would
    // have its packets decoded in the wrong form.
    uint8_t word[4];
    if (!ControlRequest(usbreq::kOpticalVersion, 0, 0, word, sizeof word)) {
        SetErrorText("Unable to retrieve optical sensor's firmware version");
        return false;
    }
    const UsbFirmwareVersion version = UsbFirmwareVersion::fromWord(readU32(word));
    UsbSerialNumber serial{};
    const bool haveSerial = ControlRequest(usbreq::kSerialNumber, 0, 0, serial.data(), serial.size());
    {
        std::lock_guard lock(stateLock_);
        decoder_.Reset();
        version_ = version;
        if (haveSerial)
            serial_ = serial;
    }
    if (!haveSerial) {
        SetErrorText("unable to retrieve serial number");
        return false;
    }
    framed = version.major > 4 || version.minor > 9;
    return true;
}

void UsbOpticalSensor::OnData(ByteSpan data)
{
    std::vector<OpticalSample> samples;
    {
        std::lock_guard lock(stateLock_);
        if (version_.minor < 10)
            decoder_.DecodeOldItems(data, samples);
    }
    Raise(samples);
}

void UsbOpticalSensor::OnAuxData(ByteSpan data)
{
    std::vector<OpticalSample> samples;
    {
        std::lock_guard lock(stateLock_);
        if (version_.major > 4)
            decoder_.DecodeNewItems(data, samples);
        else if (version_.minor > 9)
            decoder_.DecodeHalfItem(data, samples);
    }
    Raise(samples);
}

void UsbOpticalSensor::Raise(const std::vector<OpticalSample>& samples)
{
    // Raised outside the lock: the model's handler reads the sensor's settings.
    for (const OpticalSample& s : samples)
        eventSignal(s);
}

UsbFirmwareVersion UsbOpticalSensor::Version() const
{
    std::lock_guard lock(stateLock_);
    return version_;
}

UsbSerialNumber UsbOpticalSensor::SerialNumber() const
{
    std::lock_guard lock(stateLock_);
    return serial_;
}

void UsbOpticalSensor::SetSensorKind(int kind)
{
    std::lock_guard lock(stateLock_);
    decoder_.sensorKind = kind;
}

void UsbOpticalSensor::SetNominalSeparation(double separation)
{
    std::lock_guard lock(stateLock_);
    decoder_.nominalSeparation = separation;
}

double UsbOpticalSensor::NominalSeparation() const
{
    std::lock_guard lock(stateLock_);
    return decoder_.nominalSeparation;
}

void UsbOpticalSensor::SetCalibration(const std::array<double, 4>& gains, double scaleDivisor)
{
    std::lock_guard lock(stateLock_);
    decoder_.gains = gains;
    decoder_.scaleDivisor = scaleDivisor;
}

std::array<double, 4> UsbOpticalSensor::Gains() const
{
    std::lock_guard lock(stateLock_);
    return decoder_.gains;
}

double UsbOpticalSensor::ScaleDivisor() const
{
    std::lock_guard lock(stateLock_);
    return decoder_.scaleDivisor;
}

void UsbOpticalSensor::SetUseMeasuredAngle(bool use)
{
    std::lock_guard lock(stateLock_);
    decoder_.useMeasuredAngle = use;
}

void UsbOpticalSensor::SetFixedAngle(double angle)
{
    std::lock_guard lock(stateLock_);
    decoder_.fixedAngle = angle;
}

double UsbOpticalSensor::FixedAngle() const
{
    std::lock_guard lock(stateLock_);
    return decoder_.fixedAngle;
}

bool UsbOpticalSensor::SendShotThreshold(uint16_t threshold)
{
    if (ShotThreshold() == threshold)
        return true;
    if (!ControlOut(usbreq::kOpticalShotThreshold, threshold, 0))
        return false;
    std::lock_guard lock(stateLock_);
    decoder_.shotThreshold = threshold;
    return true;
}

uint16_t UsbOpticalSensor::ShotThreshold() const
{
    std::lock_guard lock(stateLock_);
    return decoder_.shotThreshold;
}

} // namespace kavro
