#pragma once
// The camera-based sensor: identification and version checks, the camera window built from the
// target's marks, the lighting switches, streaming, and the statuses it sends turned into
// sample records. Requests come from the control thread; statuses are decoded on the reader
// thread and handed to the status callback.
#include "device/usb/grey_image.h"
#include "device/usb/image_sensor_status.h"
#include "device/usb/image_sensor_window.h"
#include "device/usb/usb_device.h"

#include <functional>
#include <mutex>

namespace kavro {

struct ImageSensorVersion {
    uint16_t firmware = 0;
    uint16_t hardware = 0;
    uint16_t protocolMajor = 0; // 0 when not asked
    uint16_t protocolMinor = 0;
};

// What the device model tells the sensor about the target being shot at.
struct ImageSensorTarget {
    enum Kind : uint8_t { Rings = 0, Outline = 8 };
    Kind kind = Rings;
    double distance = 0; // metres
    double targetSize = 0; // metres
    std::vector<ImageSensorMark> marks;
};

class UsbImageSensor : public UsbDevice {
public:
    static constexpr int kRegisterCount = 11;
    static constexpr uint16_t kUnknownDeviceState = 4095;
    static constexpr uint16_t kDefaultShotThreshold = 100;
    static constexpr uint32_t kStopPauseMs = 500;

    using StatusCallback = std::function<void(const SampleRecord&)>;

    // Reads the lighting and foreign-shot options from the user's settings.
    UsbImageSensor();
    ~UsbImageSensor() override;

    // Set while the device is closed.
    void SetStatusCallback(StatusCallback callback);
    void SetTarget(ImageSensorTarget target);

    // Each failure leaves a message for the user in ErrorText.
    bool ResetSequence();
    bool StartStreaming();

    bool SetWindowMode(int mode);
    bool SetIndoorMode(bool on);
    bool SetLowLightingMode(bool on);
    void SetFilterForeignShots(bool on);
    // The preview switch: streaming of images for the calibration dialog.
    bool SetPreview(bool on);
    bool SetGain(uint16_t value);
    // The switch that the model also sends to its companion sensors at stop.
    bool SendSwitch(uint16_t value);
    // Moves the tracking window to a new aiming offset (pixels).
    bool MoveAimingOffset(double x, double y);
    bool WriteRegister(int reg, int16_t value);

    bool IndoorMode() const;
    bool LowLightingMode() const;
    bool FilterForeignShots() const;
    ImageSensorVersion Version() const;
    UsbSerialNumber Serial() const;
    uint16_t DeviceState() const;
    FlashBlock Flash() const;
    double PixelScale() const;
    int WindowMode() const;
    int Binning() const;
    int WindowExtent() const;
    int16_t Register(int reg) const;
    void AimingOffset(double* x, double* y) const;
    void SetAimingOffset(double x, double y);
    uint16_t ShotThreshold() const;
    void SetShotThreshold(uint16_t value);
    // Calibration flag 1 is set by a capture; flag 2 too, and every window change clears it.
    bool CalibrationFlag(int which) const;
    void SetCalibrationFlags();
    GreyImage LastImage() const;

protected:
    bool Start() override;
    void Stop() override;
    void OnData(ByteSpan data) override;

private:
    bool Identify();
    bool ReadFlash();
    bool SetSwitches();
    bool WindowSetUp();
    bool Fails(const char* text);
    void OnStatus(const ImageStatus& status);

    mutable std::mutex state_; // guards everything below that the reader thread reads or writes
    ImageSensorVersion version_;
    UsbSerialNumber serial_{};
    uint16_t deviceState_ = kUnknownDeviceState;
    FlashBlock flash_;
    bool indoor_ = true;
    bool lowLight_ = false;
    bool filterForeign_ = true;
    // The three switches of requests 146, 158 and 159.
    bool switch146_ = true;
    bool switch158_ = true;
    bool switch159_ = true;
    uint16_t shotThreshold_ = kDefaultShotThreshold;
    double offsetX_ = 0;
    double offsetY_ = 0;
    double pixelScale_ = 0;
    int windowMode_ = 0; // 0 until the reset sequence sets one
    int binning_ = 1;
    int windowExtent_ = 0;
    bool calibrated1_ = false;
    bool calibrated2_ = false;
    int16_t registers_[kRegisterCount] = {};
    GreyImage lastImage_;
    ImageSensorTarget target_;
    StatusCallback onStatus_;
    ImagePacketAssembler assembler_; // reader thread only
};

} // namespace kavro
