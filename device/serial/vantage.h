#pragma once
// The Vantage family of serial sensors (8-byte frames) and its base behaviour, which the Classic
// shares: signal-driven aimings, piezo shots, the adaptive signal threshold.
#include "device/serial/serial_aiming_kavro.h"

namespace kavro {

// What one Vantage or Classic frame says.
struct VantageFrameValues {
    int32_t x = 0;
    int32_t y = 0;
    int32_t signal = 0;
    int32_t piezo = 0;
    int32_t counter = 0;
};

// The fields shared by both frame layouts (counter excluded); signal 0 when the spot lies
// outside the sensor's field, unless `calibration`.
VantageFrameValues decodeVantageFields(const uint8_t* b, bool calibration);

// Range byte of the scale command and the coordinate divisor for a target and distance.
struct VantageScale {
    uint8_t range = 0; // 1: near, 0: far
    int32_t divisor = 1;
};
VantageScale chooseVantageScale(float distanceM, float targetSizeMm, bool target5m);

class CKavroVantage : public CSerialAimingKavro {
public:
    static constexpr int32_t kModelNumber = 300;
    static constexpr int32_t kDefaultSignalThreshold = 40;

    CKavroVantage(DeviceHost& host, std::unique_ptr<SerialPort> port, int32_t modelNumber = kModelNumber);
    ~CKavroVantage() override;

    int32_t FrameLength() override { return 8; }
    int32_t BaudRate() override { return 19200; }
    int32_t CounterModulus() override { return 256; }

    bool Decode(const uint8_t* frame, SampleRecord& record) override;
    void SetRate() override;
    void SetScale() override;
    bool Start() override;
    void Stop() override;
    bool OnSample(const SampleRecord& record) override;
    void Reset(int32_t n) override;

    int32_t SignalThreshold() const { return signalThreshold_; }
    int32_t ScaleDivisor() const { return divisor_; }

protected:
    struct RateChoice {
        uint8_t code;
        uint32_t baud;
    };
    virtual RateChoice ChooseRate(int32_t rate) const;
    // Adds the sample's point; false when the aiming was concluded instead.
    virtual bool AddPoint(const SampleRecord& record);
    void TakeShot(bool missed) override;
    void ResetAiming() override;
    // A missed shot added at the end carries no signal level to adapt the threshold to.
    void AimingEnding() override { signalBeforeShot_ = 0; }

    int32_t signalThreshold_ = kDefaultSignalThreshold;
    int32_t settleCount_;
    int32_t divisor_ = 1;
    int32_t signalBeforeShot_ = 0;
    bool havePrevious_ = false;
    float prevU_ = 0;
    float prevV_ = 0;
};

// The Vantage sensors with a start semaphore, driven by one command code.
class CKavroVantageSemaphore : public CKavroVantage {
public:
    CKavroVantageSemaphore(DeviceHost& host, std::unique_ptr<SerialPort> port, int32_t modelNumber,
                           uint8_t semaphoreCode)
        : CKavroVantage(host, std::move(port), modelNumber), semaphoreCode_(semaphoreCode)
    {
    }
    bool HasSemaphore() override { return true; }
    bool SetSemaphore(int32_t mode) override { return SendCommand(semaphoreCode_, {static_cast<uint8_t>(mode)}); }

private:
    uint8_t semaphoreCode_;
};

class CKavroVantagei final : public CKavroVantageSemaphore {
public:
    static constexpr int32_t kModelNumber = 302;
    CKavroVantagei(DeviceHost& host, std::unique_ptr<SerialPort> port)
        : CKavroVantageSemaphore(host, std::move(port), kModelNumber, 22)
    {
    }
    ~CKavroVantagei() override { Close(); }
};

class CKavroVantage_s : public CKavroVantageSemaphore {
public:
    static constexpr int32_t kModelNumber = 303;
    CKavroVantage_s(DeviceHost& host, std::unique_ptr<SerialPort> port, int32_t modelNumber = kModelNumber)
        : CKavroVantageSemaphore(host, std::move(port), modelNumber, 21)
    {
    }
    ~CKavroVantage_s() override { Close(); }
};

} // namespace kavro
