#include "gdi_types.h"

#include <algorithm>
#include <limits>

namespace kavro {

GdiRect GdiRect::normalized() const
{
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

GdiRect GdiRect::united(const GdiRect& o) const
{
    if (o.isEmpty())
        return *this;
    if (isEmpty())
        return o;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t num = int64_t(a) * b;
    // Rounding half away from zero on the magnitudes, then the sign of the quotient.
    uint64_t n = num < 0 ? uint64_t(0) - uint64_t(num) : uint64_t(num);
    uint64_t d = c < 0 ? uint64_t(0) - uint64_t(int64_t(c)) : uint64_t(c);
    uint64_t q = (n + d / 2) / d;
    bool negative = (num < 0) != (c < 0);
    if (negative ? q > uint64_t(std::numeric_limits<int32_t>::max()) + 1
                 : q > uint64_t(std::numeric_limits<int32_t>::max()))
        return -1;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(q)) : static_cast<int32_t>(q);
}

int32_t clampCoordinate(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, -kMaxCoordinate, kMaxCoordinate));
}

} // namespace kavro
