#pragma once
// Small readers of the document model that several charts share, beside the wrapper's helpers.
#include "doc_helpers.h"
#include "kavrodoc.h"

namespace kavro::charts {

inline double rangeSeconds(IRange* r, int32_t i)
{
    float t = 0;
    if (r)
        r->Index2Sec(i, &t);
    return t;
}

} // namespace kavro::charts
