#pragma once
// The hints a CKavroDoc broadcasts to its views, and what each hint carries beside its number.
#include "com/hresult.h"
#include "target_kind.h"

#include <cstdint>
#include <variant>

struct IAiming;
struct IShot;

namespace KavroHint {
enum : int {
    Everything = 0, // new, opened, cleared or reset document; hidden state changed
    Language = 1, // user-interface language changed: reload captions
    Model = 2, // model document opened or closed
    Saved = 3,
    SelectedShot = 4, // sender = the selecting view (null from the frame)
    IncludeSightings = 5,
    ShooterName = 6,
    Comments = 7,
    Position = 8,
    ShotParameters = 9, // coefficient, trace seconds, ControlInterval2, offset, dispersion, centring
    AimingStarted = 10, // AimingArgs
    TraceCoordinates = 11, // AimingArgs
    ShotAdded = 12, // ShotAddedArgs
    AimingConcluded = 13, // AimingArgs
    AimingFinal = 14,
    MayReplayStart = 15, // a question: CView::MayReplayStart
    ReplayStarts = 16,
    ReplayStopped = 17,
    ReplayPaused = 18, // ReplayPausedArgs
    ShiftCorrection = 19, // a question: CView::ShiftCorrection, with ShiftArgs
    Pulse = 20,
    PracticeStarted = 21,
    MatchStarted = 22,
    PracticeStopped = 23,
    TriggerValues = 24, // TriggerArgs
    IsReplayRunning = 25, // a question: CView::IsReplayRunning
    BiathlonSubTarget = 26, // SubTargetArgs
    HeartBeat = 27, // HeartBeatArgs
    AdvancedMode = 28,
};

struct AimingArgs {
    IAiming* aiming = nullptr;
};

struct ShotAddedArgs {
    IAiming* aiming = nullptr;
    IShot* shot = nullptr;
    bool othersMoved = false; // the group was re-centred: every shot of it moved
};

struct ReplayPausedArgs {
    bool paused = false; // false: resumed
};

// Millimetres: the drag on the target, or the device's correction totals in an answer.
struct ShiftArgs {
    float dx = 0;
    float dy = 0;
};

// Only valid during the broadcast: the values belong to the sender.
struct TriggerArgs {
    const int32_t* values = nullptr;
    int count = 0;
};

struct SubTargetArgs {
    int32_t subTarget = BiathlonTarget::None; // a BiathlonTarget::Kind
};

struct HeartBeatArgs {
    DATE dateMin = 0;
    DATE dateMax = 0;
};

using Payload = std::variant<std::monostate, AimingArgs, ShotAddedArgs, ReplayPausedArgs, ShiftArgs, TriggerArgs,
                             SubTargetArgs, HeartBeatArgs>;

// The aiming a hint is about, from either payload that names one; null otherwise.
inline IAiming* aimingOf(const Payload& payload)
{
    if (const auto* a = std::get_if<AimingArgs>(&payload))
        return a->aiming;
    if (const auto* s = std::get_if<ShotAddedArgs>(&payload))
        return s->aiming;
    return nullptr;
}
} // namespace KavroHint
