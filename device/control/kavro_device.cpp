#include "device/control/kavro_device.h"

#include "com/classregistry.h"
#include "com/numeric.h"
#include "device/model/generic_kavro.h"

#include <bit>

namespace kavro {

KAVRO_REGISTER_CLASS(CKavroDevice, kavrodev::ProgId_KavroDevice);

CKavroDevice::CKavroDevice() : env_(deviceEnvironment())
{
    // Without an event manager the control still works; only event look-ups by name fail.
    createInstance(kavrodoc::CLSID_EventManager, &eventManager_);
}

CKavroDevice::~CKavroDevice()
{
    disconnect();
    retired_.clear();
    events_.clear();
}

HRESULT CKavroDevice::FindConnectionPoint(const IID& iid, IConnectionPoint** out)
{
    return findConnectionPoint(iid, out, events_);
}

HRESULT CKavroDevice::FireEvent(const std::function<HRESULT(_IKavroDeviceEvents*)>& call)
{
    HRESULT last = S_OK;
    events_.fire([&](_IKavroDeviceEvents* sink) { last = call(sink); });
    return last;
}

ComPtr<IEventParams> CKavroDevice::Event(int32_t n) const
{
    return sub(n).event;
}

void CKavroDevice::SetDeviceSerial(int32_t nDev, const DeviceSerial& serial)
{
    if (nDev >= 1 && nDev <= 3)
        serials_[nDev - 1] = serial;
}

void CKavroDevice::SetCalibrationWanted(int32_t n, bool wanted)
{
    if (validSubDevice(n))
        sub(n).calibrationWanted = wanted;
}

void CKavroDevice::SetCorrections(int32_t n, int32_t x, int32_t y)
{
    if (validSubDevice(n)) {
        sub(n).correctionX = x;
        sub(n).correctionY = y;
    }
}

HRESULT CKavroDevice::get_CommPort(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = commPort_;
    return S_OK;
}

HRESULT CKavroDevice::put_CommPort(int32_t value)
{
    if (value < 1 || value > 256)
        return E_INVALIDARG;
    if (model_ && value != commPort_)
        return E_UNEXPECTED;
    commPort_ = value;
    return S_OK;
}

HRESULT CKavroDevice::get_Connected(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    *out = toVariantBool(model_ != nullptr);
    return S_OK;
}

HRESULT CKavroDevice::put_Connected(VARIANT_BOOL value)
{
    if (value)
        return connect();
    disconnect();
    return S_OK;
}

HRESULT CKavroDevice::get_SampleRate(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = sampleRate_;
    return S_OK;
}

HRESULT CKavroDevice::put_SampleRate(int32_t value)
{
    if (!kavrodoc::isSettableSampleRate(value))
        return E_INVALIDARG;
    sampleRate_ = value;
    // The sensor, its ring and the aimings it makes keep the rate they were opened with.
    if (!model_)
        reader_.setSampleRate(value);
    return S_OK;
}

void CKavroDevice::SetSampleRate(int32_t rate)
{
    sampleRate_ = rate;
    reader_.setSampleRate(rate);
}

HRESULT CKavroDevice::get_EventShortName(int32_t n, QString* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).eventShortName;
    return S_OK;
}

HRESULT CKavroDevice::put_EventShortName(int32_t n, const QString& value)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    sub(n).eventShortName = value;
    ComPtr<IEventParams> found;
    if (!eventManager_ || eventManager_->FindByShortName(value, found.put()) != S_OK || !found)
        return E_FAIL;
    put_Event(n, found.get());
    return S_OK;
}

HRESULT CKavroDevice::get_Event(int32_t n, IEventParams** out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!sub(n).event) {
        HRESULT hr = createInstance(kavrodoc::CLSID_EventParams, &sub(n).event);
        if (FAILED(hr))
            return hr;
    }
    return sub(n).event.copyTo(out);
}

HRESULT CKavroDevice::put_Event(int32_t n, IEventParams* value)
{
    if (!validSubDevice(n) || !value)
        return E_INVALIDARG;
    sub(n).event = value;
    return S_OK;
}

