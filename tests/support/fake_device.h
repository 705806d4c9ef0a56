#pragma once
// A device control that does what the trainer's dialogs and views use of one: model number,
// signal, the sensor settings, calibration mode, pulse and trigger abilities, values, the Data
// call and events fired on request. Every other member answers E_NOTIMPL.
#include "kavrodev.h"

#include "com/connection.h"

#include <array>
#include <cmath>
#include <map>

namespace kavro::trainer::test {

class FakeDevice final : public ComObject<FakeDevice, IKavroDevice, IConnectionPointContainer> {
public:
    int32_t modelVersion = 300;
    int32_t signalLevel = 0;
    int32_t piezo = 512;
    bool ledsAvailable = false;
    bool lampsAvailable = false;
    int32_t leds = 3;
    int32_t lamps = 4;
    bool semaphoreAvailable = false;
    bool pulse = false;
    bool trigger = false;
    enumSemaphoreMode semaphore = SemaphoreOff;
    int semaphorePuts = 0;
    VARIANT_BOOL calibrationMode = VARIANT_FALSE;
    int resets = 0;
    int concludes = 0;
    std::map<int32_t, Variant> values;
    std::array<float, 9> data{};
    ComPtr<IEventParams> event;

    size_t sinkCount() const { return events_.count(); }
    template <class F> void fire(F&& f) { events_.fire(std::forward<F>(f)); }

    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override
    {
        return findConnectionPoint(iid, out, events_);
    }

