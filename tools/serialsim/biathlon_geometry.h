#pragma once
// What the biathlon sensor's camera sees of the five-target row when the rifle points at (x, y).
// The targets' centres lie at (k - 2) x 250 on the x axis, in the units the host computes the
// aiming position in. The sensor is held level (angle 0) at a fixed distance, so every target
// shows at ((centre - x) / g, y / g) camera steps of its intensity-corrected reading, with
// g = BiathlonStepUnits position units per step.
#include "serialsim/frames.h"

namespace kavro::serialsim {

// Large enough that the whole row fits the 10-bit readings for |x| <= 750 and |y| <= 250,
// the host's limits.
constexpr double BiathlonStepUnits = 1.5;

double biathlonTargetCentre(int k);

// Readings of all five targets, each with the given intensity (0 hides the row: signal lost).
// The readings are whole steps, so the host finds the aim within two steps (the scale it
// measures between neighbours carries the rounding too).
std::array<BiathlonTargetReading, 5> biathlonTargetsFor(double x, double y, int intensity);

} // namespace kavro::serialsim
