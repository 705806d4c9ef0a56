#pragma once
// Which breach lies under a point of the target plane: the topmost drawn one, or, while a shot
// has a pending correction, only that shot at its corrected place.
#include "target_state.h"

#include <optional>

namespace kavro::target {

struct Hit {
    ComPtr<IAiming> aiming;
    ComPtr<IShot> shot;
    GdiPoint offset; // breach minus point, 0.01 mm
};

std::optional<Hit> hitTest(const TargetState& state, GdiPoint p);

} // namespace kavro::target
