#pragma once
// Measures of the shown event that zoom, hit testing and feedback share, and the one rounding of
// a float product that every step from millimetres to 0.01 mm takes.
#include "kavrodoc.h"

#include "com/numeric.h"

namespace kavro::target {

// The single-precision product, rounded half to even and saturated.
inline int32_t roundedProduct(float a, float b)
{
    volatile float product = a * b; // single precision, not a wider intermediate
    return roundSaturated(product);
}

// The calibre breaches are shown with (mm): DisplayCaliber, or Caliber when that is 0.
inline float displayCalibre(IEventParams* event)
{
    float calibre = 0;
    if (event) {
        event->get_DisplayCaliber(&calibre);
        if (calibre == 0)
            event->get_Caliber(&calibre);
    }
    return calibre;
}

// Ring(n) in mm, 0 when it cannot be read.
inline float ringOf(ITargetParams* params, int32_t n)
{
    float d = 0;
    if (!params || FAILED(params->get_Ring(n, &d)) || !(d == d))
        return 0;
    return d;
}

} // namespace kavro::target
