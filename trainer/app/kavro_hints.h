#pragma once
// The hints a CKavroDoc broadcasts to its views, with the meaning of the broadcast's arguments.
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
    AimingStarted = 10, // p1 = IAiming*
    TraceCoordinates = 11, // p1 = IAiming*
    ShotAdded = 12, // p1 = IAiming*, p2 = IShot*, value = 1 when other shots moved too
    AimingConcluded = 13, // p1 = IAiming*
    AimingFinal = 14,
    MayReplayStart = 15, // p1 = uint8_t*: a view writes 1 to refuse
    ReplayStarts = 16,
    ReplayStopped = 17,
    ReplayPaused = 18, // p1 = uint8_t*: 1 paused, 0 resumed
    ShiftCorrection = 19, // p1, p2 = float* dx, dy in mm; the frame writes the new totals back
    Pulse = 20,
    PracticeStarted = 21,
    MatchStarted = 22,
    PracticeStopped = 23,
    TriggerValues = 24, // p1 = int32_t array, value = count
    IsReplayRunning = 25, // p1 = uint8_t*: a view writes 1 while it replays
    BiathlonSubTarget = 26, // p1 = int32_t*: 2 prone, 1 standing, -1 none
    HeartBeat = 27, // p1, p2 = DATE* dateMin, dateMax
    AdvancedMode = 28,
};
}
