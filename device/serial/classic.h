#pragma once
// The Classic: a Vantage with 10-byte frames that add a trigger channel and a pulse sensor.
#include "device/serial/pulse_detector.h"
#include "device/serial/vantage.h"

#include <vector>

namespace kavro {

class CKavroClassic final : public CKavroVantage_s {
public:
    static constexpr int32_t kModelNumber = 306;

    CKavroClassic(DeviceHost& host, std::unique_ptr<SerialPort> port);
    ~CKavroClassic() override;

    int32_t FrameLength() override { return 10; }
    int32_t BaudRate() override { return 38400; }
    int32_t CounterModulus() override { return 16; }
    bool HasPulse() override { return true; }
    bool HasTriggerControl() override { return true; }

    bool Decode(const uint8_t* frame, SampleRecord& record) override;
    void ProcessSamples(const SampleRecord* records, size_t count) override;
    bool OnSample(const SampleRecord& record) override;
    bool GetTrigger(int32_t n, int32_t index, int32_t* value) override;

protected:
    RateChoice ChooseRate(int32_t rate) const override;
    bool AddPoint(const SampleRecord& record) override;
    void PrepareTrace(IAimingTrace* trace) override;
    // The trigger values gathered since the last report.
    void FlushBatchedValues() override;

private:
    PulseDetector pulse_;
    std::vector<uint16_t> triggers_;
    size_t triggerCount_ = 0;
    bool inBatch_ = false;
    int32_t triggerChannel_ = 0;
};

} // namespace kavro
