#pragma once
// The interfaces, event sink, enumerations and class identifiers of the device module (kavrodev).
// The trainer codes against this header and creates the control by CLSID.
//
// Shared rules: a null out-pointer gives E_POINTER; an interface out-pointer must point to null on
// entry. `n` is a sub-device index, 1 or 2 (E_INVALIDARG otherwise); script callers that omit it
// pass 1. "Connected" means that a device model is running. Flags are VARIANT_BOOL.
// The identifiers below are fixed: never change them.
#include "com/unknown.h"
#include "com/variant.h"
#include "kavrodoc.h"

#include <cstdint>

class QWidget;

enum enumTargetType : int32_t {
    Target5m = 1,
    Target10m = 2,
    TargetRunner10m = 3,
    Target25m = 4,
    Target50m = 5,
};

enum enumSemaphoreMode : int32_t {
    SemaphoreOff = 0,
    SemaphoreGreen = 1,
    SemaphoreRed = 2,
};

enum enumSensorPosition : int32_t {
    SensorBottom = 1,
    SensorTop = 2,
    SensorLeft = 3,
    SensorRight = 4,
};

// `ModelVersion` tells the sensor families apart: below 500 the serial sensors, from 500 the USB
// sensors and electronic targets, from 600 the image sensors.
namespace ModelVersion {
inline constexpr int32_t FirstUsb = 500;
inline constexpr int32_t ImageSensor = 600;
} // namespace ModelVersion

