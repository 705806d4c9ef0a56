#include "practice_recorder.h"

#include "app_options.h"
#include "device_session.h"
#include "doc_helpers.h"
#include "kavro_doc.h"
#include "live_notifier.h"
#include "practice_autosave.h"
#include "replay_controller.h"
#include "sequencer.h"

#include "thread/clock.h"

#include <algorithm>
#include <vector>

namespace {

// Records one heart beat on the aiming's attributes: the next sample index, its bounds.
void AppendHeartBeatSample(IAimingAttr* attr, DATE dateMin, DATE dateMax)
{
    if (!attr || dateMax < dateMin)
        return;
    Variant last;
    int32_t i = 0;
    if (SUCCEEDED(attr->get_Value(QStringLiteral("_pulse_li"), &last)) && !last.isEmpty()) {
        int32_t li = 0;
        if (FAILED(last.toInt32(&li)) || li == INT32_MAX)
            return;
        i = li + 1;
    } else {
        attr->put_Value(QStringLiteral("_pulse_fi"), Variant(int32_t(0)));
    }
    attr->put_Value(QStringLiteral("_pulse_min%1").arg(i), Variant::fromDate(dateMin));
    attr->put_Value(QStringLiteral("_pulse_max%1").arg(i), Variant::fromDate(dateMax));
    attr->put_Value(QStringLiteral("_pulse_li"), Variant(i));
}

// A trigger channel that moved by this much or less over a whole aiming carried nothing.
bool triggerCarriedNothing(IAimingTrace* trace, int32_t channel)
{
    int32_t first = 0, last = -1;
    trace->get_First(&first);
    trace->get_Last(&last);
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (int32_t i = first; i <= last; ++i) {
        int32_t v = 0;
        trace->get_UserData(channel, i, &v);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return last < first || int64_t(hi) - lo <= 5;
}

} // namespace

void PracticeRecorder::reset()
{
    matchStarted_ = false;
    currentAiming_ = nullptr;
}

void PracticeRecorder::setMatchStarted(bool started)
{
    if (matchStarted_ == started)
        return;
    matchStarted_ = started;
    p_.changed();
}

void PracticeRecorder::OnStartAiming(int32_t, IAiming* aiming)
{
    if (!p_.sequencer.acceptShots() || !aiming)
        return;
    p_.replay.stopReplayAll();
    currentAiming_ = aiming;
    CKavroDoc& doc = p_.doc;
    ComPtr<IAimingAttr> attr;
    if (SUCCEEDED(aiming->get_Attr(attr.put())) && attr) {
        attr->put_Match(toVariantBool(matchStarted_));
        attr->put_FCoefficient(doc.fCoefficient());
        const TargetKind::Kind kind = doc.GetTargetKind();
        if (kind == TargetKind::Biathlon) {
            kavro::trainer::applyRangeLight(p_.session.device().get(), SemaphoreOff);
            attr->put_SubTarget(p_.subTarget());
        } else if (kind == TargetKind::SP2) {
            attr->put_StartTime(p_.sequencer.seriesStartTime());
            attr->put_EnterTime(p_.sequencer.seriesStartTime());
        }
    }
    doc.SetSelectedShot(nullptr, nullptr);
    doc.UpdateAllViews(nullptr, KavroHint::AimingStarted, aiming);
    p_.live.aimingStarted();
}

// An event about another aiming than the current one concludes the current one and starts it.
// False while shots are not taken.
bool PracticeRecorder::BeginAimingEvent(int32_t sub, IAiming* aiming)
{
    if (!p_.sequencer.acceptShots() || !aiming)
        return false;
    if (aiming != currentAiming_.get()) {
        if (ComPtr<IAiming> previous = currentAiming_)
            OnConcludeAiming(sub, previous.get());
        OnStartAiming(sub, aiming);
    }
    p_.replay.stopReplayAll();
    return true;
}

void PracticeRecorder::OnNewCoordinates(int32_t sub, IAiming* aiming, int32_t count)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    p_.session.noteSignalLevel();
    int32_t shots = 0;
    aiming->get_ShotCount(&shots);
    ComPtr<IAimingAttr> attr;
    if (shots == 0 && SUCCEEDED(aiming->get_Attr(attr.put())) && attr)
        attr->put_Match(toVariantBool(matchStarted_));
    p_.doc.UpdateAllViews(p_.view, KavroHint::TraceCoordinates, aiming);
    p_.live.tracePoints(aiming, count);
}

