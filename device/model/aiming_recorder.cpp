#include "device/model/aiming_recorder.h"

#include "device/model/generic_kavro.h"

#include <utility>

namespace kavro {

bool AimingRecorder::NewAiming()
{
    ResetAiming();
    ComPtr<IAiming> aiming;
    if (FAILED(model_.NewAiming(&aiming)) || !aiming)
        return false;
    ComPtr<IAimingTrace> trace;
    if (FAILED(aiming->get_Trace(trace.put())) || !trace)
        return false;
    const DeviceHost& host = model_.host();
    trace->put_MaxTimeBeforeShot(host.MaxTimeBeforeShot(1));
    ComPtr<IAimingAttr> attr;
    if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr) {
        attr->put_SampleRate(host.SampleRate());
        if (ComPtr<IEventParams> event = host.Event(1))
            attr->put_Event(event.get());
        attr->put_StartTime(model_.Now());
    }
    aiming_ = aiming;
    trace_ = trace;
    pending_ = 0;
    return true;
}

void AimingRecorder::StartAiming()
{
    // Keep the aiming alive through the sinks, which may end the practice from inside the event.
    if (ComPtr<IAiming> aiming = aiming_)
        model_.FireStartAiming(1, aiming.get());
}

void AimingRecorder::FlushCoordinates()
{
    if (aiming_ && pending_ > 0) {
        ComPtr<IAiming> aiming = aiming_;
        model_.FireNewCoordinates(1, aiming.get(), std::exchange(pending_, 0));
    }
    pending_ = 0;
    if (afterFlush_)
        afterFlush_();
}

void AimingRecorder::ResetAiming()
{
    FlushCoordinates();
    aiming_ = nullptr;
    trace_ = nullptr;
}

ComPtr<IShot> AimingRecorder::NewShot(bool missed, std::optional<double> microphonePhase)
{
    ComPtr<IShot> shot;
    if (!aiming_)
        return shot;
    const VARIANT_BOOL m = toVariantBool(missed);
    const HRESULT hr
        = microphonePhase ? aiming_->AddShot2(m, *microphonePhase, shot.put()) : aiming_->AddShot(m, shot.put());
    if (FAILED(hr) || !shot)
        return nullptr;
    model_.StampShot(shot.get());
    return shot;
}

void AimingRecorder::AnnounceShot(IShot* shot)
{
    if (ComPtr<IAiming> aiming = aiming_)
        model_.FireShot(1, aiming.get(), shot);
}

void AimingRecorder::AddMissedShots(int32_t minimum, const int32_t& shots, const std::function<void()>& addMissed)
{
    const ComPtr<IAiming> aiming = aiming_;
    while (aiming_ && aiming_ == aiming && shots < minimum) {
        const int32_t before = shots;
        addMissed();
        if (shots == before)
            break; // the most shots are reached
    }
}

bool AimingRecorder::ConcludeAiming()
{
    ComPtr<IAiming> aiming = aiming_;
    if (!aiming)
        return false;
    if (trace_)
        trace_->put_ReadOnly(VARIANT_TRUE);
    FlushCoordinates();
    model_.FireConcludeAiming(1, aiming.get());
    finalOwed_ = true;
    return true;
}

void AimingRecorder::ConcludeCurrentAiming(int32_t n, const std::function<void()>& conclude)
{
    FlushCoordinates();
    if (aiming_ && trace_) {
        conclude();
        model_.FireFinalConcludeAiming(n);
    }
}

void AimingRecorder::FinalConcludeAiming()
{
    if (std::exchange(finalOwed_, false))
        model_.FireFinalConcludeAiming(1);
}

} // namespace kavro