HRESULT CKavroDevice::get_TargetType(int32_t n, enumTargetType* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).targetType;
    return S_OK;
}

HRESULT CKavroDevice::put_TargetType(int32_t n, enumTargetType value)
{
    if (!validSubDevice(n) || value < Target5m || value > Target50m)
        return E_INVALIDARG;
    if (model_ && value != sub(n).targetType)
        return E_UNEXPECTED;
    sub(n).targetType = value;
    return S_OK;
}

HRESULT CKavroDevice::get_PiezoSensitivity(int32_t n, int32_t* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).piezoSensitivity;
    return S_OK;
}

HRESULT CKavroDevice::put_PiezoSensitivity(int32_t n, int32_t value)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    sub(n).piezoSensitivity = value;
    if (model_)
        model_->SetPiezoSensitivity(n, value);
    return S_OK;
}

HRESULT CKavroDevice::get_MaxTimeBeforeShot(int32_t n, float* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).maxTimeBeforeShot;
    return S_OK;
}

HRESULT CKavroDevice::put_MaxTimeBeforeShot(int32_t n, float value)
{
    // Written as a negated >= so that NaN is refused too.
    if (!validSubDevice(n) || !(value >= 0.5f))
        return E_INVALIDARG;
    sub(n).maxTimeBeforeShot = value;
    return S_OK;
}

HRESULT CKavroDevice::get_MaxTimeAfterShot(int32_t n, float* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).maxTimeAfterShot;
    return S_OK;
}

HRESULT CKavroDevice::put_MaxTimeAfterShot(int32_t n, float value)
{
    if (!validSubDevice(n) || !(value >= 0.5f))
        return E_INVALIDARG;
    sub(n).maxTimeAfterShot = value;
    return S_OK;
}

HRESULT CKavroDevice::get_CorrectionX(int32_t n, float* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = fromHundredths(sub(n).correctionX);
    return S_OK;
}

HRESULT CKavroDevice::put_CorrectionX(int32_t n, float value)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    return truncToHundredths(value, &sub(n).correctionX) ? S_OK : E_INVALIDARG;
}

HRESULT CKavroDevice::get_CorrectionY(int32_t n, float* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = fromHundredths(sub(n).correctionY);
    return S_OK;
}

HRESULT CKavroDevice::put_CorrectionY(int32_t n, float value)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    HRESULT hr = truncToHundredths(value, &sub(n).correctionY) ? S_OK : E_INVALIDARG;
    // The models take both corrections when the second one arrives.
    if (SUCCEEDED(hr) && model_)
        model_->CorrectionChanged();
    return hr;
}

HRESULT CKavroDevice::get_SignalLevel(int32_t n, int32_t* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = model_ ? model_->SignalLevel(n) : 0;
    return S_OK;
}

HRESULT CKavroDevice::get_PiezoLevel(int32_t n, int32_t* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = model_ ? model_->PiezoLevel(n) : 0;
    return S_OK;
}

HRESULT CKavroDevice::get_StatTotalReceived(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = model_ ? static_cast<int32_t>(model_->StatTotalReceived()) : 0;
    return S_OK;
}

HRESULT CKavroDevice::get_StatTotalInvalid(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = model_ ? static_cast<int32_t>(model_->StatTotalInvalid()) : 0;
    return S_OK;
}

HRESULT CKavroDevice::get_StatTotalSkipped(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = model_ ? static_cast<int32_t>(model_->StatTotalSkipped()) : 0;
    return S_OK;
}

HRESULT CKavroDevice::get_ModelName(QString* out)
{
    if (!out)
        return E_POINTER;
    *out = DeviceIdentification::text(ident_.modelName);
    return S_OK;
}

HRESULT CKavroDevice::get_ModelVersion(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = modelVersion_;
    return S_OK;
}

