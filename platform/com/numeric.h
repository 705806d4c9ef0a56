#pragma once
// Rounding rules shared by every module: "round" is half-to-even on the single-precision value,
// and every conversion of a float that may be NaN or huge goes through one checked helper.
#include <cmath>
#include <cstdint>
#include <limits>

namespace kavro {

// Nearest integer, halves to even. Out-of-range or NaN input gives false and leaves *out.
template <class Int> bool checkedRound(double v, Int* out)
{
    if (!std::isfinite(v))
        return false;
    double r = std::nearbyint(v); // the default rounding mode rounds halves to even
    if (r < static_cast<double>(std::numeric_limits<Int>::min())
        || r > static_cast<double>(std::numeric_limits<Int>::max()))
        return false;
    *out = static_cast<Int>(r);
    return true;
}

// Nearest int32 with halves to even, saturating at the int32 range; NaN gives `nanValue`.
int32_t roundSaturated(double v, int32_t nanValue = 0);

// Truncation toward zero, saturating; NaN gives `nanValue`.
int32_t truncSaturated(double v, int32_t nanValue = 0);

// Millimetres as float to the 0.01 mm integers that traces keep: the single-precision product
// with 100, rounded half to even. NaN or out-of-range values give false.
bool toHundredths(float mm, int32_t* out);

// Millimetres as float to whole 0.01 mm, truncated toward zero as the device's corrections are
// kept: 1.239 gives 123, while 0.29 (a float just below its decimal value) still gives 29. NaN or
// out-of-range values give false.
bool truncToHundredths(float mm, int32_t* out);

// Back to millimetres.
float fromHundredths(int32_t hundredths);

} // namespace kavro
