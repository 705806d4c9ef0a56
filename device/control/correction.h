#pragma once
// Corrections are kept as whole hundredths of a millimetre.
#include "com/hresult.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kavro {

// Truncates v x 100 towards zero. A float such as 0.29 lies just below its decimal value, so a
// plain truncation would turn it into 28; nudging by a few units of the float's last place first
// keeps 0.29 -> 29 and 0.01 -> 1 while 1.239 still gives 123. E_INVALIDARG for NaN or a value
// beyond the integer range.
inline HRESULT toHundredths(float value, int32_t* out)
{
    const double scaled = static_cast<double>(value) * 100.0;
    if (!std::isfinite(scaled))
        return E_INVALIDARG;
    const double nudge = std::fabs(scaled) * 0x1p-21 + 1e-9;
    const double t = std::trunc(scaled + std::copysign(nudge, scaled));
    if (t > std::numeric_limits<int32_t>::max() || t < std::numeric_limits<int32_t>::min())
        return E_INVALIDARG;
    *out = static_cast<int32_t>(t);
    return S_OK;
}

inline float fromHundredths(int32_t value)
{
    return static_cast<float>(value / 100.0);
}

} // namespace kavro
