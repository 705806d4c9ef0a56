#include "numeric.h"

#include <optional>

namespace kavro {

namespace {

// The answer for values that int32 cannot hold (converting them would be undefined); none for
// the others.
std::optional<int32_t> saturatedOutside(double v, int32_t nanValue)
{
    if (std::isnan(v))
        return nanValue;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return std::nullopt;
}

} // namespace

int32_t roundSaturated(double v, int32_t nanValue)
{
    if (auto outside = saturatedOutside(v, nanValue))
        return *outside;
    return static_cast<int32_t>(std::nearbyint(v));
}

int32_t truncSaturated(double v, int32_t nanValue)
{
    if (auto outside = saturatedOutside(v, nanValue))
        return *outside;
    return static_cast<int32_t>(v);
}

bool toHundredths(float mm, int32_t* out)
{
    volatile float product = mm * 100.0f; // keep the single-precision product, not a wider one
    return checkedRound<int32_t>(product, out);
}

bool truncToHundredths(float mm, int32_t* out)
{
    const double scaled = static_cast<double>(mm) * 100.0;
    if (!std::isfinite(scaled))
        return false;
    // A nudge of a few units of the float's last place before truncating undoes the float's
    // shortfall below the decimal value it was written as.
    const double nudge = std::fabs(scaled) * 0x1p-21 + 1e-9;
    const double t = std::trunc(scaled + std::copysign(nudge, scaled));
    if (t > std::numeric_limits<int32_t>::max() || t < std::numeric_limits<int32_t>::min())
        return false;
    *out = static_cast<int32_t>(t);
    return true;
}

float fromHundredths(int32_t hundredths)
{
    return static_cast<float>(hundredths / 100.0);
}

} // namespace kavro
