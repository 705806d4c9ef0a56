#include "device_event_sink.h"

#include "main_frame.h"

namespace {

class DeviceEventSink final : public ComObject<DeviceEventSink, _IKavroDeviceEvents> {
public:
    explicit DeviceEventSink(CMainFrame* frame) : m_frame(frame) { }

    HRESULT StartAiming(int32_t n, IAiming* a) override
    {
        m_frame->OnDeviceStartAiming(n, a);
        return S_OK;
    }
    HRESULT NewCoordinates(int32_t n, IAiming* a, int32_t count) override
    {
        m_frame->OnDeviceNewCoordinates(n, a, count);
        return S_OK;
    }
    HRESULT Shot(int32_t n, IAiming* a, IShot* s) override
    {
        m_frame->OnDeviceShot(n, a, s);
        return S_OK;
    }
    HRESULT ConcludeAiming(int32_t n, IAiming* a) override
    {
        m_frame->OnDeviceConcludeAiming(n, a);
        return S_OK;
    }
    HRESULT FinalConcludeAiming(int32_t n) override
    {
        m_frame->OnDeviceFinalConcludeAiming(n);
        return S_OK;
    }
    HRESULT PulseChanged(int32_t n, int32_t pulse) override
    {
        m_frame->OnDevicePulseChanged(n, pulse);
        return S_OK;
    }
    HRESULT Trigger(int32_t n, int32_t count) override
    {
        m_frame->OnDeviceTrigger(n, count);
        return S_OK;
    }
    HRESULT HeartBeat(int32_t n, DATE lo, DATE hi) override
    {
        m_frame->OnDeviceHeartBeat(n, lo, hi);
        return S_OK;
    }
    HRESULT Disconnected() override
    {
        m_frame->OnDeviceDisconnected();
        return S_OK;
    }
    HRESULT Reconnected() override
    {
        m_frame->OnDeviceReconnected();
        return S_OK;
    }
    HRESULT Timeout(int32_t seconds) override
    {
        m_frame->OnDeviceTimeout(seconds);
        return S_OK;
    }

private:
    CMainFrame* m_frame;
};

} // namespace

ComPtr<IUnknown> makeDeviceEventSink(CMainFrame* frame)
{
    auto sink = DeviceEventSink::create(frame);
    return ComPtr<IUnknown>(sink->identity());
}
