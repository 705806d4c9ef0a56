#include "shot_navigation.h"

#include "doc_helpers.h"

#include <algorithm>
#include <optional>

namespace {

ComPtr<IAiming> aimingOfShot(IAimingCollection* aimings, IShot* shot)
{
    ComPtr<IAiming> aiming;
    if (!aimings || !shot || FAILED(aimings->FindAiming(shot, aiming.put())))
        return nullptr;
    return aiming;
}

// Target position of an aiming step from position i of n, before clamping; none for no move.
std::optional<int> aimingStepTarget(const ShotSteps& steps, IShot* current, int i, int n, int step)
{
    ComPtr<IAiming> aiming = aimingOfShot(steps.aimings.get(), current);
    if (!aiming)
        return std::nullopt;
    int32_t k = 0;
    aiming->get_ShotCount(&k);
    int j = 0;
    for (int m = 1; m <= k && j == 0; ++m) {
        ComPtr<IShot> s;
        if (SUCCEEDED(aiming->Shot(m, s.put())) && s.get() == current)
            j = m;
    }
    if (j == 0)
        return std::nullopt;
    if (step == NavigateStep::SeriesForward && j < k)
        return i + k - j;
    if (step == NavigateStep::SeriesBack && j > 1)
        return i - j + 1;
    const int neighbour = step == NavigateStep::SeriesForward ? i + 1 : i - 1;
    if (neighbour < 1 || neighbour > n)
        return std::nullopt;
    ComPtr<IAiming> next = aimingOfShot(steps.aimings.get(), shotAt(steps.list.get(), neighbour).get());
    if (!next)
        return std::nullopt;
    int32_t k2 = 0;
    next->get_ShotCount(&k2);
    return step == NavigateStep::SeriesForward ? i + k2 : i - k2;
}

} // namespace

bool stepShot(const ShotSteps& steps, IShot* current, int step, ComPtr<IShot>* out)
{
    const int n = countOf(steps.list.get());
    if (n == 0)
        return false;
    auto give = [&](int t) {
        *out = shotAt(steps.list.get(), t);
        return *out != nullptr;
    };
    if (step == NavigateStep::First)
        return give(1);
    if (step == NavigateStep::Last)
        return give(n);
    if (!current)
        return give(step < NavigateStep::Next ? n : 1);
    int i = 0;
    for (int k = 1; k <= n && i == 0; ++k) {
        if (shotAt(steps.list.get(), k).get() == current)
            i = k;
    }
    if (i == 0)
        return give(step < NavigateStep::SeriesBack || step > NavigateStep::Previous ? 1 : n);

    int t = i;
    if (step == NavigateStep::Previous || step == NavigateStep::Next) {
        t = i + step;
    } else if ((step == NavigateStep::SeriesBack || step == NavigateStep::SeriesForward) && steps.byAiming) {
        const std::optional<int> target = aimingStepTarget(steps, current, i, n, step);
        if (!target)
            return false;
        t = *target;
    } else if (step == NavigateStep::SeriesBack || step == NavigateStep::SeriesForward) {
        t = seriesStepTarget(i, step, steps.seriesSize, steps.sightings);
    }
    t = std::clamp(t, 1, n);
    if (t == i)
        return false;
    return give(t);
}

int seriesStepTarget(int i, int step, int seriesSize, int sightings)
{
    const int d = seriesSize;
    const int s = sightings;
    const int o = s % d;
    int t;
    if (step == NavigateStep::SeriesForward) {
        const int p = (o != 0 && i >= s) ? i + d - o : i;
        t = p + d - (p % d);
    } else {
        const int p = (o != 0 && i > s) ? i + d - o : i;
        const int r = (p - 1) % d;
        t = r == 0 ? p - d : p - r;
    }
    // Positions past the sightings were shifted to align the match series; shift them back.
    if (o != 0 && t > s)
        t -= d - o;
    return t;
}
