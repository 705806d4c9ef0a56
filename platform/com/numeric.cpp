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

} // namespace kavro
