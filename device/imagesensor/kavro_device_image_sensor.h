#pragma once
// The model of the camera-based sensor: its statuses become aimings, trace points and shots of
// sub-device 1; an optional trigger sensor adds the trigger channel and an optional pulse sensor
// the heart beats. In calibration mode the camera window stays on the flash centre and the
// first shot seen there becomes the new aiming offset.
#include "device/filters/iir_filter.h"
#include "device/imagesensor/beat_rate.h"
#include "device/model/aiming_recorder.h"
#include "device/model/generic_kavro.h"
#include "device/usb/usb_image_sensor.h"
#include "device/usb/usb_pulse_sensor.h"
#include "device/usb/usb_trigger_sensor.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kavro {

class CKavroDeviceImageSensor : public CGenericKavro {
public:
    static constexpr int32_t kModelNumber = ModelVersion::ImageSensor;
    static constexpr int32_t kSampleRate = 100;
    static constexpr int32_t kSettleCount = 4;
    static constexpr uint32_t kTimerId = 1;
    static constexpr uint32_t kTimerPeriodMs = 10;
    // Without a valid status for this long an aiming ends, and a new one may start.
    static constexpr uint32_t kSignalGoneMs = 500;
    static constexpr int kCalibrationCountdown = 10;
    // A companion sensor that is missing is looked for again at most this often.
    static constexpr uint32_t kCompanionSearchMs = 1000;

    CKavroDeviceImageSensor(DeviceHost& host, QString devicePath);
    ~CKavroDeviceImageSensor() override;

    bool Open() override;
    void Close() override;

    bool GetValue(int32_t index, Variant* out) override;
    bool SetValue(int32_t index, const Variant& value) override;
    // A companion pulled out is let go at the next batch; until then it is no longer present.
    bool HasPulse() override { return pulse_ && pulse_->IsOpen(); }
    bool HasTriggerControl() override { return trigger_ && trigger_->IsOpen(); }
    int32_t CounterModulus() override { return 0; }
    void SetPiezoSensitivity(int32_t n, int32_t value) override;
    int32_t GetPiezoSensitivity(int32_t n) override;
    int32_t SignalLevel(int32_t) override { return 1; }
    int32_t PiezoLevel(int32_t) override { return shotLevel_; }
    bool GetTrigger(int32_t n, int32_t index, int32_t* out) override;
    void Data(float (&values)[9]) override;
    void ProcessSamples(const SampleRecord* records, size_t count) override;
    bool OnSample(const SampleRecord& record) override;
    void FlushCoordinates() override;
    void SetRate() override;
    bool Start() override;
    void Stop() override;
    void ConcludeCurrentAiming(int32_t n) override;
    void Reset(int32_t n) override { ConcludeCurrentAiming(n); }
    void CorrectionChanged() override;
    void CalibrationModeChanged() override;
    void AddShot(bool unlimited) override;
    bool LineIsUp() override { return true; }
    void OnSensorNotice(intptr_t kind, intptr_t) override;
    void OnTimer(intptr_t timerId, intptr_t) override;

    UsbImageSensor& Camera() { return camera_; }

private:
    bool PrepareTarget();
    void FindCompanions();
    void CloseCompanions();
    int16_t TriggerValue() const;
    bool OnStatusSample(const SampleRecord& record);
    void OnCalibrationSample(const SampleRecord& record);
    bool InsideTarget(const SampleRecord& record, double angle) const;
    bool SignalGone() const;

    bool StartAiming();
    bool AddPoint(const SampleRecord& record);
    void TakeShot(bool missed, double microphonePhase);
    void AddShotToAiming(bool missed, double microphonePhase);
    void ConcludeAiming();
    void ResetAiming();
    int32_t ShotsLimit(bool maximum) const;
    // The trigger values batched since the last report.
    void FireTriggers();

    QString devicePath_;
    UsbImageSensor camera_;
    std::unique_ptr<UsbTriggerSensor> trigger_;
    std::unique_ptr<UsbPulseSensor> pulse_;
    uint32_t lastCompanionSearch_ = 0;
    bool companionsSearched_ = false;

    // The event's target, taken at open.
    float formWidth_ = 0;
    float formHeight_ = 0;

    IirFilter angleFilter_;
    IirFilter xFilter_;
    IirFilter yFilter_;
    double heldAngle_ = 0;
    bool angleHeld_ = false;

    AimingRecorder recorder_{*this, [this] { FireTriggers(); }};
    int32_t shots_ = 0;
    int32_t samplesSinceShot_ = 0;
    int32_t settleCounter_ = 0;
    int32_t triggerIndex_ = -1; // trace user data "_trigger"
    bool waiting_ = true;
    bool active_ = false;
    bool settled_ = false;
    uint32_t lastValidMs_ = 0;

    // Live values for Data and GetValue.
    int32_t shotLevel_ = 0;
    bool onTarget_ = false;
    float targetX_ = 0;
    float targetY_ = 0;
    float targetAngle_ = 0;
    double sampleAngle_ = 0;

    std::vector<int16_t> triggerValues_;
    size_t triggerCount_ = 0;

    int calibrationCountdown_ = 0;
    bool shotTaken_ = false;
    double shotAngle_ = 0;
    double correctionX_ = 0; // millimetres, as last seen
    double correctionY_ = 0;

    std::mutex beatLock_;
    std::optional<DATE> pendingBeat_;
    BeatRate beatRate_;
};

} // namespace kavro
