#pragma once
// The arithmetic of stepping by series through a list of shots in which `sightings` sighting shots
// come first and both parts are cut into series of `seriesSize` counted from their first shot.

// Target position (1-based, before clamping) of a series step (+2 forward, -2 back) from position i.
int seriesStepTarget(int i, int step, int seriesSize, int sightings);
