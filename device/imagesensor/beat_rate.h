#pragma once
// The pulse rate from the last four heart beats: reported only when the three intervals are
// plausible beats (200 to 2000 ms) and agree with their mean within half of it.
#include "com/oledate.h"

#include <array>
#include <optional>

namespace kavro {

class BeatRate {
public:
    // The rate in beats per minute when it is new and differs from the last reported one.
    std::optional<int> AddBeat(DATE beat);
    void Clear() { *this = BeatRate(); }

private:
    std::array<DATE, 4> beats_{}; // oldest first; 0 until filled
    int lastRate_ = 0;
};

} // namespace kavro
