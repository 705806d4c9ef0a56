#pragma once
// Simulated bullet dispersion: offsets drawn from a fixed table of 60 points (percent of the
// radius) so that a group of up to 60 shots looks evenly spread; each round uses every entry once.
#include "com/crt_random.h"

#include <array>
#include <utility>

class RandomOffsetTable {
public:
    explicit RandomOffsetTable(kavro::CrtRandom& random) : random_(random) { used_.fill(false); }

    // The next offset (x, y) in the units of `radius`.
    std::pair<float, float> next(float radius);

private:
    kavro::CrtRandom& random_;
    std::array<bool, 60> used_;
};

// The program's table over the program's generator, seeded with the time on first use.
std::pair<float, float> NextRandomOffset(float radius);