struct IKavroDevice : IUnknown {
    static constexpr Guid iid = Guid::parse("58AC8F59-F43E-4F47-8D5C-1A5CD8FDF589");
    // 1..256; another value while connected is E_UNEXPECTED.
    virtual HRESULT get_CommPort(int32_t* out) = 0;
    virtual HRESULT put_CommPort(int32_t value) = 0;
    // Putting VARIANT_TRUE chooses and starts a device model: USB when DevicePath is set, else
    // the serial sensor on CommPort. E_FAIL when no sensor answers or the model will not start.
    virtual HRESULT get_Connected(VARIANT_BOOL* out) = 0;
    virtual HRESULT put_Connected(VARIANT_BOOL value) = 0;
    // Samples per second, 20..500; a change while connected counts from the next connect.
    virtual HRESULT get_SampleRate(int32_t* out) = 0;
    virtual HRESULT put_SampleRate(int32_t value) = 0;
    // Putting looks the event up; E_FAIL when it is not installed (the name stays stored).
    virtual HRESULT get_EventShortName(int32_t n, QString* out) = 0;
    virtual HRESULT put_EventShortName(int32_t n, const QString& value) = 0;
    // Getting without an event held makes and holds an empty one. Null is E_INVALIDARG.
    virtual HRESULT get_Event(int32_t n, IEventParams** out) = 0;
    virtual HRESULT put_Event(int32_t n, IEventParams* value) = 0;
    // Another value while connected is E_UNEXPECTED.
    virtual HRESULT get_TargetType(int32_t n, enumTargetType* out) = 0;
    virtual HRESULT put_TargetType(int32_t n, enumTargetType value) = 0;
    virtual HRESULT get_PiezoSensitivity(int32_t n, int32_t* out) = 0;
    virtual HRESULT put_PiezoSensitivity(int32_t n, int32_t value) = 0;
    // Seconds, at least 0.5.
    virtual HRESULT get_MaxTimeBeforeShot(int32_t n, float* out) = 0;
    virtual HRESULT put_MaxTimeBeforeShot(int32_t n, float value) = 0;
    virtual HRESULT get_MaxTimeAfterShot(int32_t n, float* out) = 0;
    virtual HRESULT put_MaxTimeAfterShot(int32_t n, float value) = 0;
    // Millimetres, kept in whole hundredths (1.239 reads back as 1.23).
    virtual HRESULT get_CorrectionX(int32_t n, float* out) = 0;
    virtual HRESULT put_CorrectionX(int32_t n, float value) = 0;
    virtual HRESULT get_CorrectionY(int32_t n, float* out) = 0;
    virtual HRESULT put_CorrectionY(int32_t n, float value) = 0;
    // 0 while disconnected.
    virtual HRESULT get_SignalLevel(int32_t n, int32_t* out) = 0;
    virtual HRESULT get_PiezoLevel(int32_t n, int32_t* out) = 0;
    virtual HRESULT get_StatTotalReceived(int32_t* out) = 0;
    virtual HRESULT get_StatTotalInvalid(int32_t* out) = 0;
    virtual HRESULT get_StatTotalSkipped(int32_t* out) = 0;
    virtual HRESULT get_ModelName(QString* out) = 0;
    virtual HRESULT get_ModelVersion(int32_t* out) = 0; // the model number, 0 before a connect
    virtual HRESULT get_SerialNumber(QString* out) = 0;
    virtual HRESULT Reset(int32_t n) = 0;
    virtual HRESULT ConcludeCurrentAiming(int32_t n) = 0;
    // Asks the port of CommPort which sensor hangs on it; *found is VARIANT_FALSE when the port
    // cannot be opened or nothing answers. E_UNEXPECTED while connected.
    virtual HRESULT LookupDevice(VARIANT_BOOL* found) = 0;
    // S_FALSE when the running model has no semaphore (the value is kept).
    virtual HRESULT get_Semaphore(enumSemaphoreMode* out) = 0;
    virtual HRESULT put_Semaphore(enumSemaphoreMode value) = 0;
    // Switches on only with VARIANT_TRUE.
    virtual HRESULT get_CalibrationMode(int32_t n, VARIANT_BOOL* out) = 0;
    virtual HRESULT put_CalibrationMode(int32_t n, VARIANT_BOOL value) = 0;
    // E_UNEXPECTED while disconnected.
    virtual HRESULT get_PulseAvailable(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_TriggerControlAvailable(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_SemaphoreAvailable(VARIANT_BOOL* out) = 0;
    // Trigger value `index` (1-based) of those reported by the running Trigger event;
    // E_UNEXPECTED outside that event or while disconnected.
    virtual HRESULT get_Trigger(int32_t n, int32_t index, int32_t* out) = 0;
    virtual HRESULT get_SubTarget(int32_t n, int32_t* out) = 0;
    virtual HRESULT put_SubTarget(int32_t n, int32_t value) = 0;
    virtual HRESULT get_PiezoRejectInterval(int32_t n, float* out) = 0; // seconds
    virtual HRESULT put_PiezoRejectInterval(int32_t n, float value) = 0;
    virtual HRESULT get_SensorPosition(int32_t n, enumSensorPosition* out) = 0;
    virtual HRESULT put_SensorPosition(int32_t n, enumSensorPosition value) = 0;
    virtual HRESULT get_DevicePath(QString* out) = 0; // USB device path; empty for serial sensors
    virtual HRESULT put_DevicePath(const QString& value) = 0;
    // A shot now, as the trigger of the weapon would report it (script callers may omit
    // `unlimited`: pass VARIANT_FALSE).
    virtual HRESULT AddShot(VARIANT_BOOL unlimited) = 0;
    // Device 1 is the sensor, 2 and 3 its companions.
    virtual HRESULT get_SerialNumber2(int32_t nDev, QString* out) = 0;
    // Nine live values of the model; unused ones read 0, the last two NaN when the model has none.
    virtual HRESULT Data(float* v1, float* v2, float* v3, float* v4, float* v5, float* v6, float* v7, float* v8,
                         float* v9)
        = 0;
    virtual HRESULT get_FiringPoint(int32_t* out) = 0;
    virtual HRESULT put_FiringPoint(int32_t value) = 0;
    virtual HRESULT get_WirelessTargetDistance(float* out) = 0;
    virtual HRESULT put_WirelessTargetDistance(float value) = 0;
    virtual HRESULT get_CalibrationWanted(int32_t n, VARIANT_BOOL* out) = 0;
    // E_UNEXPECTED while disconnected.
    virtual HRESULT get_LedsBrightnessAvailable(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_LampsBrightnessAvailable(VARIANT_BOOL* out) = 0;
    virtual HRESULT get_LedsBrightness(int32_t* out) = 0;
    virtual HRESULT put_LedsBrightness(int32_t value) = 0;
    virtual HRESULT get_LampsBrightness(int32_t* out) = 0;
    virtual HRESULT put_LampsBrightness(int32_t value) = 0;
    // Index 5 is the device's message for the user (text); the others belong to the model and
    // give E_FAIL when it has no such value or none is running.
    virtual HRESULT get_Value(int32_t index, Variant* out) = 0;
    virtual HRESULT put_Value(int32_t index, const Variant& value) = 0;
};

// Every event arrives on the thread that made the control.
struct _IKavroDeviceEvents : IUnknown {
    static constexpr Guid iid = Guid::parse("108C8CA8-ED0A-438E-907B-AE3D6E293FBE");
    virtual HRESULT StartAiming(int32_t nSubDevice, IAiming* aiming) = 0;
    // `count` points were added to the aiming's trace since the previous report.
    virtual HRESULT NewCoordinates(int32_t nSubDevice, IAiming* aiming, int32_t count) = 0;
    virtual HRESULT Shot(int32_t nSubDevice, IAiming* aiming, IShot* shot) = 0;
    virtual HRESULT ConcludeAiming(int32_t nSubDevice, IAiming* aiming) = 0;
    // The signal of the concluded aiming has gone.
    virtual HRESULT FinalConcludeAiming(int32_t nSubDevice) = 0;
    virtual HRESULT PulseChanged(int32_t nSubDevice, int32_t pulse) = 0; // beats per minute
    // `count` trigger values are readable through IKavroDevice::get_Trigger during this call.
    virtual HRESULT Trigger(int32_t nSubDevice, int32_t count) = 0;
    virtual HRESULT HeartBeat(int32_t nSubDevice, DATE dateMin, DATE dateMax) = 0;
    virtual HRESULT Disconnected() = 0;
    virtual HRESULT Reconnected() = 0;
    virtual HRESULT Timeout(int32_t seconds) = 0; // seconds without data
};

// What replaces in-place activation: the host asks the control for its face as a child widget.
// The host's widget tree owns it.
struct IKavroDeviceWindow : IUnknown {
    static constexpr Guid iid = Guid::parse("0C428539-4AF8-4864-9512-2A37F72358F4");
    // E_UNEXPECTED while a widget made earlier still lives.
    virtual HRESULT CreateWidget(QWidget* parent, QWidget** widget) = 0;
};

namespace kavrodev {

constexpr Guid CLSID_KavroDevice = Guid::parse("E4DD0742-B1CA-4513-B097-A6E5B8524F99");
constexpr Guid LIBID_KAVRODEVLib = Guid::parse("A4E9BD18-52D8-4BDA-870B-AD0DC1030E03");

inline constexpr char ProgId_KavroDevice[] = "KavroDev.KavroDevice.1";
inline constexpr char ProgIdVI_KavroDevice[] = "KavroDev.KavroDevice";

// Value(index) that holds the device's message for the user.
constexpr int32_t kStatusTextValue = 5;

} // namespace kavrodev
