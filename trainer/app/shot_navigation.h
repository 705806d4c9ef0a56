#pragma once
// The arithmetic of stepping by series through a list of shots in which `sightings` sighting shots
// come first and both parts are cut into series of `seriesSize` counted from their first shot.

// The steps CKavroDoc::Navigate takes, by their numbers.
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

// Target position (1-based, before clamping) of a series step (SeriesForward or SeriesBack) from
// position i.
int seriesStepTarget(int i, int step, int seriesSize, int sightings);
