#include "device/imagesensor/beat_rate.h"

#include <algorithm>
#include <cmath>

namespace kavro {

namespace {
constexpr double kMsPerDay = 86400000.0;
constexpr double kShortestBeatMs = 200;
constexpr double kLongestBeatMs = 2000;
} // namespace

std::optional<int> BeatRate::AddBeat(DATE beat)
{
    std::shift_left(beats_.begin(), beats_.end(), 1);
    beats_.back() = beat;
    if (beats_.front() == 0 || !(beats_.back() > beats_.front()))
        return std::nullopt;
    // Dates hold the time of day to about a microsecond: keep that noise out of the truncation.
    const double mean = std::round((beats_.back() - beats_.front()) * kMsPerDay / 3 * 1000) / 1000;
    for (size_t i = 1; i < beats_.size(); ++i) {
        const double interval = (beats_[i] - beats_[i - 1]) * kMsPerDay;
        if (interval < kShortestBeatMs || interval > kLongestBeatMs || std::abs(interval - mean) > mean / 2)
            return std::nullopt;
    }
    const int rate = static_cast<int>(60.0 / (mean / 1000.0));
    if (rate == lastRate_)
        return std::nullopt;
    lastRate_ = rate;
    return rate;
}

} // namespace kavro
