#pragma once
// The device model of the USB hardware: an optical sensor on the weapon with a wired or home
// target controller, or a wireless sensor heard through a wireless receiver or a home target.
// It owns the USB devices, turns optical samples and wireless packets into sample records, and
// on the control thread into aimings, trace points and shots of sub-device 1.
#include "device/filters/iir_filter.h"
#include "device/filters/quadratic_resampler.h"
#include "device/model/aiming_recorder.h"
#include "device/model/generic_kavro.h"
#include "device/usb/usb_optical_sensor.h"
#include "device/usb/usb_pulse_sensor.h"
#include "device/usb/usb_target.h"
#include "device/usb/usb_trigger_sensor.h"
#include "device/usb/usb_wireless_home_target.h"
#include "device/usb/usb_wireless_target.h"
#include "device/usb/wireless_decoder.h"
#include "device/usbmodel/calibration_store.h"
#include "device/usbmodel/pulse_rate.h"

#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace kavro {

class CKavroDeviceUSB final : public CGenericKavro {
public:
    static constexpr int32_t kSensorKind = 2;
    static constexpr uint8_t kDescriptorTypeLeds = 18;
    static constexpr uint16_t kDefaultShotThreshold = 100;

    CKavroDeviceUSB(DeviceHost& host, const QString& devicePath, bool wireless);
    ~CKavroDeviceUSB() override;

    // Model operations.
    bool Open() override;
    void Close() override;
    bool Start() override;
    void Stop() override;
    void SetRate() override;
    int32_t CounterModulus() override { return 0; }
    void SetPiezoSensitivity(int32_t n, int32_t value) override;
    int32_t GetPiezoSensitivity(int32_t n) override;
    int32_t SignalLevel(int32_t n) override;
    int32_t PiezoLevel(int32_t n) override;
    bool SetSemaphore(int32_t kind) override;
    bool SetSubTarget(int32_t n, int32_t value) override;
    bool GetTrigger(int32_t n, int32_t index, int32_t* out) override;
    void Data(float (&values)[9]) override;
    bool HasPulse() override { return pulse_.IsOpen(); }
    bool HasTriggerControl() override { return trigger_.IsOpen(); }
    bool HasLeds() override { return ledsSupported_; }
    int32_t GetLedsBrightness() override { return ledLevel_ == kUnknownLevel ? 7 : ledLevel_; }
    void SetLedsBrightness(int32_t level) override;
    bool HasLamps() override { return lampsSupported_; }
    int32_t GetLampsBrightness() override { return lampLevel_ == kUnknownLevel ? 7 : lampLevel_; }
    void SetLampsBrightness(int32_t level) override;
    void ProcessSamples(const SampleRecord* records, size_t count) override;
    void BeginBatch(size_t count) override;
    bool OnSample(const SampleRecord& record) override;
    void FlushCoordinates() override;
    void ConcludeCurrentAiming(int32_t n) override;
    void Reset(int32_t n) override { ConcludeCurrentAiming(n); }
    void CorrectionChanged() override;
    void CalibrationModeChanged() override;
    void AddShot(bool unlimited) override;
    void OnTargetNotice(intptr_t w, intptr_t l) override;
    void OnSensorNotice(intptr_t w, intptr_t l) override;

    // Lights of the target: bit 1..16 of light mask 1 or 2.
    bool SetLight1(int bit, bool on);
    bool SetLight2(int bit, bool on);
    // Sends the target face codes for the control's sub-target.
    void SendTargetFace();

    // Read by tests.
    bool IsWireless() const { return wireless_; }
    bool IsCalibrated() const { return calibrated_; }
    double CalibratedScale() const { return calibratedScale_; }
    std::array<int32_t, 2> SignalSettings() const;
    uint16_t LightMask1() const { return lightMask1_; }
    uint16_t LightMask2() const { return lightMask2_; }
    int32_t SignalLevelSetting() const { return signalLevel_; }
    UsbOpticalSensor& OpticalSensor() { return optical_; }
    // The scale factor added to a sample's scale for the one given (the sensor's own additive term).
    static double AdditiveTerm(double p);
    // The five-target selection after a sample at x (already rotated) with `selected` aimed at.
    static int AimedTarget(int selected, double x);
    // The scale of the form check: close to 10 counts as 10.
    static double FormCheckScale(double s);

private:
    static constexpr int32_t kUnknownLevel = 255;
    static constexpr int kRegulatorIdle = -1;

    // Open steps.
    bool fail(const char* text);
    bool openDevices();
    bool openWirelessSource();
    bool openWiredSensor();
    bool readReceiverTarget();
    bool openHomeTarget();
    bool readOpticalCalibration();
    void hookSources();
    void unhookSources();
    void openAuxiliarySensors();
    void stopTargets();

