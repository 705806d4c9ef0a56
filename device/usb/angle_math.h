#pragma once
// Line directions and angle unwrapping shared by the optical and the wireless decoders. The
// constants are the sensors' own rounded values, so that angles match the firmware's figures.
#include "device/filters/iir_filter.h"

namespace kavro::anglemath {

constexpr double kPi = 3.1415926535;
constexpr double kHalfPi = 1.57079632675;
constexpr double kTwoPi = 6.283185307;
constexpr double kThreeHalfPi = 4.71238898025;

// Direction of the line from (x1, y1) to (x2, y2), in [0, 2pi).
double lineDirection(double x1, double y1, double x2, double y2);
// Into (-pi, pi].
double normalise(double angle);
// Shifts the filter's state by a whole turn when `angle` and the filter's last output lie on
// opposite sides of the +-pi seam, so the filter follows the angle across it.
void unwrapFilter(IirFilter& filter, double angle);
// The filter design of the sensors' scale and angle smoothing.
void designSmoothingFilter(IirFilter& filter);

} // namespace kavro::anglemath
