#pragma once
// The base of every device model. The control talks to a model only through these operations;
// the base owns the sample ring and hidden window, the serial port of a serial model, the sample
// counters and the class object that makes new aimings.
#include "device/model/device_host.h"
#include "com/persist.h"
#include "device/pipeline/sample_pipeline.h"
#include "serial/serial_port.h"

#include <atomic>
#include <memory>

namespace kavro {

class CGenericKavro : public NoticeSink {
public:
    // `port` is the open port of a serial model (null for USB models); the model owns it.
    // A derived model calls Close() in its own destructor: its Stop must not outlive it.
    explicit CGenericKavro(DeviceHost& host, std::unique_ptr<SerialPort> port = nullptr);
    virtual ~CGenericKavro();
    CGenericKavro(const CGenericKavro&) = delete;
    CGenericKavro& operator=(const CGenericKavro&) = delete;

    // Stops the model: its reader gives up waiting, `Stop` runs once a start succeeded, the ring
    // is freed (later records and notices do nothing) and the port is closed. Safe to call at
    // any time and more than once, also from inside an event.
    virtual void Close();
    virtual bool GetValue(int32_t index, Variant* out);
    virtual bool SetValue(int32_t index, const Variant& value);
    virtual bool HasSemaphore() { return false; }
    virtual bool HasPulse() { return false; }
    virtual bool HasTriggerControl() { return false; }
    virtual bool HasLeds() { return false; }
    virtual int32_t GetLedsBrightness() { return 0; }
    virtual void SetLedsBrightness(int32_t) { }
    virtual bool HasLamps() { return false; }
    virtual int32_t GetLampsBrightness() { return 0; }
    virtual void SetLampsBrightness(int32_t) { }
    virtual int32_t FrameLength() { return 0; }
    virtual int32_t BaudRate() { return 0; }
    virtual int32_t StopBits() { return 0; } // 0: one stop bit
    // Where the sensor's sequence counter wraps; 0 when it has none.
    virtual int32_t CounterModulus() = 0;
    virtual void SetPiezoSensitivity(int32_t n, int32_t value) = 0;
    virtual int32_t GetPiezoSensitivity(int32_t n) = 0;
    virtual int32_t SignalLevel(int32_t n) = 0;
    virtual int32_t PiezoLevel(int32_t n) = 0;
    virtual bool SetSemaphore(int32_t) { return false; }
    virtual bool SetSubTarget(int32_t, int32_t) { return true; }
    // Trigger value `index` (0-based) of the batch being reported.
    virtual bool GetTrigger(int32_t, int32_t, int32_t*) { return false; }
    // Overwrites those of the nine live values the model has.
    virtual void Data(float (&)[9]) { }
    // Reader thread: one frame of FrameLength bytes into a zeroed record.
    virtual bool Decode(const uint8_t*, SampleRecord&) { return false; }
    virtual void BeginBatch(size_t) { }
    // Control thread: one batch of records, oldest first (see the counters below).
    void ProcessSamples(const SampleRecord* records, size_t count) override;
    virtual bool OnSample(const SampleRecord& record) = 0;
    virtual void FlushCoordinates() { }
    // Reader thread: queues a record for the control thread; false when it was given up.
    virtual bool PostEvent(const SampleRecord& record);
    // Makes the window and a ring of five seconds of samples, then `Configure` and `Start`.
    virtual bool Open();
    virtual void Configure();
    virtual void SetRate() { }
    virtual void SetScale() { }
    virtual bool Start() { return true; }
    virtual void Stop() = 0;
    virtual void ConcludeCurrentAiming(int32_t) { }
    virtual void Reset(int32_t) { }
    virtual void CorrectionChanged() { }
    virtual void CalibrationModeChanged() { }
    virtual void FiringPointChanged() { }
    virtual void AddShot(bool) { }
    // True while the sensor's lines are up (CTS and DSR); models without a port override it.
    virtual bool LineIsUp();

    // Notices from the reader threads, on the control thread.
    void OnDisconnected() override;
    void OnReconnected() override;
    void OnTimeout(intptr_t seconds) override;

    uint32_t StatTotalReceived() const { return received_.load(); }
    uint32_t StatTotalInvalid() const { return invalid_.load(); }
    uint32_t StatTotalSkipped() const { return skipped_.load(); }
    bool IsOpen() const { return open_; }
    // The model's hidden window; null until Open.
    ControlQueue* Queue() const { return queue_.get(); }

    // Event firing; each returns the result of the last sink called.
    HRESULT FireStartAiming(int32_t n, IAiming* aiming);
    HRESULT FireNewCoordinates(int32_t n, IAiming* aiming, int32_t count);
    HRESULT FireShot(int32_t n, IAiming* aiming, IShot* shot);
    HRESULT FireConcludeAiming(int32_t n, IAiming* aiming);
    HRESULT FireFinalConcludeAiming(int32_t n);
    HRESULT FirePulseChanged(int32_t n, int32_t pulse);
    HRESULT FireTrigger(int32_t n, int32_t count);
    HRESULT FireHeartBeat(int32_t n, DATE dateMin, DATE dateMax);
    HRESULT FireDisconnected();
    HRESULT FireReconnected();
    HRESULT FireTimeout(int32_t seconds);

protected:
    // A new, plain aiming; fails when the document module cannot make one.
    HRESULT NewAiming(ComPtr<IAiming>* out);
    // The local date and time, milliseconds included, for aimings and shots.
    DATE Now() const;
    // A new shot is taken now; the first shot of an aiming also dates its entry.
    void StampShot(IShot* shot);
    // Reader thread: a frame the decoder rejected.
    void CountInvalid() { invalid_.fetch_add(1); }
    // After the line came back: the serial transport checks the sensor again (same model
    // number) and restores the port. Models without a line have nothing to restore.
    virtual bool RestoreLine() { return true; }
    // The model started again after the line came back: it is connected from now on. Until then
    // the reader keeps asking for another try.
    virtual void LineRestarted() { }

    DeviceHost& host() const { return host_; }
    SerialPort* port() const { return port_.get(); }
    SamplePipeline& pipeline() { return pipeline_; }
    // Set by Close: readers stop waiting.
    const ManualEvent& StopEvent() const { return stop_; }

private:
    // The recorder makes, dates and announces the model's aimings.
    friend class AimingRecorder;

    DeviceHost& host_;
    std::unique_ptr<SerialPort> port_;
    ComPtr<IClassFactory> aimingClass_;
    std::unique_ptr<ControlQueue> queue_;
    SamplePipeline pipeline_;
    ManualEvent stop_;
    bool open_ = false;
    bool started_ = false;
    int32_t lastCounter_ = -1;
    std::atomic<uint32_t> received_{0};
    std::atomic<uint32_t> invalid_{0};
    std::atomic<uint32_t> skipped_{0};
};

} // namespace kavro
