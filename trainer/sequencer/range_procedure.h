#pragma once
// The timed range procedures as data: per practice kind, what happens in each state. The sequencer
// interprets them; a procedure differs from another only in its table.
#include "target_kind.h"

#include <cstdint>
#include <span>

namespace kavro::trainer {

// The states every procedure passes through, by their numbers. Their roles are the same in every
// procedure except that the moving target spends 10 on its unload wait and 11 on the next series.
namespace RangeState {
enum State : int {
    Ended = 0, // no procedure, or it stopped the practice
    Preparing = 1, // light off, calibration, the first command
    SightingRed = 2,
    SightingGreen = 3,
    SightingWindow = 4,
    MatchSetUp = 5,
    AwaitingContinue = 6,
    MatchRed = 7,
    MatchGreen = 8,
    MatchWindow = 9,
    SeriesOver = 10,
    Finishing = 11,
};
} // namespace RangeState

enum class RangeLight { Off, Red, Green };

// What a state does, each after its own wait.
enum class RangeAction {
    // Light off and shots refused while the calibration dialog runs; then `sound` and `count` as the
    // series target.
    Prepare,
    // After `ms`: `sound`, then `light`; green opens the window.
    Light,
    // `count` becomes the series target at once.
    SetSeriesTarget,
    // After the shooter's Continue: the match, then `sound`, or `firstSound` when there is one and
    // the series target is still 1 (no match shot yet in a procedure of single shots).
    Continue,
    // After `ms` or once the window holds its shots: shots refused, `light`, `sound`, and a match
    // window fills what it missed. A match window must reach the series target, a sighting window
    // `count`.
    CloseWindow,
    // One shot each after `ms`: shots refused and the missed one filled; at a multiple of `count`
    // the light goes off and `sound` plays, otherwise red and the green state before opens the next
    // shot's window.
    SingleShot,
    // The series target grows by `count` and the procedure goes back to Continue, until the end
    // that `end` and `limit` name.
    NextSeries,
    // Ends the practice.
    Stop,
};

// When a repeating procedure ends; without one it repeats until the practice is stopped.
enum class SeriesEnd { Never, MatchShotsReach, SeriesTargetIs };

struct RangeStep {
    RangeState::State state = RangeState::Ended;
    RangeAction action = RangeAction::Stop;
    uint32_t ms = 0;
    int count = 0;
    const char* sound = nullptr;
    const char* firstSound = nullptr;
    RangeLight light = RangeLight::Off;
    bool match = false;
    SeriesEnd end = SeriesEnd::Never;
    int limit = 0;
};

// The steps of a kind's procedure in increasing state order; empty for a kind without one.
std::span<const RangeStep> rangeProcedure(TargetKind::Kind kind);

} // namespace kavro::trainer
