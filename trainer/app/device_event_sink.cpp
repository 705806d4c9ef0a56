#include "device_event_sink.h"

#include "practice_controller.h"

namespace {

class DeviceEventSink final : public ComObject<DeviceEventSink, _IKavroDeviceEvents> {
public:
    explicit DeviceEventSink(PracticeController* practice) : practice_(practice) { }

    HRESULT StartAiming(int32_t n, IAiming* a) override
    {
        practice_->OnStartAiming(n, a);
        return S_OK;
    }
    HRESULT NewCoordinates(int32_t n, IAiming* a, int32_t count) override
    {
        practice_->OnNewCoordinates(n, a, count);
        return S_OK;
    }
    HRESULT Shot(int32_t n, IAiming* a, IShot* s) override
    {
        practice_->OnShot(n, a, s);
        return S_OK;
    }
    HRESULT ConcludeAiming(int32_t n, IAiming* a) override
    {
        practice_->OnConcludeAiming(n, a);
        return S_OK;
    }
    HRESULT FinalConcludeAiming(int32_t n) override
    {
        practice_->OnFinalConcludeAiming(n);
        return S_OK;
    }
    HRESULT PulseChanged(int32_t n, int32_t pulse) override
    {
        practice_->OnPulseChanged(n, pulse);
        return S_OK;
    }
    HRESULT Trigger(int32_t n, int32_t count) override
    {
        practice_->OnTrigger(n, count);
        return S_OK;
    }
    HRESULT HeartBeat(int32_t n, DATE lo, DATE hi) override
    {
        practice_->OnHeartBeat(n, lo, hi);
        return S_OK;
    }
    // The trainer takes no action on the state of the link.
    HRESULT Disconnected() override { return S_OK; }
    HRESULT Reconnected() override { return S_OK; }
    HRESULT Timeout(int32_t) override { return S_OK; }

private:
    PracticeController* practice_;
};

} // namespace

ComPtr<IUnknown> makeDeviceEventSink(PracticeController* practice)
{
    auto sink = DeviceEventSink::create(practice);
    return ComPtr<IUnknown>(sink->identity());
}
