#include "device/serial/serial_aiming_kavro.h"

namespace kavro {

void CSerialAimingKavro::SetPiezoSensitivity(int32_t n, int32_t value)
{
    if (n == 1)
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
    if (aiming_ && pending_ > 0) {
        const int32_t count = pending_;
        pending_ = 0;
        ComPtr<IAiming> aiming = aiming_;
        FireNewCoordinates(1, aiming.get(), count);
    }
}

bool CSerialAimingKavro::StartAiming()
{
    FlushCoordinates();
    trace_ = nullptr;
    ComPtr<IAiming> aiming;
    if (FAILED(NewAiming(&aiming)))
        return false;
    ComPtr<IAimingTrace> trace;
    if (FAILED(aiming->get_Trace(trace.put())) || !trace)
        return false;
    trace->put_MaxTimeBeforeShot(host().MaxTimeBeforeShot(1));
    ComPtr<IAimingAttr> attr;
    if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr) {
        attr->put_SampleRate(host().SampleRate());
        if (ComPtr<IEventParams> e = host().Event(1))
            attr->put_Event(e.get());
        attr->put_StartTime(Now());
    }
    PrepareTrace(trace.get());
    aiming_ = aiming;
    trace_ = trace;
    waiting_ = false;
    active_ = true;
    settled_ = true;
    shots_ = 0;
    FireStartAiming(1, aiming.get());
    return true;
}

bool CSerialAimingKavro::FollowThroughOver()
{
    const int32_t limit = static_cast<int32_t>(static_cast<float>(host().SampleRate()) * host().MaxTimeAfterShot(1));
    if (shots_ > 0 && samplesSinceShot_ == limit) {
        ConcludeAiming();
        return true;
    }
    return false;
}

void CSerialAimingKavro::AddTracePoint(int32_t x, int32_t y)
{
    ComPtr<IAimingTrace> trace = trace_;
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
    ++pending_;
}

void CSerialAimingKavro::AddInvalidTracePoint()
{
    if (trace_) {
        trace_->AddInvalid();
        ++pending_;
    }
}

void CSerialAimingKavro::AddShotToAiming(bool missed, bool flushFirst)
{
    if (!aiming_ || !trace_ || shots_ == EventMaxShots())
        return;
    ComPtr<IAiming> aiming = aiming_;
    trace_->put_WrapEnabled(VARIANT_FALSE);
    ++shots_;
    samplesSinceShot_ = 0;
    if (flushFirst)
        FlushCoordinates();
    ComPtr<IShot> shot;
    if (FAILED(aiming->AddShot(missed ? VARIANT_TRUE : VARIANT_FALSE, shot.put())) || !shot)
        return;
    StampShot(shot.get());
    // No further shot within the settle count.
    settled_ = false;
    settleCounter_ = 0;
    ShotAdded(shot.get());
    FireShot(1, aiming.get(), shot.get());
}

void CSerialAimingKavro::AddShot(bool)
{
    AddShotToAiming(false, false);
}

void CSerialAimingKavro::ConcludeAiming()
{
    ComPtr<IAiming> aiming = aiming_;
    if (!aiming)
        return;
    AimingEnding();
    const int32_t missing = EventMinShots() - shots_;
    for (int32_t i = 0; i < missing && aiming_ == aiming; ++i)
        TakeShot(true);
    if (trace_)
        trace_->put_ReadOnly(VARIANT_TRUE);
    FlushCoordinates();
    FireConcludeAiming(1, aiming.get());
    ResetAiming();
    finalPending_ = true;
}

void CSerialAimingKavro::ResetAiming()
{
    FlushCoordinates();
    aiming_ = nullptr;
    trace_ = nullptr;
    active_ = false;
    settled_ = false;
    samplesSinceShot_ = 0;
    samplesWithoutSignal_ = 0;
    waiting_ = true;
}

void CSerialAimingKavro::ConcludeCurrentAiming(int32_t n)
{
    FlushCoordinates();
    if (aiming_ && trace_) {
        ConcludeAiming();
        FireFinalConcludeAiming(n);
    }
    ResetAiming();
    shots_ = 0;
    settleCounter_ = 0;
}

} // namespace kavro
