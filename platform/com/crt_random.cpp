#include "crt_random.h"

namespace kavro {

CrtRandom& programRandom()
{
    static CrtRandom generator;
    return generator;
}

} // namespace kavro
