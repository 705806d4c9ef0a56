#pragma once
// The five-target biathlon sensor: valid positions make the aiming, the aiming ends when the
// targets are lost, and each shot tells the sensor which target was hit.
#include "device/serial/biathlon_decoder.h"
#include "device/serial/serial_aiming_kavro.h"

namespace kavro {

class CKavroBiathlon final : public CSerialAimingKavro {
public:
    static constexpr int32_t kModelNumber = 307;
    static constexpr int32_t kRate = 100;

    CKavroBiathlon(DeviceHost& host, std::unique_ptr<SerialPort> port);
    ~CKavroBiathlon() override;

    int32_t FrameLength() override { return static_cast<int32_t>(kBiathlonFrameLength); }
    int32_t BaudRate() override { return 57600; }
    int32_t CounterModulus() override { return 32; }

    bool Decode(const uint8_t* frame, SampleRecord& record) override;
    void SetRate() override;
    void SetScale() override { }
    bool Start() override;
    void Stop() override;
    bool OnSample(const SampleRecord& record) override;

protected:
    void ResetAiming() override;
    void ShotAdded(IShot* shot) override;

private:
    bool AddPoint(const SampleRecord& record);

    BiathlonDecoder decoder_;
};

} // namespace kavro