    // Target settings.
    bool findTargetNumber();
    bool readTargetDescriptor();
    void applyReferenceSize(double size);
    bool sendSignalSettings(int32_t s0, int32_t s1);
    // A wireless target command with the timing of its command byte, to the connected target
    // unless another is given.
    bool wirelessCommand(std::initializer_list<uint8_t> bytes, int target = -1);
    bool wirelessQuery(uint8_t command, uint8_t* answer, size_t length);
    bool selectFiveTarget(int target);
    void allLightsOff();
    void loadLightLevels();
    void saveLightLevels();
    QString targetSerialText() const;
    QString sensorSerialText() const;
    static QString serialText(const UsbSerialNumber& s);
    SignalRange storedSignalRange() const;
    bool keepsCalibration() const { return !wireless_; }
    void loadCalibration();
    void saveCalibration();
    bool fiveTargetMode() const;
    bool pairType() const;
    // The 16-bit type code at the head of the wireless target's descriptor.
    int descriptorType() const { return descriptor_[0] | (descriptor_[1] << 8); }

    // Reader thread.
    void OnSignal(const OpticalSample& s);
    void regulateOptical(const OpticalSample& s);
    // Both regulations start afresh with the next sample or packet.
    void setRegulationIdle();
    void OnWirelessPacket(ByteSpan packet);

    // Control thread: records.
    void handleWirelessRecord(const SampleRecord& record);
    void regulateWireless(const WirelessSample& s);
    void step(SampleRecord record);
    bool followFiveTargets(SampleRecord& r);
    void transform(const SampleRecord& r, double& x, double& y) const;
    bool insideForm(const SampleRecord& r) const;
    double scaleDivisorOf(const SampleRecord& r) const;
    double sampleScale(const SampleRecord& r) const;
    void stepPlain(SampleRecord& r, bool signal, int32_t countBefore);
    void stepFiveTargets(SampleRecord& r, bool signal, int32_t countBefore);
    void shotDetection(const SampleRecord& r, int32_t countBefore);

    // Aimings.
    bool StartAiming();
    bool AddPoint(const SampleRecord& r, bool signal);
    void TakeShot(bool missed, const SampleRecord* r);
    void ConcludeAiming();
    void ResetAiming();
    int32_t eventInt(HRESULT (IEventParams::*get)(int32_t*), int32_t fallback) const;
    float eventDistance() const;
    bool shotLimitReached() const;
    int32_t triggerDataIndex() const;

    const bool wireless_;
    const std::string path_;
    UsbOpticalSensor optical_;
    UsbTarget target_;
    UsbTriggerSensor trigger_;
    UsbPulseSensor pulse_;
    UsbWirelessTarget receiver_;
    UsbWirelessHomeTarget home_;
    WirelessLink link_;
    QuadraticResampler resampleX_, resampleY_;
    CalibrationStore store_;

    int32_t signalLevel_; // L: the spot sum the regulation aims at
    IirFilter filterX_, filterY_;
    int targetNumber_ = 0;
    std::array<uint8_t, 17> descriptor_{};
    std::array<uint8_t, 10> targetSettings_{};
    // Both face codes in one word (first in the low byte): the reader thread's regulation reads them.
    std::atomic<uint16_t> faceCodes_{0};
    uint16_t lightMask1_ = 0;
    uint16_t lightMask2_ = 0;
    bool ledsSupported_ = false;
    bool lampsSupported_ = false;
    int32_t ledLevel_ = kUnknownLevel;
    int32_t lampLevel_ = kUnknownLevel;
    uint16_t shotThreshold_ = kDefaultShotThreshold;
    double additive_ = 0.35;
    UsbSerialNumber serials_[3]{};

    // Shared with the reader threads.
    mutable std::mutex regLock_;
    std::array<int32_t, 2> settings_{0x8000, 0x8000};
    int regulator_ = kRegulatorIdle;
    std::atomic<bool> calibrationMode_{false};
    std::mutex beatLock_;
    std::optional<DATE> pendingBeat_;

    // Calibration.
    bool calibrated_ = false;
    double angle0_ = 0, dx0_ = 0, dy0_ = 0;
    double calibratedScale_ = 0;
    double corrX_ = 0, corrY_ = 0; // millimetres
    struct Reference {
        double angle, x, y, tx, ty, factor;
    };
    std::optional<Reference> reference_;

    // Wireless state.
    int lastType_ = -1;
    int lastIdentity_ = -1;
    int lastTrigger_ = 0;
    int wirelessRegWait_ = 0;
    uint32_t startTick_ = 0;

    // Pulse.
    PulseRate pulseRate_;
    int32_t lastPulse_ = 0;

    // Sample processing.
    SampleRecord current_;
    int32_t lastSignal_ = 0;
    int32_t lastAmplitude_ = 0;
    int settleCount_ = 5;
    std::vector<int16_t> triggers_;
    bool inBatch_ = false;
    bool auxProbed_ = false;
    uint32_t lastAuxProbe_ = 0;

    // Aiming.
    AimingRecorder recorder_{*this};
    int32_t triggerIndex_ = -1;
    int32_t shots_ = 0;
    int32_t samplesSinceShot_ = 0;
    int32_t idle_ = 0;
    int32_t settleCounter_ = 0;
    bool settled_ = true;
    int32_t samplesInAiming_ = 0;
    uint32_t lastDataTick_ = 0;
    double lastX_ = 0, lastY_ = 0, lastFactor_ = 0;

    // Five targets.
    int selectedTarget_ = 2;
    int holdOff_ = 0;
    int lightPulse_ = 0;
    int lightPulseBit_ = 0;
};

} // namespace kavro
