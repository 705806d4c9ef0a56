#pragma once
// Draws the control's state onto a GDI-shaped canvas: the target face, extra elements, breaches,
// traces coloured by time intervals around each shot, the replay, marks and labels, in the fixed
// order of the layers. The same code draws on screen, into the back buffer and into metafiles.
#include "draw_geometry.h"
#include "target_state.h"

#include "gdi/canvas.h"

#include <functional>
#include <limits>

namespace kavro::target {

// What a paint leaves behind for the control to remember.
struct PaintOutcome {
    GdiRect replayLabelRect; // empty when no replay label was drawn
};

class TargetPainter {
public:
    static constexpr int32_t kWholeFrom = std::numeric_limits<int32_t>::min();
    static constexpr int32_t kWholeTo = std::numeric_limits<int32_t>::max();

    TargetPainter(const TargetState& state, GdiCanvas& canvas, const DrawGeometry& geometry);

    // The face and every layer above it; `mouseLayer`, when given, draws the drag and band
    // feedback in its place among the layers (it needs a raster operation of the surface).
    PaintOutcome paintAll(const std::function<void()>& mouseLayer = {});
    // paintAll in the three parts that a full paint keeps apart: the face (drawFace), the
    // breaches and traces of the aimings over it, and everything above those.
    void drawShotLayers();
    PaintOutcome drawUpperLayers(const std::function<void()>& mouseLayer = {});

    // The layers, for the incremental drawing of live aimings and of a replay.
    void drawFace();
    void drawElements(bool backgroundPass);
    void drawAllBreaches(bool filled);
    void drawAllTraces();
    void drawReplayBreaches(bool filled);
    void drawReplayTrace();
    GdiRect drawReplayLabel();
    // The drag or band feedback in black; drawn inverting, a second drawing erases the first.
    // True when a band was drawn.
    bool drawMouseFeedback();
    // The two end pixels of a drag's line, set plainly (pixels take no raster operation).
    void drawDragEnds();
    void drawSightingMark();
    void drawLabels();

    // A breach; a missed shot draws nothing.
    void drawBreach(IShot* shot, bool selected, bool filled);
    // The trace of an aiming over [from, to] (sample indices), with the heading of a live trace.
    void drawTrace(IAiming* aiming, int32_t from, int32_t to);
    // The same without the heading: interval colouring around each shot only.
    void drawColouredTrace(IAiming* aiming, IAimingTrace* trace, int32_t from, int32_t to);
    void drawSegment(IAimingTrace* trace, int32_t a, int32_t b, OLE_COLOR colour);

private:
    void drawSplitSegment(IAimingTrace* trace, int32_t a, int32_t b, double phase, OLE_COLOR c1, OLE_COLOR c2);
    void selectTracePen(OLE_COLOR colour);
    void shade(const GdiRect& rect);
    GdiRect surfaceBounds() const;
    int32_t breachDiameter() const; // pixels

    const TargetState& s_;
    GdiCanvas& canvas_;
    const DrawGeometry& g_;
};

// Where label 1 or 2 is drawn in the bounds (surface pixels); empty for an empty label.
GdiRect labelRect(const TargetState& state, const GdiRect& bounds, int position);

// A colour from an OLE_COLOR; colours that cannot be translated draw black.
COLORREF drawColour(OLE_COLOR colour);

// The sample rate of an aiming, 0 when it cannot be read.
int32_t sampleRateOf(IAiming* aiming);

} // namespace kavro::target
