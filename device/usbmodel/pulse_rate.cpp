#include "device/usbmodel/pulse_rate.h"

#include <cmath>

namespace kavro {

namespace {
constexpr double kMsPerDay = 86400000.0;
constexpr double kMinIntervalMs = 200.0;
constexpr double kMaxIntervalMs = 2000.0;
} // namespace

void PulseRate::Clear()
{
    beats_.fill(0);
}

std::optional<int32_t> PulseRate::AddBeat(DATE beat)
{
    for (size_t i = 0; i + 1 < beats_.size(); ++i)
        beats_[i] = beats_[i + 1];
    beats_.back() = beat;
    if (beats_.front() == 0 || !(beats_.back() > beats_.front()))
        return std::nullopt;
    // Whole microseconds: a date of days carries noise far below that, which must not tip the
    // truncated rate.
    const double m = std::round((beats_.back() - beats_.front()) * kMsPerDay / 3 * 1000) / 1000;
    for (size_t i = 0; i + 1 < beats_.size(); ++i) {
        const double interval = std::round((beats_[i + 1] - beats_[i]) * kMsPerDay * 1000) / 1000;
        if (interval < kMinIntervalMs || interval > kMaxIntervalMs || std::fabs(interval - m) > m / 2)
            return std::nullopt;
    }
    return static_cast<int32_t>(60.0 / (m / 1000.0));
}

} // namespace kavro
