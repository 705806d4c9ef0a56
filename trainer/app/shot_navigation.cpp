#include "shot_navigation.h"

int seriesStepTarget(int i, int step, int seriesSize, int sightings)
{
    const int d = seriesSize;
    const int s = sightings;
    const int o = s % d;
    int t;
    if (step == NavigateStep::SeriesForward) {
        const int p = (o != 0 && i >= s) ? i + d - o : i;
        t = p + d - (p % d);
    } else {
        const int p = (o != 0 && i > s) ? i + d - o : i;
        const int r = (p - 1) % d;
        t = r == 0 ? p - d : p - r;
    }
    // Positions past the sightings were shifted to align the match series; shift them back.
    if (o != 0 && t > s)
        t -= d - o;
    return t;
}