void PracticeRecorder::OnShot(int32_t sub, IAiming* aiming, IShot* shot)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    if (!shot)
        return;
    CKavroDoc& doc = p_.doc;
    const int pulse = doc.GetPulse();
    if (pulse != 0) {
        if (matchStarted_ && doc.GetPulseCount() == 0)
            doc.AppendPulseSample(kavro::realClock().localNow(), pulse);
        shot->put_Value(QStringLiteral("_pulse"), Variant::fromInteger(VT_I2, pulse));
    }
    doc.AddShot(shot, currentAiming_.get());
    if (matchStarted_)
        p_.autosave.matchShotAdded();
    else
        doc.SetIncludeSightings(true);
    doc.SetSelectedShot(shot, nullptr);
    if (kavro::theAppOptions().AutoReplay)
        p_.replay.armAutoReplay();
    p_.live.shotAdded(shot);
}

void PracticeRecorder::OnConcludeAiming(int32_t sub, IAiming* aiming)
{
    if (!BeginAimingEvent(sub, aiming))
        return;
    ComPtr<IAimingTrace> trace;
    int32_t trigger = -1;
    if (SUCCEEDED(aiming->get_Trace(trace.put())) && trace
        && SUCCEEDED(trace->GetUserData(QStringLiteral("_trigger"), &trigger)) && trigger > 0
        && triggerCarriedNothing(trace.get(), trigger))
        trace->RemoveUserData(QStringLiteral("_trigger"));
    ComPtr<IAiming> current = currentAiming_;
    p_.doc.UpdateAllViews(nullptr, KavroHint::AimingConcluded, current.get());
    p_.live.aimingConcluded();
}

void PracticeRecorder::OnFinalConcludeAiming(int32_t)
{
    if (!p_.sequencer.acceptShots())
        return;
    currentAiming_ = nullptr;
    p_.autosave.aimingFinal();
    p_.doc.UpdateAllViews(nullptr, KavroHint::AimingFinal);
    p_.live.aimingFinal();
}

void PracticeRecorder::OnPulseChanged(int32_t, int32_t pulse)
{
    CKavroDoc& doc = p_.doc;
    doc.SetPulse(pulse);
    ComPtr<IAimingCollection> match;
    ComPtr<IShotCollection> shots;
    if (matchStarted_ && doc.GetMatchAimings(&match) && SUCCEEDED(match->Shots(VARIANT_TRUE, shots.put()))
        && countOf(shots.get()) > 0)
        doc.AppendPulseSample(kavro::realClock().localNow(), pulse);
}

void PracticeRecorder::OnHeartBeat(int32_t, DATE dateMin, DATE dateMax)
{
    ComPtr<IAimingAttr> attr;
    if (currentAiming_ && SUCCEEDED(currentAiming_->get_Attr(attr.put())))
        AppendHeartBeatSample(attr.get(), dateMin, dateMax);
    p_.live.heartBeat();
    p_.doc.UpdateAllViews(p_.view, KavroHint::HeartBeat, KavroHint::HeartBeatArgs{dateMin, dateMax});
}

void PracticeRecorder::OnTrigger(int32_t, int32_t count)
{
    const ComPtr<IKavroDevice> device = p_.session.device();
    if (!device || count <= 0)
        return;
    std::vector<int32_t> values(static_cast<size_t>(count));
    for (int32_t i = 1; i <= count; ++i)
        device->get_Trigger(1, i, &values[size_t(i - 1)]);
    p_.doc.UpdateAllViews(p_.view, KavroHint::TriggerValues, KavroHint::TriggerArgs{values.data(), count});
}
