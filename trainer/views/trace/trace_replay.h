#pragma once
// What a replay reads from its shot: the span of samples it runs over, where it starts, the scale
// of the trigger bar, and everything the panels and the tone show at a moment of it.
#include "trace_model.h"
#include "trace_tone.h"

#include "kavrodoc.h"

#include <optional>
#include <vector>

namespace kavro::trace {

// The samples of the shot's range with their times from the shot.
struct ReplaySpan {
    int32_t first = 0, last = 0;
    float start = 0, end = 0;
};
std::optional<ReplaySpan> replaySpanOf(IRange* range);

// The time of the first valid point of the range inside the visible rectangle, where the replay
// starts rather than off screen; none when no point is in view.
std::optional<float> firstVisibleSecond(IRange* range, float left, float top, float width, float height);

// The replay's trigger bar is scaled to the largest pressure recorded in the shot's trace (at
// least 1); none without a trigger channel.
std::optional<int> replayTriggerScale(IShot* shot);

// Where a scroll of the replay panel moves a replay now `position` seconds from the shot; none
// when it stays.
std::optional<float> replayScrollSecond(IShot* shot, float position, ScrollCode code, int thumb);

// What the replay shows `x` seconds from the shot.
struct ReplayMoment {
    int32_t index = 0; // the sample, within the range
    std::optional<TonePoint> point; // where the sample lies, when it is valid
    std::optional<int32_t> trigger; // the pressure, when the trace records it
    int heartImage = -1; // -1: the heart stays as it is
    int pulse = 0;
};
// `pulse` is the practice's pulse record. None when the shot has no range.
std::optional<ReplayMoment> replayMomentAt(IShot* shot, float x, const std::vector<PulseSample>& pulse);

} // namespace kavro::trace
