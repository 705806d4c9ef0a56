#pragma once
// The tone that guides blind shooters from the trace view: which generator sounds, and how a point
// of the target tunes it.
#include "kavrodoc.h"

#include <optional>

// The sine generator that guides blind shooters. Unless another is set, the view drives the
// program's tone (the frame makes it when sound works).
class BlindToneGenerator {
public:
    virtual ~BlindToneGenerator() = default;
    // Retunes for the zone (0..10) of a point x mm across a form `formWidth` mm wide, placed to
    // that side, and starts the tone when it is not playing.
    virtual void update(int zone, float x, float formWidth) = 0;
    virtual bool isPlaying() const = 0;
    virtual void stop() = 0;
};

namespace kavro::trace {

// The generator set for the views (null: none set), else the program's tone.
void setBlindTone(BlindToneGenerator* generator);
BlindToneGenerator& blindTone();

// Tunes `tone` for the point (x, y) mm of an aiming of `event`: on the biathlon plates of the
// aiming's sub-target, else by the score the event gives the point.
void tuneBlindTone(BlindToneGenerator& tone, bool biathlon, float x, float y, IEventParams* event, IAimingAttr* attr);

// A point of an aiming's trace with what the tone needs to place it.
struct TonePoint {
    float x = 0, y = 0;
    ComPtr<IEventParams> event;
    ComPtr<IAimingAttr> attr;
};
// The newest point of the trace of an aiming in progress; none while it is not a valid point.
std::optional<TonePoint> newestTracePoint(IAiming* aiming);

} // namespace kavro::trace
