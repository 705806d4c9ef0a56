#pragma once
// The device's events of a running practice into the document, the views and the live
// notifications: the aiming under way, its shots, traces, pulse, triggers and heart beats, and
// whether the practice is in its match yet.
#include "kavrodev.h"
#include "target_kind.h"

#include <functional>

namespace kavro::trainer {
class RangeSequencer;
}
class CKavroDoc;
class CView;
class DeviceSession;
class LiveNotifier;
class PracticeAutosave;
class ReplayController;

class PracticeRecorder {
public:
    struct Parts {
        CKavroDoc& doc;
        CView* view; // the frame as the document's view: the hints it sends skip it
        DeviceSession& session;
        kavro::trainer::RangeSequencer& sequencer; // when shots are taken
        LiveNotifier& live;
        PracticeAutosave& autosave;
        ReplayController& replay;
        std::function<BiathlonTarget::Kind()> subTarget;
        std::function<void()> changed; // the practice's commands depend on the match having started
    };
    explicit PracticeRecorder(Parts parts) : p_(std::move(parts)) { }

    void OnStartAiming(int32_t sub, IAiming* aiming);
    void OnNewCoordinates(int32_t sub, IAiming* aiming, int32_t count);
    void OnShot(int32_t sub, IAiming* aiming, IShot* shot);
    void OnConcludeAiming(int32_t sub, IAiming* aiming);
    void OnFinalConcludeAiming(int32_t sub);
    void OnPulseChanged(int32_t sub, int32_t pulse);
    void OnHeartBeat(int32_t sub, DATE dateMin, DATE dateMax);
    void OnTrigger(int32_t sub, int32_t count);

    // A new practice: in its sightings, no aiming under way.
    void reset();
    IAiming* currentAiming() const { return currentAiming_.get(); }
    // The aiming counts as over (forced replay at its conclusion, the practice stopped).
    void releaseCurrentAiming() { currentAiming_ = nullptr; }
    bool matchStarted() const { return matchStarted_; }
    void setMatchStarted(bool started);

private:
    bool BeginAimingEvent(int32_t sub, IAiming* aiming);

    Parts p_;
    ComPtr<IAiming> currentAiming_;
    bool matchStarted_ = false;
};
