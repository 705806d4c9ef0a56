#include "device/usb/angle_math.h"

#include <cmath>

namespace kavro::anglemath {

double lineDirection(double x1, double y1, double x2, double y2)
{
    if (x1 == x2) {
        if (y1 == y2)
            return 0.0;
        return y2 > y1 ? kHalfPi : kThreeHalfPi;
    }
    double a = std::atan((y2 - y1) / (x2 - x1));
    if (x2 < x1)
        a += kPi;
    else if (y2 < y1)
        a += kTwoPi;
    return a;
}

double normalise(double angle)
{
    if (!std::isfinite(angle))
        return angle;
    while (angle > kPi)
        angle -= kTwoPi;
    while (angle <= -kPi)
        angle += kTwoPi;
    return angle;
}

void unwrapFilter(IirFilter& filter, double angle)
{
    const double last = filter.LastOutput();
    if (angle > kHalfPi && last < -kHalfPi)
        filter.ShiftState(kTwoPi);
    else if (angle < -kHalfPi && last > kHalfPi)
        filter.ShiftState(-kTwoPi);
}

void designSmoothingFilter(IirFilter& filter)
{
    filter.Design(0.05, IirFilter::LowPass, 0.5, 2);
}

} // namespace kavro::anglemath
