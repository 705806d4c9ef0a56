#include "doc_selection.h"

bool ShotSelection::select(IShot* shot)
{
    if (shot_.get() == shot)
        return false;
    shot_ = shot;
    return true;
}

bool ShotSelection::setIncludeSightings(bool include)
{
    if (includeSightings_ == include)
        return false;
    includeSightings_ = include;
    return true;
}

void ShotSelection::leaveForNeighbour(const ShotSteps& steps)
{
    ComPtr<IShot> other;
    if (!stepShot(steps, shot_.get(), NavigateStep::Next, &other))
        stepShot(steps, shot_.get(), NavigateStep::Previous, &other);
    shot_ = other;
}

void ShotSelection::dropSightingShot()
{
    ComPtr<IAimingAttr> attr;
    VARIANT_BOOL match = VARIANT_TRUE;
    if (shot_)
        shot_->get_Attr(attr.put());
    if (attr && SUCCEEDED(attr->get_Match(&match)) && match != VARIANT_TRUE)
        shot_ = nullptr;
}
