#pragma once
// How many frames a sensor's sequence counter says were lost between two samples.
#include <cstdint>

namespace kavro {

// `last` is the previous sample's counter (negative: none yet), `counter` this one's, `modulus`
// where the sensor's counter wraps (0: the sensor has no counter, nothing can be counted). A
// repeated counter loses nothing; a counter below the last one has wrapped.
constexpr uint32_t skippedBetween(int32_t last, int32_t counter, int32_t modulus)
{
    if (last < 0 || modulus <= 0)
        return 0;
    int64_t gap = int64_t{counter} - last - 1;
    if (counter < last)
        gap += modulus;
    return gap > 0 ? static_cast<uint32_t>(gap) : 0;
}

} // namespace kavro
