#include "device/serial/vantage.h"

#include "com/numeric.h"
#include "device/model/model_factory.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kavro {

namespace {

constexpr int32_t kFieldLimit = 505;
constexpr int32_t kCalibrationThreshold = 20;
constexpr uint8_t kCmdScale = 1;
constexpr uint8_t kCmdRate = 2;
constexpr uint8_t kCmdStart = 13;
constexpr uint8_t kCmdPeriod = 16;

} // namespace

VantageFrameValues decodeVantageFields(const uint8_t* b, bool calibration)
{
    VantageFrameValues v;
    v.x = (((b[1] & 7) << 7) | (b[0] & 0x7F)) - 512;
    v.y = (((b[2] & 0x3F) << 4) | ((b[1] >> 3) & 0xF)) - 512;
    v.signal = (((b[4] & 7) << 7) | (b[3] & 0x7F)) / 2;
    v.piezo = (((b[5] & 0xF) << 4) | ((b[4] >> 3) & 0xF)) * 4;
    if (!calibration && (std::abs(v.x) > kFieldLimit || std::abs(v.y) > kFieldLimit))
        v.signal = 0;
    return v;
}

VantageScale chooseVantageScale(float distanceM, float targetSizeMm, bool target5m)
{
    VantageScale s;
    if (!(distanceM > 0))
        return s;
    const double size = targetSizeMm / 1000.0;
    const double k = target5m ? 5.0 : 10.0;
    const double limit = target5m ? 0.03 : 0.06;
    if (limit >= size * k / distanceM) {
        s.range = 1;
        s.divisor = static_cast<int32_t>(1000.0 / distanceM);
    } else {
        s.range = 0;
        s.divisor = static_cast<int32_t>(333.3 / distanceM);
    }
    // Beyond 333.3 m the divisor would be 0.
    s.divisor = std::max(s.divisor, 1);
    return s;
}

CKavroVantage::CKavroVantage(DeviceHost& host, std::unique_ptr<SerialPort> port, int32_t modelNumber)
    : CSerialAimingKavro(host, std::move(port), modelNumber), settleCount_(host.SampleRate() / 4)
{
}

CKavroVantage::~CKavroVantage()
{
    Close();
}

bool CKavroVantage::Decode(const uint8_t* b, SampleRecord& record)
{
    const VantageFrameValues v = decodeVantageFields(b, host().readerView().calibrationMode(1));
    const uint8_t counter = static_cast<uint8_t>(((b[5] >> 4) & 7) | (b[6] << 3));
    const uint8_t check = static_cast<uint8_t>(((b[6] >> 6) & 1) | (b[7] << 1));
    uint8_t sum = static_cast<uint8_t>(b[6] & 0xBF);
    for (int i = 0; i < 6; ++i)
        sum = static_cast<uint8_t>(sum + b[i]);
    if (check != sum)
        return false;
    record.setCounter(counter);
    record.setX(v.x);
    record.setY(v.y);
    record.setSignalLevel(static_cast<int16_t>(v.signal));
    record.setPiezoLevel(static_cast<int16_t>(v.piezo));
    record.setValid(true);
    return true;
}

CKavroVantage::RateChoice CKavroVantage::ChooseRate(int32_t rate) const
{
    if (rate > 400)
        return {3, 57600};
    if (rate > 200)
        return {2, 38400};
    if (rate > 100)
        return {1, 19200};
    return {0, 9600};
}

void CKavroVantage::SetRate()
{
    const int32_t rate = std::max(host().SampleRate(), 1);
    const RateChoice choice = ChooseRate(rate);
    SendCommand(kCmdRate, {choice.code});
    SetPortSpeed(choice.baud);
    const uint32_t period = std::min<uint32_t>(1250000u / static_cast<uint32_t>(rate), 0xFFFF);
    SendCommand(kCmdPeriod, {static_cast<uint8_t>(period >> 8), static_cast<uint8_t>(period & 0xFF)});
}

void CKavroVantage::SetScale()
{
    ComPtr<IEventParams> event = host().Event(1);
    if (!event)
        return;
    float distance = 0;
    event->get_Distance(&distance);
    float size = 0;
    ComPtr<ITargetParams> target;
    if (SUCCEEDED(event->get_Target(1, target.put())) && target) {
        float black = 0;
        target->get_Black(&black);
        size = std::max(black, 0.0f);
        for (int32_t ring = 1; ring <= 10; ++ring) {
            float d = 0;
            target->get_Ring(ring, &d);
            size = std::max(size, d);
        }
        if (size == 0) {
            float w = 0, h = 0;
            target->get_FormWidth(&w);
            target->get_FormHeight(&h);
            size = std::max(w, h);
        }
    }
    const VantageScale scale = chooseVantageScale(distance, size, host().TargetType(1) == Target5m);
    divisor_ = scale.divisor;
    SendCommand(kCmdScale, {scale.range});
}

