#pragma once
// Scoring of points against one target's rings and elements, and the look-up of its areas.
#include "kavrodoc.h"

namespace kavrodoc::scoring {

// The score of a point (a hole of diameter `caliber` centred there; 0 for an aiming point).
float score(ITargetParams* target, float x, float y, float caliber);

struct Area {
    int32_t index = 0; // -1 outside the form, 0 none
    float cx = 0;
    float cy = 0;
};

Area pointArea(ITargetParams* target, float x, float y);
Area nearestArea(ITargetParams* target, float x, float y);

} // namespace kavrodoc::scoring
