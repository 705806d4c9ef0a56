#pragma once
// Stepping through a list of shots: to the first or last, to the previous or next, and back or
// forward by series (by aiming in biathlon), where `sightings` sighting shots come first and both
// parts are cut into series of `seriesSize` counted from their first shot.
#include "kavrodoc.h"

// What a step walks.
struct ShotSteps {
    ComPtr<IShotCollection> list;
    ComPtr<IAimingCollection> aimings; // finds a shot's aiming when stepping by aiming
    bool byAiming = false;
    int seriesSize = 10;
    int sightings = 0;
};

// The steps CKavroDoc::Navigate takes; the calls take a step as the number it is.
namespace NavigateStep {
enum Step : int {
    First = -3,
    SeriesBack = -2,
    Previous = -1,
    Next = 1,
    SeriesForward = 2,
    Last = 3,
};
} // namespace NavigateStep

// step: a NavigateStep. True when *out holds a shot other than `current`; a step that does not
// move leaves *out as it was.
bool stepShot(const ShotSteps& steps, IShot* current, int step, ComPtr<IShot>* out);

// Target position (1-based, before clamping) of a series step (SeriesForward or SeriesBack) from
// position i.
int seriesStepTarget(int i, int step, int seriesSize, int sightings);