QString CKavroDevice::serialText(int32_t nDev) const
{
    // Serial sensors carry their serial number in the banner; USB devices (500 and up) report
    // eight bytes of their own.
    if (modelVersion_ < 500)
        return DeviceIdentification::text(ident_.serialNumber);
    const DeviceSerial& s = serials_[nDev - 1];
    return QString::asprintf("%d-%d-%d-%d-%d-%d-%d-%d", s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
}

HRESULT CKavroDevice::get_SerialNumber(QString* out)
{
    if (!out)
        return E_POINTER;
    *out = serialText(1);
    return S_OK;
}

HRESULT CKavroDevice::get_SerialNumber2(int32_t nDev, QString* out)
{
    if (nDev < 1 || nDev > 3)
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = serialText(nDev);
    return S_OK;
}

HRESULT CKavroDevice::Reset(int32_t n)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (model_)
        model_->Reset(n);
    return S_OK;
}

HRESULT CKavroDevice::ConcludeCurrentAiming(int32_t n)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (model_)
        model_->ConcludeCurrentAiming(n);
    return S_OK;
}

HRESULT CKavroDevice::get_Semaphore(enumSemaphoreMode* out)
{
    if (!out)
        return E_POINTER;
    *out = semaphore_;
    return S_OK;
}

HRESULT CKavroDevice::put_Semaphore(enumSemaphoreMode value)
{
    if (value < SemaphoreOff || value > SemaphoreRed)
        return E_INVALIDARG;
    if (value == semaphore_)
        return S_OK;
    semaphore_ = value;
    if (!model_)
        return S_OK;
    if (!model_->HasSemaphore())
        return S_FALSE;
    model_->SetSemaphore(value);
    return S_OK;
}

HRESULT CKavroDevice::get_CalibrationMode(int32_t n, VARIANT_BOOL* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = toVariantBool(CalibrationMode(n));
    return S_OK;
}

HRESULT CKavroDevice::put_CalibrationMode(int32_t n, VARIANT_BOOL value)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    reader_.setCalibrationMode(n, value == VARIANT_TRUE);
    if (model_)
        model_->CalibrationModeChanged();
    return S_OK;
}

HRESULT CKavroDevice::get_PulseAvailable(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    *out = VARIANT_FALSE;
    if (!model_)
        return E_UNEXPECTED;
    *out = toVariantBool(model_->HasPulse());
    return S_OK;
}

HRESULT CKavroDevice::get_TriggerControlAvailable(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    *out = VARIANT_FALSE;
    if (!model_)
        return E_UNEXPECTED;
    *out = toVariantBool(model_->HasTriggerControl());
    return S_OK;
}

HRESULT CKavroDevice::get_SemaphoreAvailable(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    *out = VARIANT_FALSE;
    if (!model_)
        return E_UNEXPECTED;
    *out = toVariantBool(model_->HasSemaphore());
    return S_OK;
}

HRESULT CKavroDevice::get_Trigger(int32_t n, int32_t index, int32_t* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = 0;
    if (!model_ || !model_->GetTrigger(n, index - 1, out))
        return E_UNEXPECTED;
    return S_OK;
}

HRESULT CKavroDevice::get_SubTarget(int32_t n, int32_t* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).subTarget;
    return S_OK;
}

HRESULT CKavroDevice::put_SubTarget(int32_t n, int32_t value)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    sub(n).subTarget = value;
    if (model_)
        model_->SetSubTarget(n, value);
    return S_OK;
}

HRESULT CKavroDevice::get_PiezoRejectInterval(int32_t n, float* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).piezoRejectInterval;
    return S_OK;
}

HRESULT CKavroDevice::put_PiezoRejectInterval(int32_t n, float value)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    sub(n).piezoRejectInterval = value;
    return S_OK;
}

HRESULT CKavroDevice::get_SensorPosition(int32_t n, enumSensorPosition* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = sub(n).sensorPosition;
    return S_OK;
}

HRESULT CKavroDevice::put_SensorPosition(int32_t n, enumSensorPosition value)
{
    if (!validSubDevice(n) || value < SensorBottom || value > SensorRight)
        return E_INVALIDARG;
    sub(n).sensorPosition = value;
    return S_OK;
}

