#include "device/serial/biathlon.h"

#include "device/model/model_factory.h"

namespace kavro {

namespace {
constexpr uint8_t kCmdHit = 5;
constexpr uint8_t kCmdReset = 6;
constexpr uint8_t kCmdStart = 8;
constexpr uint8_t kCmdStop = 9;
} // namespace

CKavroBiathlon::CKavroBiathlon(DeviceHost& host, std::unique_ptr<SerialPort> port)
    : CSerialAimingKavro(host, std::move(port), kModelNumber)
{
}

CKavroBiathlon::~CKavroBiathlon()
{
    Close();
}

bool CKavroBiathlon::Decode(const uint8_t* frame, SampleRecord& record)
{
    return decoder_.Decode(frame, piezoThreshold_, record);
}

void CKavroBiathlon::SetRate()
{
    host().SetSampleRate(kRate);
}

bool CKavroBiathlon::Start()
{
    SetDtrRts();
    PurgeReceive();
    // Stream on, all five targets.
    const bool sent = SendCommand(kCmdStart, {1, 0x1F, 0});
    ResetAiming();
    return sent;
}

void CKavroBiathlon::Stop()
{
    SendCommand(kCmdStop, {});
    // The aiming on the way is kept rather than dropped with the connection.
    if (active_)
        ConcludeAiming();
}

void CKavroBiathlon::ResetAiming()
{
    CSerialAimingKavro::ResetAiming();
    decoder_.ResetSmoothing();
    // Also while the model starts: the sensor begins every session reset.
    if (port() && port()->isOpen())
        SendCommand(kCmdReset, {});
}

void CKavroBiathlon::ShotAdded(IShot* shot)
{
    int32_t area = 0;
    if (SUCCEEDED(shot->get_AreaIndex(&area)) && area > 0)
        SendCommand(kCmdHit, {static_cast<uint8_t>(area)});
}

bool CKavroBiathlon::OnSample(const SampleRecord& record)
{
    const bool valid = record.valid();
    const int32_t piezo = record.piezoLevel();
    lastSignal_ = record.signalLevel();
    lastPiezo_ = piezo;

    if (waiting_) {
        if (valid) {
            StartAiming();
        } else {
            recorder_.FinalConcludeAiming();
        }
    }
    if (!active_)
        return true;

    const int32_t rate = host().SampleRate();
    if (valid) {
        if (!settled_) {
            ++settleCounter_;
            if (static_cast<float>(rate) * host().PiezoRejectInterval(1) <= static_cast<float>(settleCounter_)) {
                settled_ = true;
            } else {
                AddPoint(record);
                return true;
            }
        }
        if (AddPoint(record) && piezo >= piezoThreshold_)
            TakeShot(false);
        return true;
    }
    if (shots_ > 0) {
        ++settleCounter_;
        if (settleCounter_ < FollowThroughSamples()) {
            AddPoint(record);
            return true;
        }
    }
    ConcludeAiming();
    recorder_.ForgetFinalConclusion();
    FireFinalConcludeAiming(1);
    return true;
}

bool CKavroBiathlon::AddPoint(const SampleRecord& record)
{
    // The follow-through check is shared with the Vantage family, but the biathlon does not count
    // samples after a shot: its aiming holds the shots of the whole row and ends when the targets
    // are lost (OnSample).
    if (FollowThroughOver())
        return false;
    if (record.valid())
        AddTracePoint(record.x() * 10 + host().CorrectionX(1), record.y() * 10 + host().CorrectionY(1));
    else
        AddInvalidTracePoint();
    return true;
}

namespace {
[[maybe_unused]] const bool kRegistered307 = models::registerSerialModel(
    CKavroBiathlon::kModelNumber, [](DeviceHost& h, std::unique_ptr<SerialPort> p) -> std::unique_ptr<CGenericKavro> {
        return std::make_unique<CKavroBiathlon>(h, std::move(p));
    });
} // namespace

} // namespace kavro
