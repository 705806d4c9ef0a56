#include "trace_intervals.h"

#include <utility>

namespace kavro::target {

std::vector<TraceInterval> mergeIntervals(std::vector<TraceInterval> list)
{
    for (TraceInterval& t : list)
        if (t.end < t.start)
            std::swap(t.start, t.end);

    for (std::size_t i = 0; i < list.size();) {
        float s = list[i].start;
        float e = list[i].end;
        bool removed = false;
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            const TraceInterval later = list[j];
            if (s < later.start && later.start < e) {
                if (later.end < e) {
                    // The later interval lies inside: the part of i after it survives as a copy.
                    list.insert(list.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                TraceInterval{list[i].color, later.end, e});
                    ++j;
                }
                list[i].end = later.start;
                e = later.start;
            } else if (s < later.end && later.end < e) {
                list[i].start = later.end;
                s = later.end;
            } else if (later.start <= s && later.end >= e) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                removed = true;
                break;
            }
        }
        if (!removed)
            ++i;
    }

    // A restarting exchange sort: stable for equal starts, and the lists are a handful long.
    for (std::size_t p = 1; p < list.size(); ++p) {
        if (list[p].start < list[p - 1].start) {
            std::swap(list[p], list[p - 1]);
            p = 0;
        }
    }
    return list;
}

void TraceIntervals::reset(OLE_COLOR beforeShot, OLE_COLOR afterShot)
{
    input_.clear();
    merged_.clear();
    input_.push_back({beforeShot, -1000.0f, 0.0f});
    input_.push_back({afterShot, 0.0f, 1000.0f});
    needsRebuild_ = true;
}

void TraceIntervals::add(const TraceInterval& interval)
{
    input_.push_back(interval);
    needsRebuild_ = true;
}

void TraceIntervals::setColor(std::size_t index, OLE_COLOR color)
{
    if (index < input_.size())
        input_[index].color = color;
    needsRebuild_ = true;
}

const std::vector<TraceInterval>& TraceIntervals::merged() const
{
    if (needsRebuild_) {
        merged_ = mergeIntervals(input_);
        needsRebuild_ = false;
    }
    return merged_;
}

} // namespace kavro::target
