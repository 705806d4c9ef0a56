#pragma once
// Everything the control keeps: what it shows, how, and the state of the mouse and of a replay.
// Drawing reads it; only the control's members change it.
#include "draw_geometry.h"
#include "kavrogui.h"
#include "trace_intervals.h"

#include "com/olecolor.h"

#include <vector>

namespace kavro::target {

struct AimingEntry {
    ComPtr<IAiming> aiming;
    int32_t lastDrawn = 0; // last sample index already drawn
    int32_t shotsDrawn = 0; // shots already drawn
};

// The replay's state, driven from outside the drawing.
struct ReplayState {
    ComPtr<IAiming> aiming;
    ComPtr<IShot> shot;
    int32_t position = 0; // sample index
    int32_t startPosition = 0; // sample index at startTick
    int32_t speed = 100; // percent, 10..300
    uint32_t startTick = 0; // ms
    bool paused = false;
    bool markVisible = false; // the blink phase of the replay label
    GdiRect labelRect; // where the replay label was drawn last
    uint32_t starts = 0; // replays started: tells an ending replay whether its sinks began another
};

// A drag of a breach, a rubber band or a pan in progress, and the pending correction of a shot.
struct MouseState {
    bool dragging = false;
    bool band = false;
    bool panning = false;
    bool bandDrawn = false;
    ComPtr<IAiming> dragAiming;
    ComPtr<IShot> dragShot;
    GdiPoint grab; // 0.01 mm
    GdiPoint current; // 0.01 mm
    GdiPoint grabOffset; // 0.01 mm
};

struct TargetState {
    std::vector<AimingEntry> aimings; // drawing order: later entries on top
    std::vector<ComPtr<ITargetElement>> elements;
    ComPtr<IEventParams> event;
    ComPtr<ITargetParams> targetParams; // the event's first target
    ComPtr<IEventManager> eventManager;
    QString eventShortName;

    GdiRect formRect; // 0.01 mm
    GdiRect visibleRect; // 0.01 mm
    float zoom = 0;
    bool autoZoom = false;

    bool match = true;
    bool displayBreach = true;
    bool displayTrace = true;
    bool displayReplayMark = true;
    bool selectable = true;
    bool dragable = false;
    bool enableUpdate = true;
    bool shadeLabel = true;
    bool defaultBackground = true;
    bool displayScoreRings = true;

    float traceHeadingLength = 0.1f; // seconds
    float traceThickness = -1.0f; // mm; negative: the target's
    int32_t subTarget = 1;

    OLE_COLOR replayMarkColor = rgb(255, 255, 0);
    OLE_COLOR sightingMarkColor = rgb(255, 255, 0);
    OLE_COLOR traceAfterShotColor = rgb(255, 0, 0);
    OLE_COLOR traceColor = rgb(64, 192, 32);
    OLE_COLOR traceHeadingColor = rgb(255, 0, 0);
    OLE_COLOR labelColor = rgb(255, 255, 0);
    OLE_COLOR breachColor = 0; // 0: the target's
    OLE_COLOR selectedBreachColor = 0; // 0: the target's
    OLE_COLOR backColor = rgb(255, 255, 255);

    TraceIntervals intervals;

    ComPtr<IAiming> selectedAiming;
    ComPtr<IShot> selectedShot;
    MouseState mouse;

    QString label1;
    QString label2;
    QString replayLabel = QStringLiteral("REPLAY");
    QString replayPausedLabel = QStringLiteral("REPLAY PAUSED");
    ReplayState replay;

    bool redrawPending = false;
    // The control's extent in 0.01 mm, the size a host gives it before it has a window.
    uint32_t extentX = 5080;
    uint32_t extentY = 5080;
};

} // namespace kavro::target
