#include "device_event_sink.h"

#include "practice_recorder.h"

namespace {

class DeviceEventSink final : public ComObject<DeviceEventSink, _IKavroDeviceEvents> {
public:
    explicit DeviceEventSink(PracticeRecorder* recorder) : recorder_(recorder) { }

    HRESULT StartAiming(int32_t n, IAiming* a) override
    {
        recorder_->OnStartAiming(n, a);
        return S_OK;
    }
    HRESULT NewCoordinates(int32_t n, IAiming* a, int32_t count) override
    {
        recorder_->OnNewCoordinates(n, a, count);
        return S_OK;
    }
    HRESULT Shot(int32_t n, IAiming* a, IShot* s) override
    {
        recorder_->OnShot(n, a, s);
        return S_OK;
    }
    HRESULT ConcludeAiming(int32_t n, IAiming* a) override
    {
        recorder_->OnConcludeAiming(n, a);
        return S_OK;
    }
    HRESULT FinalConcludeAiming(int32_t n) override
    {
        recorder_->OnFinalConcludeAiming(n);
        return S_OK;
    }
    HRESULT PulseChanged(int32_t n, int32_t pulse) override
    {
        recorder_->OnPulseChanged(n, pulse);
        return S_OK;
    }
    HRESULT Trigger(int32_t n, int32_t count) override
    {
        recorder_->OnTrigger(n, count);
        return S_OK;
    }
    HRESULT HeartBeat(int32_t n, DATE lo, DATE hi) override
    {
        recorder_->OnHeartBeat(n, lo, hi);
        return S_OK;
    }
    // The trainer takes no action on the state of the link.
    HRESULT Disconnected() override { return S_OK; }
    HRESULT Reconnected() override { return S_OK; }
    HRESULT Timeout(int32_t) override { return S_OK; }

private:
    PracticeRecorder* recorder_;
};

} // namespace

ComPtr<IUnknown> makeDeviceEventSink(PracticeRecorder* recorder)
{
    auto sink = DeviceEventSink::create(recorder);
    return ComPtr<IUnknown>(sink->identity());
}
