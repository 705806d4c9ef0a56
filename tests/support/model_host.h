#pragma once
// A stand-in for the device control that a model can run against on its own: settings as a
// trainer would leave them (public, so a caller can change one), windows pumped by hand in real
// time, and nothing kept of what the model reports. How the events are taken is the caller's.
#include "device/model/device_host.h"
#include "thread/pumped_control_queue.h"

namespace kavro {

class ModelHost : public DeviceHost {
public:
    explicit ModelHost(int32_t sampleRate) { SetSampleRate(sampleRate); }

    ComPtr<IEventParams> Event(int32_t) const override { return event; }
    enumTargetType TargetType(int32_t) const override { return targetType; }
    int32_t PiezoSensitivity(int32_t) const override { return 30; }
    float MaxTimeBeforeShot(int32_t) const override { return 5.0f; }
    float MaxTimeAfterShot(int32_t) const override { return maxAfterShot; }
    int32_t CorrectionX(int32_t) const override { return correctionX; }
    int32_t CorrectionY(int32_t) const override { return correctionY; }
    int32_t SubTarget(int32_t) const override { return 1; }
    enumSensorPosition SensorPosition(int32_t) const override { return position; }
    float PiezoRejectInterval(int32_t) const override { return 0.25f; }
    enumSemaphoreMode Semaphore() const override { return SemaphoreOff; }
    int32_t FiringPoint() const override { return 1; }
    float WirelessTargetDistance() const override { return 0; }
    void SetStatusText(const QString&) override { }
    void SetDeviceSerial(int32_t, const DeviceSerial&) override { }
    void SetCalibrationWanted(int32_t, bool) override { }
    void SetCorrections(int32_t, int32_t, int32_t) override { }
    // The caller pumps the queue on the thread that opened the model.
    std::unique_ptr<ControlQueue> MakeQueue(QueueHandler handler) override
    {
        return std::make_unique<PumpedControlQueue>(std::move(handler), realClock());
    }
    Clock& clock() override { return realClock(); }

    void setCalibrationMode(bool on) { reader_.setCalibrationMode(1, on); }

    ComPtr<IEventParams> event;
    enumTargetType targetType = Target10m;
    float maxAfterShot = 1.0f;
    int32_t correctionX = 0;
    int32_t correctionY = 0;
    enumSensorPosition position = SensorBottom;

protected:
    ~ModelHost() = default;
};

} // namespace kavro