HRESULT CKavroDevice::get_DevicePath(QString* out)
{
    if (!out)
        return E_POINTER;
    *out = devicePath_;
    return S_OK;
}

HRESULT CKavroDevice::put_DevicePath(const QString& value)
{
    devicePath_ = value;
    return S_OK;
}

HRESULT CKavroDevice::AddShot(VARIANT_BOOL unlimited)
{
    if (model_)
        model_->AddShot(unlimited == VARIANT_TRUE);
    return S_OK;
}

HRESULT CKavroDevice::Data(float* v1, float* v2, float* v3, float* v4, float* v5, float* v6, float* v7, float* v8,
                           float* v9)
{
    float* outs[9] = {v1, v2, v3, v4, v5, v6, v7, v8, v9};
    for (float* p : outs)
        if (!p)
            return E_POINTER;
    // The last two are NaN with every bit set: "no value" for the readers of the battery state.
    const float none = std::bit_cast<float>(0xFFFFFFFFu);
    float values[9] = {0, 0, 0, 0, 0, 0, 0, none, none};
    if (model_)
        model_->Data(values);
    for (int i = 0; i < 9; ++i)
        *outs[i] = values[i];
    return S_OK;
}

HRESULT CKavroDevice::get_FiringPoint(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = firingPoint_;
    return S_OK;
}

HRESULT CKavroDevice::put_FiringPoint(int32_t value)
{
    firingPoint_ = value;
    if (model_)
        model_->FiringPointChanged();
    return S_OK;
}

HRESULT CKavroDevice::get_WirelessTargetDistance(float* out)
{
    if (!out)
        return E_POINTER;
    *out = wirelessTargetDistance_;
    return S_OK;
}

HRESULT CKavroDevice::put_WirelessTargetDistance(float value)
{
    wirelessTargetDistance_ = value;
    return S_OK;
}

HRESULT CKavroDevice::get_CalibrationWanted(int32_t n, VARIANT_BOOL* out)
{
    if (!validSubDevice(n))
        return E_INVALIDARG;
    if (!out)
        return E_POINTER;
    *out = toVariantBool(sub(n).calibrationWanted);
    return S_OK;
}

HRESULT CKavroDevice::get_LedsBrightnessAvailable(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    *out = VARIANT_FALSE;
    if (!model_)
        return E_UNEXPECTED;
    *out = toVariantBool(model_->HasLeds());
    return S_OK;
}

HRESULT CKavroDevice::get_LampsBrightnessAvailable(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    *out = VARIANT_FALSE;
    if (!model_)
        return E_UNEXPECTED;
    *out = toVariantBool(model_->HasLamps());
    return S_OK;
}

HRESULT CKavroDevice::get_LedsBrightness(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = 0;
    if (!model_)
        return E_UNEXPECTED;
    *out = model_->GetLedsBrightness();
    return S_OK;
}

HRESULT CKavroDevice::put_LedsBrightness(int32_t value)
{
    if (!model_)
        return E_UNEXPECTED;
    model_->SetLedsBrightness(value);
    return S_OK;
}

HRESULT CKavroDevice::get_LampsBrightness(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = 0;
    if (!model_)
        return E_UNEXPECTED;
    *out = model_->GetLampsBrightness();
    return S_OK;
}

HRESULT CKavroDevice::put_LampsBrightness(int32_t value)
{
    if (!model_)
        return E_UNEXPECTED;
    model_->SetLampsBrightness(value);
    return S_OK;
}

HRESULT CKavroDevice::get_Value(int32_t index, Variant* out)
{
    if (!out)
        return E_POINTER;
    if (index == kavrodev::kStatusTextValue) {
        *out = Variant(statusText_);
        return S_OK;
    }
    *out = Variant();
    return model_ && model_->GetValue(index, out) ? S_OK : E_FAIL;
}

HRESULT CKavroDevice::put_Value(int32_t index, const Variant& value)
{
    return model_ && model_->SetValue(index, value) ? S_OK : E_FAIL;
}

} // namespace kavro
