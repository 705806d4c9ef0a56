#pragma once
// Targets drawn into picture cells through a hidden target control: an empty paper target at a
// given size, or the shots of a practice.
#include "kavrodoc.h"
#include "printout_cells.h"
#include "series_model.h"

#include <QSizeF>
#include <vector>

class CKavroDoc;

namespace kavro::print {

// An empty target of the event in `target`, clipped to `clip` (empty: none).
bool CreateTargetPictureCell(IEventParams* event, PrintoutPage& page, const GdiRect& target, const GdiRect& clip,
                             int subTarget, bool scoreRings);

struct ShotsPicture {
    std::vector<ComPtr<IAiming>> aimings; // the aimings holding the shots, each once
    int subTarget = 1;
    bool displayTrace = false;
    bool match = true;
    float zoomX = 0, zoomY = 0; // half extents in mm; 0: the whole target
};

// The aimings that hold the shots (each once, in shot order).
std::vector<ComPtr<IAiming>> aimingsOfShots(CKavroDoc& doc, IShotCollection* shots);

// The picture has the form's proportions and takes the largest part of `rect` from its top left
// corner that keeps them. Nothing (and true) for no aimings.
bool AddShotsPictureCell(IEventParams* event, PrintoutPage& page, const ShotsPicture& shots, const GdiRect& rect);

// Height over width of the event's form (1 when it has none).
double formAspect(IEventParams* event, int subTarget);

// The half width and height that show every shot: the smallest ring that holds them all, the
// same both ways (two-target events: the whole form of the first target).
QSizeF GetShotsZoom(IEventParams* event, IShotCollection* shots, bool twoTargets);

// The series table's picture of a biathlon shot.
using series::DrawFiveTargetSchematic;

} // namespace kavro::print
