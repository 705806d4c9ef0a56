#pragma once
// What a device model sees of the control that owns it: the settings the trainer gave, the
// values a model reports back, the event fan-out and the thread machinery. The control is the
// one implementation; tests of a model may stand in for it.
#include "kavrodev.h"
#include "thread/clock.h"
#include "thread/control_queue.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>

namespace kavro {

using DeviceSerial = std::array<uint8_t, 8>;

// The settings that reader threads read while the control thread may change them. Reader threads
// read only these (through DeviceHost::readerView), never the other getters of the host.
class ReaderSettings {
public:
    int32_t sampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
    bool calibrationMode(int32_t n) const { return calibration_[n == 2 ? 1 : 0].load(std::memory_order_relaxed); }
    void setSampleRate(int32_t rate) { sampleRate_.store(rate, std::memory_order_relaxed); }
    void setCalibrationMode(int32_t n, bool on) { calibration_[n == 2 ? 1 : 0].store(on, std::memory_order_relaxed); }

private:
    std::atomic<int32_t> sampleRate_{200};
    std::array<std::atomic<bool>, 2> calibration_{};
};

class DeviceHost {
public:
    // Settings, read as the model needs them on the control thread. `n` is a sub-device, 1 or 2.
    // The rate the running model samples at: the control's setting as it stood at the connect.
    int32_t SampleRate() const { return reader_.sampleRate(); }
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
    bool CalibrationMode(int32_t n) const { return reader_.calibrationMode(n); }
    virtual enumSemaphoreMode Semaphore() const = 0;
    virtual int32_t FiringPoint() const = 0;
    virtual float WirelessTargetDistance() const = 0;

    // Values the models report back.
    // Models that run at a fixed rate set it here, whatever the trainer asked for.
    virtual void SetSampleRate(int32_t rate) { reader_.setSampleRate(rate); }
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

    // What reader threads may read.
    const ReaderSettings& readerView() const { return reader_; }

protected:
    ~DeviceHost() = default;
    ReaderSettings reader_;
};

} // namespace kavro
