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

// step: -3 first, 3 last, -1/1 previous/next shot, -2/2 back/forward by series or aiming. True
// when *out holds a shot other than `current`; a step that does not move leaves *out as it was.
bool stepShot(const ShotSteps& steps, IShot* current, int step, ComPtr<IShot>* out);

// Target position (1-based, before clamping) of a series step (+2 forward, -2 back) from position i.
int seriesStepTarget(int i, int step, int seriesSize, int sightings);
