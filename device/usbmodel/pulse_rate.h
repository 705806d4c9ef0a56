#pragma once
// The pulse rate from the last four heart beats of the pulse sensor.
#include "com/hresult.h"

#include <array>
#include <optional>

namespace kavro {

class PulseRate {
public:
    // Takes a beat (local time in days); the rate in beats per minute when the last four beats
    // are evenly enough spaced, else nothing.
    std::optional<int32_t> AddBeat(DATE beat);
    void Clear();

private:
    std::array<DATE, 4> beats_{}; // oldest first; 0 = none yet
};

} // namespace kavro
