#include "device/serial/serial_aiming_kavro.h"

#include "com/numeric.h"

namespace kavro {

void CSerialAimingKavro::SetPiezoSensitivity(int32_t n, int32_t value)
{
    // A quiet sample has a piezo level of 0: a threshold at or below it would make every sample
    // a shot, so such a value is no setting and the threshold stays.
    if (n == 1 && value > 0)
        piezoThreshold_ = value;
}

int32_t CSerialAimingKavro::GetPiezoSensitivity(int32_t)
{
    return piezoThreshold_;
}

int32_t CSerialAimingKavro::EventMinShots() const
{
    int32_t v = 0;
    if (ComPtr<IEventParams> e = host().Event(1))
        e->get_MinShotsPerAiming(&v);
    return v;
}

int32_t CSerialAimingKavro::EventMaxShots() const
{
    int32_t v = 0;
    if (ComPtr<IEventParams> e = host().Event(1))
        e->get_MaxShotsPerAiming(&v);
    return v;
}

float CSerialAimingKavro::PointScore(float xMm, float yMm) const
{
    float score = 0;
    if (ComPtr<IEventParams> e = host().Event(1))
        e->GetPointScore(xMm, yMm, 1, &score);
    return score;
}

void CSerialAimingKavro::FlushCoordinates()
{
    recorder_.FlushCoordinates();
}

bool CSerialAimingKavro::StartAiming()
{
    if (!recorder_.NewAiming())
        return false;
    PrepareTrace(recorder_.trace());
    waiting_ = false;
    active_ = true;
    settled_ = true;
    shots_ = 0;
    recorder_.StartAiming();
    return true;
}

int32_t CSerialAimingKavro::FollowThroughSamples() const
{
    // Any time from 0.5 s up is taken; one beyond the counters' range never runs out.
    return truncSaturated(static_cast<float>(host().SampleRate()) * host().MaxTimeAfterShot(1));
}

bool CSerialAimingKavro::FollowThroughOver()
{
    const int32_t limit = FollowThroughSamples();
    if (shots_ > 0 && samplesSinceShot_ == limit) {
        ConcludeAiming();
        return true;
    }
    return false;
}

void CSerialAimingKavro::AddTracePoint(int32_t x, int32_t y)
{
    ComPtr<IAimingTrace> trace = recorder_.trace();
    if (!trace)
        return;
    trace->_Add(x, y);
    ComPtr<IAimingAttr> attr;
    if (SUCCEEDED(trace->get_Attr(attr.put())) && attr) {
        DATE enter = 0;
        attr->get_EnterTime(&enter);
        if (enter == 0 && PointScore(static_cast<float>(x) / 100.0f, static_cast<float>(y) / 100.0f) >= 1)
            attr->put_EnterTime(Now());
    }
    recorder_.CountPoint();
}

void CSerialAimingKavro::AddInvalidTracePoint()
{
    if (IAimingTrace* trace = recorder_.trace()) {
        trace->AddInvalid();
        recorder_.CountPoint();
    }
}

void CSerialAimingKavro::AddShotToAiming(bool missed, bool flushFirst)
{
    if (!recorder_.trace() || shots_ == EventMaxShots())
        return;
    recorder_.trace()->put_WrapEnabled(VARIANT_FALSE);
    ++shots_;
    samplesSinceShot_ = 0;
    if (flushFirst)
        FlushCoordinates();
    ComPtr<IShot> shot = recorder_.NewShot(missed);
    if (!shot)
        return;
    // No further shot within the settle count.
    settled_ = false;
    settleCounter_ = 0;
    ShotAdded(shot.get());
    recorder_.AnnounceShot(shot.get());
}

void CSerialAimingKavro::AddShot(bool)
{
    AddShotToAiming(false, false);
}

void CSerialAimingKavro::ConcludeAiming()
{
    if (!recorder_.recording())
        return;
    AimingEnding();
    recorder_.AddMissedShots(EventMinShots(), shots_, [this] { TakeShot(true); });
    if (!recorder_.ConcludeAiming())
        return;
    ResetAiming();
}

void CSerialAimingKavro::ResetAiming()
{
    recorder_.ResetAiming();
    active_ = false;
    settled_ = false;
    samplesSinceShot_ = 0;
    samplesWithoutSignal_ = 0;
    waiting_ = true;
}

void CSerialAimingKavro::ConcludeCurrentAiming(int32_t n)
{
    recorder_.ConcludeCurrentAiming(n, [this] { ConcludeAiming(); });
    ResetAiming();
    shots_ = 0;
    settleCounter_ = 0;
}

} // namespace kavro
