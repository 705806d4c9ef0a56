#pragma once
// The device control: holds what the trainer sets, runs one device model while connected and
// fans the model's events out to the advised sinks. Its members, the models' sample steps and
// the event firing run on the thread that made it; the models' reader threads see only the
// atomic reader settings (DeviceHost::ReaderView).
#include "device/control/device_environment.h"
#include "device/control/sub_device_settings.h"
#include "device/model/device_host.h"
#include "device/model/identification.h"
#include "device/usb/connect_problem.h"

#include "com/connection.h"
#include "kavrodev.h"
#include "olecontrol.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <array>
#include <memory>
#include <vector>

namespace kavro {

class CGenericKavro;

class CKavroDevice final : public ComObject<CKavroDevice, IKavroDevice, IConnectionPointContainer, IPersistStreamInit,
                                            IPersistPropertyBag, IKavroDeviceWindow>,
                           public DeviceHost {
public:
    static constexpr Guid clsid = kavrodev::CLSID_KavroDevice;

    CKavroDevice();
    ~CKavroDevice() override;

    // IConnectionPointContainer: _IKavroDeviceEvents.
    HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override;

    // IKavroDevice
    HRESULT get_CommPort(int32_t* out) override;
    HRESULT put_CommPort(int32_t value) override;
    HRESULT get_Connected(VARIANT_BOOL* out) override;
    HRESULT put_Connected(VARIANT_BOOL value) override;
    HRESULT get_SampleRate(int32_t* out) override;
    HRESULT put_SampleRate(int32_t value) override;
    HRESULT get_EventShortName(int32_t n, QString* out) override;
    HRESULT put_EventShortName(int32_t n, const QString& value) override;
    HRESULT get_Event(int32_t n, IEventParams** out) override;
    HRESULT put_Event(int32_t n, IEventParams* value) override;
    HRESULT get_TargetType(int32_t n, enumTargetType* out) override;
    HRESULT put_TargetType(int32_t n, enumTargetType value) override;
    HRESULT get_PiezoSensitivity(int32_t n, int32_t* out) override;
    HRESULT put_PiezoSensitivity(int32_t n, int32_t value) override;
    HRESULT get_MaxTimeBeforeShot(int32_t n, float* out) override;
    HRESULT put_MaxTimeBeforeShot(int32_t n, float value) override;
    HRESULT get_MaxTimeAfterShot(int32_t n, float* out) override;
    HRESULT put_MaxTimeAfterShot(int32_t n, float value) override;
    HRESULT get_CorrectionX(int32_t n, float* out) override;
    HRESULT put_CorrectionX(int32_t n, float value) override;
    HRESULT get_CorrectionY(int32_t n, float* out) override;
    HRESULT put_CorrectionY(int32_t n, float value) override;
    HRESULT get_SignalLevel(int32_t n, int32_t* out) override;
    HRESULT get_PiezoLevel(int32_t n, int32_t* out) override;
    HRESULT get_StatTotalReceived(int32_t* out) override;
    HRESULT get_StatTotalInvalid(int32_t* out) override;
    HRESULT get_StatTotalSkipped(int32_t* out) override;
    HRESULT get_ModelName(QString* out) override;
    HRESULT get_ModelVersion(int32_t* out) override;
    HRESULT get_SerialNumber(QString* out) override;
    HRESULT Reset(int32_t n) override;
    HRESULT ConcludeCurrentAiming(int32_t n) override;
    HRESULT LookupDevice(VARIANT_BOOL* found) override;
    HRESULT get_Semaphore(enumSemaphoreMode* out) override;
    HRESULT put_Semaphore(enumSemaphoreMode value) override;
    HRESULT get_CalibrationMode(int32_t n, VARIANT_BOOL* out) override;
    HRESULT put_CalibrationMode(int32_t n, VARIANT_BOOL value) override;
    HRESULT get_PulseAvailable(VARIANT_BOOL* out) override;
    HRESULT get_TriggerControlAvailable(VARIANT_BOOL* out) override;
    HRESULT get_SemaphoreAvailable(VARIANT_BOOL* out) override;
    HRESULT get_Trigger(int32_t n, int32_t index, int32_t* out) override;
    HRESULT get_SubTarget(int32_t n, int32_t* out) override;
    HRESULT put_SubTarget(int32_t n, int32_t value) override;
    HRESULT get_PiezoRejectInterval(int32_t n, float* out) override;
    HRESULT put_PiezoRejectInterval(int32_t n, float value) override;
    HRESULT get_SensorPosition(int32_t n, enumSensorPosition* out) override;
    HRESULT put_SensorPosition(int32_t n, enumSensorPosition value) override;
    HRESULT get_DevicePath(QString* out) override;
    HRESULT put_DevicePath(const QString& value) override;
    HRESULT AddShot(VARIANT_BOOL unlimited) override;
    HRESULT get_SerialNumber2(int32_t nDev, QString* out) override;
    HRESULT Data(float* v1, float* v2, float* v3, float* v4, float* v5, float* v6, float* v7, float* v8,
                 float* v9) override;
    HRESULT get_FiringPoint(int32_t* out) override;
    HRESULT put_FiringPoint(int32_t value) override;
    HRESULT get_WirelessTargetDistance(float* out) override;
    HRESULT put_WirelessTargetDistance(float value) override;
    HRESULT get_CalibrationWanted(int32_t n, VARIANT_BOOL* out) override;
    HRESULT get_LedsBrightnessAvailable(VARIANT_BOOL* out) override;
    HRESULT get_LampsBrightnessAvailable(VARIANT_BOOL* out) override;
    HRESULT get_LedsBrightness(int32_t* out) override;
    HRESULT put_LedsBrightness(int32_t value) override;
    HRESULT get_LampsBrightness(int32_t* out) override;
    HRESULT put_LampsBrightness(int32_t value) override;
    HRESULT get_Value(int32_t index, Variant* out) override;
    HRESULT put_Value(int32_t index, const Variant& value) override;

    // IPersistStreamInit and IPersistPropertyBag: the extent (HIMETRIC), the only persisted
    // state. The stream holds int32 version 1, then the width and height as uint32.
    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;
    HRESULT Load(IPropertyBag* bag) override;
    HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;

    // IKavroDeviceWindow: the face, sized to the extent.
    HRESULT CreateWidget(QWidget* parent, QWidget** widget) override;

    // 30 x 30 pixels.
    static const uint32_t kInitialExtent;
    std::array<uint32_t, 2> Extent() const { return extent_; }

    // DeviceHost
    ComPtr<IEventParams> Event(int32_t n) const override;
    void SetSampleRate(int32_t rate) override;
    enumTargetType TargetType(int32_t n) const override { return sub(n).targetType; }
    int32_t PiezoSensitivity(int32_t n) const override { return sub(n).piezoSensitivity; }
    float MaxTimeBeforeShot(int32_t n) const override { return sub(n).maxTimeBeforeShot; }
    float MaxTimeAfterShot(int32_t n) const override { return sub(n).maxTimeAfterShot; }
    int32_t CorrectionX(int32_t n) const override { return sub(n).correctionX; }
    int32_t CorrectionY(int32_t n) const override { return sub(n).correctionY; }
    int32_t SubTarget(int32_t n) const override { return sub(n).subTarget; }
    enumSensorPosition SensorPosition(int32_t n) const override { return sub(n).sensorPosition; }
    float PiezoRejectInterval(int32_t n) const override { return sub(n).piezoRejectInterval; }
    enumSemaphoreMode Semaphore() const override { return semaphore_; }
    int32_t FiringPoint() const override { return firingPoint_; }
    float WirelessTargetDistance() const override { return wirelessTargetDistance_; }
    void SetStatusText(const QString& text) override { statusText_ = text; }
    void SetDeviceSerial(int32_t nDev, const DeviceSerial& serial) override;
    void SetCalibrationWanted(int32_t n, bool wanted) override;
    void SetCorrections(int32_t n, int32_t x, int32_t y) override;
    HRESULT FireEvent(const std::function<HRESULT(_IKavroDeviceEvents*)>& call) override;
    std::unique_ptr<ControlQueue> MakeQueue(QueueHandler handler) override;
    Clock& clock() override { return *env_.clock; }

    // The running model (null while disconnected); for tests and the calibration store.
    CGenericKavro* model() const { return model_.get(); }

private:
    static bool validSubDevice(int32_t n) { return n == 1 || n == 2; }
    // Out-of-range indexes read sub-device 1: models ask only for 1 and 2.
    const SubDeviceSettings& sub(int32_t n) const { return subs_[n == 2 ? 1 : 0]; }
    SubDeviceSettings& sub(int32_t n) { return subs_[n == 2 ? 1 : 0]; }

    HRESULT connect();
    void disconnect();
    // Checks the event the models use before one may divide by its distance.
    HRESULT checkEvents();
    // Sets the status text that says why the connect failed; the connect's result.
    HRESULT failConnect(ConnectProblem problem, const std::string& where = {});
    std::unique_ptr<CGenericKavro> chooseUsbModel();
    HRESULT chooseSerialModel(std::unique_ptr<CGenericKavro>* out);
    // Destroys a closed model, or keeps it until no handler of a model's window is running.
    void retire(std::unique_ptr<CGenericKavro> model);
    void freeRetired();
    QString serialText(int32_t nDev) const;
    void resizeWidget();

    static constexpr int32_t kPersistVersion = 1;

    DeviceEnvironment env_;
    ConnectionPoint<_IKavroDeviceEvents> events_{identity()};
    int32_t commPort_ = 1;
    // The trainer's setting; a running model keeps the rate it was opened with.
    int32_t sampleRate_ = 200;
    QString devicePath_;
    std::unique_ptr<CGenericKavro> model_;
    std::vector<std::unique_ptr<CGenericKavro>> retired_;
    int dispatchDepth_ = 0;
    DeviceIdentification ident_;
    int32_t modelVersion_ = 0;
    std::array<DeviceSerial, 3> serials_{};
    QString statusText_;
    ComPtr<IEventManager> eventManager_;
    std::array<SubDeviceSettings, 2> subs_;
    enumSemaphoreMode semaphore_ = SemaphoreOff;
    int32_t firingPoint_ = 1;
    float wirelessTargetDistance_ = 10.0f;
    std::array<uint32_t, 2> extent_{kInitialExtent, kInitialExtent};
    std::array<uint32_t, 2> savedExtent_ = extent_;
    QPointer<QWidget> widget_;
};

} // namespace kavro
