#pragma once
// Small readers of the document model that several charts share.
#include "kavrodoc.h"

namespace kavro::charts {

inline bool isMissedShot(IShot* shot)
{
    VARIANT_BOOL missed = VARIANT_FALSE;
    return shot && SUCCEEDED(shot->get_Missed(&missed)) && missed == VARIANT_TRUE;
}

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

inline ComPtr<IShot> shotAt(IShotCollection* shots, int32_t k)
{
    ComPtr<IShot> shot;
    if (shots)
        shots->get_Item(k, shot.put());
    return shot;
}

inline int32_t countOf(IShotCollection* shots)
{
    int32_t n = 0;
    if (shots)
        shots->get_Count(&n);
    return n;
}

} // namespace kavro::charts
