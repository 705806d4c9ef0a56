#pragma once
// The trace view's decisions as functions of plain values: zoom levels and their animation, the
// heart picture, the blind-shooter tone, the replay scroll bar and the pulse panel's geometry.
#include "com/oledate.h"
#include "doc_pulse.h"

#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

namespace kavro::trace {

// The zoom a shot asks for and what the view allows.
float largestZoomLevel(bool advancedMode); // after a reset: 8 or 6
float cappedZoomAfterChange(float zoom, bool advancedMode); // the control's own zoom, at most 9 or 7
float zoomLevelForResult(float result, float largest); // result − 1 within 0..largest

// A smooth zoom takes 500 ms from start to target and never passes the target.
constexpr int kZoomAnimationMs = 500;
float zoomAnimationLevel(float start, float target, int64_t elapsedMs);

// Heart image 0 (beat) for the first third of the interval after a heartbeat, else 1.
int heartImageAt(DATE now, DATE lastBeat, DATE previousBeat);

// Zone 0..10 of a point on the biathlon plates for sub-target 1 (standing) or 2 (prone).
int biathlonToneZone(float x, float y, int subTarget);
int clampToneZone(float zone);

// The replay scroll bar: where a scroll code moves the current sample d.
enum class ScrollCode { LineLeft, LineRight, PageLeft, PageRight, ThumbTrack, Top, Bottom, Other };
int replayScrollTarget(ScrollCode code, int d, int thumb, int rate, int first, int last);

int clampIndex(int index, int first, int last);

// One heartbeat stored with a shot: the beat's start and end times.
struct Heartbeat {
    DATE min = 0;
    DATE max = 0;
};
// The heart image at `x` seconds from a shot at `shotTime` during a replay; -1 without beats
// (the image stays as it is).
int replayHeartImage(const std::vector<Heartbeat>& beats, DATE shotTime, float x);

// The filled part of a trigger bar `areaHeight` high: 1.2 × scale fills it.
int triggerBarHeight(int areaHeight, int value, int scale);
int normalisedTriggerScale(int scale); // at least 32

// The pulse panel's rows in a client rectangle.
struct PulsePanelLayout {
    QRect pulseRow1, pulseRow2, gap, triggerCaption, triggerBar;
};
constexpr int kPulseRow = 32;
constexpr int kPulseGap = 3;
PulsePanelLayout pulsePanelLayout(const QRect& client, bool pulseShown, bool triggerShown);

// The splitter position that leaves the pulse panel 32 pixels on the right, or -1 when only the
// trace pane is shown.
int pulseSplitterPosition(int clientWidth, int splitterBarWidth, int clientLeft, bool panelShowsAnything);

// " %-3.1f " of a result, with " %-3.1f mm " of the trace length on a second line when asked.
QString traceLabel(bool showResult, float result, bool showLength, float length);
QString secondsText(float seconds); // "%-5.2f"

} // namespace kavro::trace
