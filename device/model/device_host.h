#pragma once
// What a device model sees of the control that owns it: the settings the trainer gave, the
// values a model reports back, the event fan-out and the thread machinery. The control is the
// one implementation; tests of a model may stand in for it.
#include "kavrodev.h"
#include "thread/clock.h"
#include "thread/control_queue.h"

#include <array>
#include <functional>
#include <memory>

namespace kavro {

using DeviceSerial = std::array<uint8_t, 8>;

class DeviceHost {
public:
    // Settings, read as the model needs them. `n` is a sub-device, 1 or 2.
    virtual int32_t SampleRate() const = 0;
    virtual ComPtr<IEventParams> Event(int32_t n) const = 0; // null when none is held
    virtual enumTargetType TargetType(int32_t n) const = 0;
    virtual int32_t PiezoSensitivity(int32_t n) const = 0;
    virtual float MaxTimeBeforeShot(int32_t n) const = 0;
    virtual float MaxTimeAfterShot(int32_t n) const = 0;
    virtual int32_t CorrectionX(int32_t n) const = 0; // hundredths of a millimetre
    virtual int32_t CorrectionY(int32_t n) const = 0;
    virtual int32_t SubTarget(int32_t n) const = 0;
    virtual enumSensorPosition SensorPosition(int32_t n) const = 0;
    virtual float PiezoRejectInterval(int32_t n) const = 0;
    virtual bool CalibrationMode(int32_t n) const = 0;
    virtual enumSemaphoreMode Semaphore() const = 0;
    virtual int32_t FiringPoint() const = 0;
    virtual float WirelessTargetDistance() const = 0;

    // Values the models report back.
    // Models that run at a fixed rate set it here, whatever the trainer asked for.
    virtual void SetSampleRate(int32_t rate) = 0;
    virtual void SetStatusText(const QString& text) = 0; // the message for the user
    virtual void SetDeviceSerial(int32_t nDev, const DeviceSerial& serial) = 0; // nDev 1..3
    virtual void SetCalibrationWanted(int32_t n, bool wanted) = 0;
    // A stored calibration brings its own corrections (hundredths of a millimetre).
    virtual void SetCorrections(int32_t n, int32_t x, int32_t y) = 0;

    // Calls `call` for every advised sink, in turn; the result of the last call (S_OK for none).
    virtual HRESULT FireEvent(const std::function<HRESULT(_IKavroDeviceEvents*)>& call) = 0;

    // The model's hidden window: a queue owned by the calling (control) thread.
    virtual std::unique_ptr<ControlQueue> MakeQueue(QueueHandler handler) = 0;
    virtual Clock& clock() = 0;

protected:
    ~DeviceHost() = default;
};

} // namespace kavro