    HRESULT get_ModelVersion(int32_t* out) override
    {
        *out = modelVersion;
        return S_OK;
    }
    HRESULT get_SignalLevel(int32_t, int32_t* out) override
    {
        *out = signalLevel;
        return S_OK;
    }
    HRESULT get_PiezoSensitivity(int32_t, int32_t* out) override
    {
        *out = piezo;
        return S_OK;
    }
    HRESULT put_PiezoSensitivity(int32_t, int32_t v) override
    {
        piezo = v;
        return S_OK;
    }
    HRESULT get_LedsBrightnessAvailable(VARIANT_BOOL* out) override
    {
        *out = toVariantBool(ledsAvailable);
        return S_OK;
    }
    HRESULT get_LampsBrightnessAvailable(VARIANT_BOOL* out) override
    {
        *out = toVariantBool(lampsAvailable);
        return S_OK;
    }
    HRESULT get_LedsBrightness(int32_t* out) override
    {
        *out = leds;
        return S_OK;
    }
    HRESULT put_LedsBrightness(int32_t v) override
    {
        leds = v;
        return S_OK;
    }
    HRESULT get_LampsBrightness(int32_t* out) override
    {
        *out = lamps;
        return S_OK;
    }
    HRESULT put_LampsBrightness(int32_t v) override
    {
        lamps = v;
        return S_OK;
    }
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
    HRESULT get_SemaphoreAvailable(VARIANT_BOOL* out) override
    {
        *out = toVariantBool(semaphoreAvailable);
        return S_OK;
    }
    HRESULT get_Semaphore(enumSemaphoreMode* out) override
    {
        *out = semaphore;
        return S_OK;
    }
    HRESULT put_Semaphore(enumSemaphoreMode v) override
    {
        semaphore = v;
        ++semaphorePuts;
        return S_OK;
    }
    HRESULT get_CalibrationMode(int32_t, VARIANT_BOOL* out) override
    {
        *out = calibrationMode;
        return S_OK;
    }
    HRESULT put_CalibrationMode(int32_t, VARIANT_BOOL v) override
    {
        calibrationMode = v;
        return S_OK;
    }
    HRESULT Reset(int32_t) override
    {
        ++resets;
        return S_OK;
    }
    HRESULT ConcludeCurrentAiming(int32_t) override
    {
        ++concludes;
        return S_OK;
    }
    HRESULT get_Event(int32_t, IEventParams** out) override
    {
        if (!event)
            return E_FAIL;
        return event.copyTo(out);
    }
    HRESULT get_Value(int32_t index, Variant* out) override
    {
        const auto it = values.find(index);
        if (it == values.end())
            return E_FAIL;
        *out = it->second;
        return S_OK;
    }
    HRESULT put_Value(int32_t index, const Variant& v) override
    {
        values[index] = v;
        return S_OK;
    }
    HRESULT Data(float* v1, float* v2, float* v3, float* v4, float* v5, float* v6, float* v7, float* v8,
                 float* v9) override
    {
        float* out[9] = {v1, v2, v3, v4, v5, v6, v7, v8, v9};
        for (int i = 0; i < 9; ++i)
            *out[i] = data[size_t(i)];
        return S_OK;
    }

#define KAVRO_FAKE_NOTIMPL(sig)                                                                                        \
    HRESULT sig override                                                                                               \
    {                                                                                                                  \
        return E_NOTIMPL;                                                                                              \
    }
    KAVRO_FAKE_NOTIMPL(get_CommPort(int32_t*))
    KAVRO_FAKE_NOTIMPL(put_CommPort(int32_t))
    KAVRO_FAKE_NOTIMPL(get_Connected(VARIANT_BOOL*))
    KAVRO_FAKE_NOTIMPL(put_Connected(VARIANT_BOOL))
    KAVRO_FAKE_NOTIMPL(get_SampleRate(int32_t*))
    KAVRO_FAKE_NOTIMPL(put_SampleRate(int32_t))
    KAVRO_FAKE_NOTIMPL(get_EventShortName(int32_t, QString*))
    KAVRO_FAKE_NOTIMPL(put_EventShortName(int32_t, const QString&))
    KAVRO_FAKE_NOTIMPL(put_Event(int32_t, IEventParams*))
    KAVRO_FAKE_NOTIMPL(get_TargetType(int32_t, enumTargetType*))
    KAVRO_FAKE_NOTIMPL(put_TargetType(int32_t, enumTargetType))
    KAVRO_FAKE_NOTIMPL(get_MaxTimeBeforeShot(int32_t, float*))
    KAVRO_FAKE_NOTIMPL(put_MaxTimeBeforeShot(int32_t, float))
    KAVRO_FAKE_NOTIMPL(get_MaxTimeAfterShot(int32_t, float*))
    KAVRO_FAKE_NOTIMPL(put_MaxTimeAfterShot(int32_t, float))
    KAVRO_FAKE_NOTIMPL(get_CorrectionX(int32_t, float*))
    KAVRO_FAKE_NOTIMPL(put_CorrectionX(int32_t, float))
    KAVRO_FAKE_NOTIMPL(get_CorrectionY(int32_t, float*))
    KAVRO_FAKE_NOTIMPL(put_CorrectionY(int32_t, float))
    KAVRO_FAKE_NOTIMPL(get_PiezoLevel(int32_t, int32_t*))
    KAVRO_FAKE_NOTIMPL(get_StatTotalReceived(int32_t*))
    KAVRO_FAKE_NOTIMPL(get_StatTotalInvalid(int32_t*))
    KAVRO_FAKE_NOTIMPL(get_StatTotalSkipped(int32_t*))
    KAVRO_FAKE_NOTIMPL(get_ModelName(QString*))
    KAVRO_FAKE_NOTIMPL(get_SerialNumber(QString*))
    KAVRO_FAKE_NOTIMPL(LookupDevice(VARIANT_BOOL*))
    KAVRO_FAKE_NOTIMPL(get_Trigger(int32_t, int32_t, int32_t*))
    KAVRO_FAKE_NOTIMPL(get_SubTarget(int32_t, int32_t*))
    KAVRO_FAKE_NOTIMPL(put_SubTarget(int32_t, int32_t))
    KAVRO_FAKE_NOTIMPL(get_PiezoRejectInterval(int32_t, float*))
    KAVRO_FAKE_NOTIMPL(put_PiezoRejectInterval(int32_t, float))
    KAVRO_FAKE_NOTIMPL(get_SensorPosition(int32_t, enumSensorPosition*))
    KAVRO_FAKE_NOTIMPL(put_SensorPosition(int32_t, enumSensorPosition))
    KAVRO_FAKE_NOTIMPL(get_DevicePath(QString*))
    KAVRO_FAKE_NOTIMPL(put_DevicePath(const QString&))
    KAVRO_FAKE_NOTIMPL(AddShot(VARIANT_BOOL))
    KAVRO_FAKE_NOTIMPL(get_SerialNumber2(int32_t, QString*))
    KAVRO_FAKE_NOTIMPL(get_FiringPoint(int32_t*))
    KAVRO_FAKE_NOTIMPL(put_FiringPoint(int32_t))
    KAVRO_FAKE_NOTIMPL(get_WirelessTargetDistance(float*))
    KAVRO_FAKE_NOTIMPL(put_WirelessTargetDistance(float))
    KAVRO_FAKE_NOTIMPL(get_CalibrationWanted(int32_t, VARIANT_BOOL*))
#undef KAVRO_FAKE_NOTIMPL

private:
    ConnectionPoint<_IKavroDeviceEvents> events_{identity()};
};

} // namespace kavro::trainer::test
