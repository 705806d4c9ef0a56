#pragma once
// Small readers of the document model that several charts share, beside the wrapper's helpers.
#include "doc_helpers.h"
#include "kavrodoc.h"

namespace kavro::charts {

inline int shotSubTarget(IShot* shot)
{
    ComPtr<IAimingAttr> attr;
    int32_t sub = 1;
    if (shot && SUCCEEDED(shot->get_Attr(attr.put())) && attr)
        attr->get_SubTarget(&sub);
    return sub;
}

inline double rangeSeconds(IRange* r, int32_t i)
{
    float t = 0;
    if (r)
        r->Index2Sec(i, &t);
    return t;
}

} // namespace kavro::charts