bool CKavroVantage::Start()
{
    SetDtrRts();
    // Stream on, default channel set.
    const bool sent = SendCommand(kCmdStart, {1, 0, 0});
    ResetAiming();
    return sent;
}

void CKavroVantage::Stop()
{
    SendCommand(kCmdStart, {0, 0, 0});
    if (active_)
        ConcludeAiming();
}

void CKavroVantage::Reset(int32_t n)
{
    ConcludeCurrentAiming(n);
    signalThreshold_ = kDefaultSignalThreshold;
}

void CKavroVantage::ResetAiming()
{
    CSerialAimingKavro::ResetAiming();
    signalBeforeShot_ = 0;
    havePrevious_ = false;
}

bool CKavroVantage::OnSample(const SampleRecord& record)
{
    const int32_t signal = record.signalLevel();
    const int32_t piezo = record.piezoLevel();
    const bool calibration = host().CalibrationMode(1);
    const int32_t threshold = calibration ? kCalibrationThreshold : signalThreshold_;
    lastSignal_ = signal;
    lastPiezo_ = piezo;

    if (waiting_) {
        const int32_t startLevel = calibration ? kCalibrationThreshold : threshold * 4 / 5;
        if (signal <= startLevel) {
            if (samplesWithoutSignal_ == 0)
                recorder_.FinalConcludeAiming();
            ++samplesWithoutSignal_;
        } else if (shots_ == 0 || samplesWithoutSignal_ > host().SampleRate() / 2) {
            StartAiming();
        } else {
            // The low samples before a new aiming must come in one unbroken run.
            samplesWithoutSignal_ = 0;
        }
    }
    if (!active_)
        return true;
    if (signal < threshold) {
        ConcludeAiming();
        return true;
    }
    if (!settled_) {
        if (++settleCounter_ < settleCount_) {
            AddPoint(record);
            return true;
        }
        settled_ = true;
    }
    if (AddPoint(record) && piezo >= piezoThreshold_)
        TakeShot(false);
    return true;
}

bool CKavroVantage::AddPoint(const SampleRecord& record)
{
    if (FollowThroughOver())
        return false;
    const int32_t signal = record.signalLevel();
    if (record.piezoLevel() < piezoThreshold_)
        signalBeforeShot_ = signal;
    if (shots_ > 0)
        ++samplesSinceShot_;

    const float u = static_cast<float>(record.x() - record.y());
    const float v = static_cast<float>(record.x() + record.y());
    float su = u;
    float sv = v;
    if (havePrevious_) {
        su = u - (u - prevU_) * 0.5f / (std::fabs(u - prevU_) / 10.0f + 1.0f);
        sv = v - (v - prevV_) * 0.5f / (std::fabs(v - prevV_) / 10.0f + 1.0f);
    }
    prevU_ = u;
    prevV_ = v;
    havePrevious_ = true;

    const double f = 1000.0 / (signal + 22) * 100.0 / divisor_;
    double x = f * su;
    double y = f * sv;
    switch (host().SensorPosition(1)) {
    case SensorTop:
        x = -x;
        y = -y;
        break;
    case SensorLeft: {
        const double t = x;
        x = -y;
        y = t;
        break;
    }
    case SensorRight: {
        const double t = x;
        x = y;
        y = -t;
        break;
    }
    default: break;
    }
    AddTracePoint(roundSaturated(static_cast<float>(x)) + host().CorrectionX(1),
                  roundSaturated(static_cast<float>(y)) + host().CorrectionY(1));
    return true;
}

void CKavroVantage::TakeShot(bool missed)
{
    if (IAimingTrace* trace = recorder_.trace(); trace && signalBeforeShot_ > 0) {
        int32_t last = -1;
        trace->get_Last(&last);
        float x = 0, y = 0;
        trace->get_x(last, &x);
        trace->get_y(last, &y);
        if (PointScore(x, y) >= 7)
            signalThreshold_ = signalBeforeShot_ * 2 / 3;
    }
    signalBeforeShot_ = 0;
    AddShotToAiming(missed, true);
}

namespace {
[[maybe_unused]] const bool kRegistered300 = models::registerSerialModel(
    CKavroVantage::kModelNumber, [](DeviceHost& h, std::unique_ptr<SerialPort> p) -> std::unique_ptr<CGenericKavro> {
        return std::make_unique<CKavroVantage>(h, std::move(p));
    });
[[maybe_unused]] const bool kRegistered302 = models::registerSerialModel(
    CKavroVantagei::kModelNumber, [](DeviceHost& h, std::unique_ptr<SerialPort> p) -> std::unique_ptr<CGenericKavro> {
        return std::make_unique<CKavroVantagei>(h, std::move(p));
    });
[[maybe_unused]] const bool kRegistered303 = models::registerSerialModel(
    CKavroVantage_s::kModelNumber, [](DeviceHost& h, std::unique_ptr<SerialPort> p) -> std::unique_ptr<CGenericKavro> {
        return std::make_unique<CKavroVantage_s>(h, std::move(p));
    });
} // namespace

} // namespace kavro
