#pragma once
// The optical sensor on the weapon: its versions and serial number, and every received item
// decoded into an optical sample raised with eventSignal on the reader thread.
#include "device/usb/optical_decoder.h"
#include "device/usb/usb_device.h"
#include "device/usb/usb_event.h"

#include <mutex>

namespace kavro {

class UsbOpticalSensor : public UsbDevice {
public:
    UsbOpticalSensor();
    ~UsbOpticalSensor() override;

    UsbEvent<const OpticalSample&> eventSignal;

    UsbFirmwareVersion Version() const;
    UsbSerialNumber SerialNumber() const;
    bool IsFramed() const { return framed; }

    // Settings of the decoder, written by the device model from the control thread.
    void SetSensorKind(int kind);
    void SetNominalSeparation(double separation);
    double NominalSeparation() const;
    void SetCalibration(const std::array<double, 4>& gains, double scaleDivisor);
    std::array<double, 4> Gains() const;
    double ScaleDivisor() const;
    void SetUseMeasuredAngle(bool use);
    void SetFixedAngle(double angle);
    double FixedAngle() const;

    // Sends the shot threshold (request 133) unless it equals the one sent last.
    bool SendShotThreshold(uint16_t threshold);
    uint16_t ShotThreshold() const;

protected:
    bool Start() override;
    void OnData(ByteSpan data) override;
    void OnAuxData(ByteSpan data) override;

private:
    void Raise(const std::vector<OpticalSample>& samples);

    mutable std::mutex stateLock_; // the decoder and versions, shared with the control thread
    OpticalDecoder decoder_;
    UsbFirmwareVersion version_;
    UsbSerialNumber serial_{};
};

} // namespace kavro
