#include "device/serial/classic.h"

#include "device/model/model_factory.h"

namespace kavro {

CKavroClassic::CKavroClassic(DeviceHost& host, std::unique_ptr<SerialPort> port)
    : CKavroVantage_s(host, std::move(port), kModelNumber), pulse_(host.SampleRate())
{
}

CKavroClassic::~CKavroClassic()
{
    Close();
}

bool CKavroClassic::Decode(const uint8_t* b, SampleRecord& record)
{
    // b6 takes part with only its bits 0xE1: the others carry the check nibble.
    uint8_t s = static_cast<uint8_t>(b[6] & 0xE1);
    for (int i = 0; i < 10; ++i) {
        if (i != 6)
            s = static_cast<uint8_t>(s + b[i]);
    }
    if ((((s >> 4) ^ s) & 0xF) != ((b[6] >> 1) & 0xF))
        return false;
    const VantageFrameValues v = decodeVantageFields(b, host().readerView().calibrationMode(1));
    record.setCounter(static_cast<uint8_t>(((b[5] >> 4) & 7) | ((b[6] & 1) << 3)));
    record.setX(v.x);
    record.setY(v.y);
    record.setSignalLevel(static_cast<int16_t>(v.signal));
    record.setPiezoLevel(static_cast<int16_t>(v.piezo));
    record.setTrigger(static_cast<int16_t>(((((b[8] & 1) << 7) | (b[7] & 0x7F)) << 2) | ((b[6] >> 5) & 3)));
    record.setPulse(static_cast<int16_t>(((b[9] & 0xF) << 6) | ((b[8] >> 1) & 0x3F)));
    record.setValid(true);
    return true;
}

CKavroVantage::RateChoice CKavroClassic::ChooseRate(int32_t rate) const
{
    if (rate > 200)
        return {2, 57600};
    if (rate > 100)
        return {1, 38400};
    return {0, 19200};
}

void CKavroClassic::ProcessSamples(const SampleRecord* records, size_t count)
{
    triggers_.assign(count, 0);
    triggerCount_ = 0;
    inBatch_ = true;
    CKavroVantage_s::ProcessSamples(records, count);
    inBatch_ = false;
    triggers_.clear();
    triggerCount_ = 0;
}

bool CKavroClassic::OnSample(const SampleRecord& record)
{
    PulseDetector::Sinks sinks;
    sinks.heartBeat = [this](double trough, double beat) { FireHeartBeat(1, trough, beat); };
    sinks.pulseChanged = [this](int32_t rate) { FirePulseChanged(1, rate); };
    pulse_.Add(record.pulse(), Now(), sinks);
    const bool result = CKavroVantage_s::OnSample(record);
    if (triggerCount_ < triggers_.size())
        triggers_[triggerCount_++] = static_cast<uint16_t>(record.trigger());
    return result;
}

void CKavroClassic::FlushBatchedValues()
{
    if (triggerCount_ > 0) {
        FireTrigger(1, static_cast<int32_t>(triggerCount_));
        triggerCount_ = 0;
    }
}

bool CKavroClassic::GetTrigger(int32_t, int32_t index, int32_t* value)
{
    if (!value || !inBatch_ || index < 0 || static_cast<size_t>(index) >= triggerCount_)
        return false;
    *value = triggers_[static_cast<size_t>(index)];
    return true;
}

void CKavroClassic::PrepareTrace(IAimingTrace* trace)
{
    triggerChannel_ = 0;
    int32_t index = 0;
    if (SUCCEEDED(trace->AddUserData(QStringLiteral("_trigger"), &index)))
        triggerChannel_ = index;
}

bool CKavroClassic::AddPoint(const SampleRecord& record)
{
    if (!CKavroVantage_s::AddPoint(record))
        return false;
    if (IAimingTrace* trace = recorder_.trace(); trace && triggerChannel_ > 0) {
        int32_t last = -1;
        trace->get_Last(&last);
        trace->put_UserData(triggerChannel_, last, record.trigger());
    }
    return true;
}

namespace {
[[maybe_unused]] const bool kRegistered306 = models::registerSerialModel(
    CKavroClassic::kModelNumber, [](DeviceHost& h, std::unique_ptr<SerialPort> p) -> std::unique_ptr<CGenericKavro> {
        return std::make_unique<CKavroClassic>(h, std::move(p));
    });
} // namespace

} // namespace kavro
