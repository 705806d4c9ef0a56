#pragma once
// A frame and a sensor as the views see them: connected or not, match running or not, and the
// sensor's pulse and trigger abilities. Installed as the current frame while a test runs.
#include "main_frame_base.h"

#include <QPoint>

#include "kavrodev.h"

class FakeDevice final : public ComObject<FakeDevice, IKavroDevice> {
public:
    bool pulse = false;
    bool trigger = false;

    HRESULT get_PulseAvailable(VARIANT_BOOL* out) override
    {
        *out = toVariantBool(pulse);
        return S_OK;
    }
    HRESULT get_TriggerControlAvailable(VARIANT_BOOL* out) override
    {
        *out = toVariantBool(trigger);
        return S_OK;
    }
    HRESULT get_CommPort(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_CommPort(int32_t) override { return E_NOTIMPL; }
    HRESULT get_Connected(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_Connected(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_SampleRate(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_SampleRate(int32_t) override { return E_NOTIMPL; }
    HRESULT get_EventShortName(int32_t, QString*) override { return E_NOTIMPL; }
    HRESULT put_EventShortName(int32_t, const QString&) override { return E_NOTIMPL; }
    HRESULT get_Event(int32_t, IEventParams**) override { return E_NOTIMPL; }
    HRESULT put_Event(int32_t, IEventParams*) override { return E_NOTIMPL; }
    HRESULT get_TargetType(int32_t, enumTargetType*) override { return E_NOTIMPL; }
    HRESULT put_TargetType(int32_t, enumTargetType) override { return E_NOTIMPL; }
    HRESULT get_PiezoSensitivity(int32_t, int32_t*) override { return E_NOTIMPL; }
    HRESULT put_PiezoSensitivity(int32_t, int32_t) override { return E_NOTIMPL; }
    HRESULT get_MaxTimeBeforeShot(int32_t, float*) override { return E_NOTIMPL; }
    HRESULT put_MaxTimeBeforeShot(int32_t, float) override { return E_NOTIMPL; }
    HRESULT get_MaxTimeAfterShot(int32_t, float*) override { return E_NOTIMPL; }
    HRESULT put_MaxTimeAfterShot(int32_t, float) override { return E_NOTIMPL; }
    HRESULT get_CorrectionX(int32_t, float*) override { return E_NOTIMPL; }
    HRESULT put_CorrectionX(int32_t, float) override { return E_NOTIMPL; }
    HRESULT get_CorrectionY(int32_t, float*) override { return E_NOTIMPL; }
    HRESULT put_CorrectionY(int32_t, float) override { return E_NOTIMPL; }
    HRESULT get_SignalLevel(int32_t, int32_t*) override { return E_NOTIMPL; }
    HRESULT get_PiezoLevel(int32_t, int32_t*) override { return E_NOTIMPL; }
    HRESULT get_StatTotalReceived(int32_t*) override { return E_NOTIMPL; }
    HRESULT get_StatTotalInvalid(int32_t*) override { return E_NOTIMPL; }
    HRESULT get_StatTotalSkipped(int32_t*) override { return E_NOTIMPL; }
    HRESULT get_ModelName(QString*) override { return E_NOTIMPL; }
    HRESULT get_ModelVersion(int32_t*) override { return E_NOTIMPL; }
    HRESULT get_SerialNumber(QString*) override { return E_NOTIMPL; }
    HRESULT Reset(int32_t) override { return E_NOTIMPL; }
    HRESULT ConcludeCurrentAiming(int32_t) override { return E_NOTIMPL; }
    HRESULT LookupDevice(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_Semaphore(enumSemaphoreMode*) override { return E_NOTIMPL; }
    HRESULT put_Semaphore(enumSemaphoreMode) override { return E_NOTIMPL; }
    HRESULT get_CalibrationMode(int32_t, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_CalibrationMode(int32_t, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_SemaphoreAvailable(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_Trigger(int32_t, int32_t, int32_t*) override { return E_NOTIMPL; }
    HRESULT get_SubTarget(int32_t, int32_t*) override { return E_NOTIMPL; }
    HRESULT put_SubTarget(int32_t, int32_t) override { return E_NOTIMPL; }
    HRESULT get_PiezoRejectInterval(int32_t, float*) override { return E_NOTIMPL; }
    HRESULT put_PiezoRejectInterval(int32_t, float) override { return E_NOTIMPL; }
    HRESULT get_SensorPosition(int32_t, enumSensorPosition*) override { return E_NOTIMPL; }
    HRESULT put_SensorPosition(int32_t, enumSensorPosition) override { return E_NOTIMPL; }
    HRESULT get_DevicePath(QString*) override { return E_NOTIMPL; }
    HRESULT put_DevicePath(const QString&) override { return E_NOTIMPL; }
    HRESULT AddShot(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_SerialNumber2(int32_t, QString*) override { return E_NOTIMPL; }
    HRESULT Data(float*, float*, float*, float*, float*, float*, float*, float*, float*) override { return E_NOTIMPL; }
    HRESULT get_FiringPoint(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_FiringPoint(int32_t) override { return E_NOTIMPL; }
    HRESULT get_WirelessTargetDistance(float*) override { return E_NOTIMPL; }
    HRESULT put_WirelessTargetDistance(float) override { return E_NOTIMPL; }
    HRESULT get_CalibrationWanted(int32_t, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_LedsBrightnessAvailable(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_LampsBrightnessAvailable(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_LedsBrightness(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_LedsBrightness(int32_t) override { return E_NOTIMPL; }
    HRESULT get_LampsBrightness(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_LampsBrightness(int32_t) override { return E_NOTIMPL; }
    HRESULT get_Value(int32_t, Variant*) override { return E_NOTIMPL; }
    HRESULT put_Value(int32_t, const Variant&) override { return E_NOTIMPL; }
};

class FakeFrame final : public CMainFrameBase {
public:
    bool connected = false;
    bool matchStarted = false;
    ComPtr<FakeDevice> device = FakeDevice::create();

    FakeFrame() { CMainFrameBase::setCurrent(this); }
    ~FakeFrame() override { CMainFrameBase::setCurrent(nullptr); }

    QWidget* GetWindow() override { return nullptr; }
    QStatusBar* GetStatusBar() override { return nullptr; }
    QProgressBar* GetProgressBar() override { return nullptr; }
    void BeginProgress(int) override { }
    void EndProgress() override { }
    uint32_t* GetActivityTick() override { return &m_tick; }
    int GetTargetKind() override { return 1; }
    bool IsDeviceConnected() override { return connected; }
    bool IsMatchStarted() override { return matchStarted; }
    ComPtr<IKavroDevice> GetDevice() override { return connected ? ComPtr<IKavroDevice>(device.get()) : nullptr; }
    void ShowShotContextMenu(const QPoint& at) override
    {
        ++shotMenus;
        shotMenuAt = at;
    }
    int shotMenus = 0;
    QPoint shotMenuAt;

private:
    uint32_t m_tick = 0;
};
