#pragma once
// The time intervals around each shot in which the trace takes a colour of its own. Intervals
// added later win over earlier ones; the merged list, ordered by start, is what drawing uses.
#include "com/hresult.h"

#include <cstddef>
#include <vector>

namespace kavro::target {

struct TraceInterval {
    OLE_COLOR color = 0;
    float start = 0; // seconds relative to the shot
    float end = 0;
    bool operator==(const TraceInterval&) const = default;
};

// Flattens the intervals so that later ones cover earlier ones, then orders them by start
// (equal starts keep their order). All comparisons are in single precision, so an interval with
// a NaN bound changes nothing and is never removed.
std::vector<TraceInterval> mergeIntervals(std::vector<TraceInterval> input);

class TraceIntervals {
public:
    // The two default intervals: beforeShot for [-1000, 0] and afterShot for [0, 1000].
    void reset(OLE_COLOR beforeShot, OLE_COLOR afterShot);
    void add(const TraceInterval& interval);
    // The colour of the first (0) or second (1) input interval, when it exists.
    void setColor(std::size_t index, OLE_COLOR color);

    const std::vector<TraceInterval>& input() const { return input_; }
    // Rebuilt only after a change.
    const std::vector<TraceInterval>& merged() const;

private:
    std::vector<TraceInterval> input_;
    mutable std::vector<TraceInterval> merged_;
    mutable bool needsRebuild_ = true;
};

} // namespace kavro::target
