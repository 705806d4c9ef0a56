#include "serialsim/biathlon_geometry.h"

#include <algorithm>
#include <cmath>

namespace kavro::serialsim {

double biathlonTargetCentre(int k)
{
    return (k - 2) * 250.0;
}

std::array<BiathlonTargetReading, 5> biathlonTargetsFor(double x, double y, int intensity)
{
    // The host reads S = p + q along the row and D = p - q across it and multiplies both by
    // f = 1024 / (W / 2 + 100); the scale it measures between neighbours is then g / f, so in
    // the position the intensity drops out and only g remains.
    std::array<BiathlonTargetReading, 5> targets{};
    const double wantD = y / BiathlonStepUnits;
    const long d = std::lround(wantD);
    for (int k = 0; k < 5; ++k) {
        const double wantS = (biathlonTargetCentre(k) - x) / BiathlonStepUnits;
        long s = std::lround(wantS);
        // p and q are whole numbers only when S and D have the same parity: move S by one
        // step towards its exact value (D stays common to all targets, which keeps the row level).
        if ((s + d) % 2 != 0)
            s += wantS >= double(s) ? 1 : -1;
        targets[size_t(k)].p = int(std::clamp((s + d) / 2, -512L, 511L));
        targets[size_t(k)].q = int(std::clamp((s - d) / 2, -512L, 511L));
        targets[size_t(k)].intensity = intensity;
    }
    return targets;
}

} // namespace kavro::serialsim
