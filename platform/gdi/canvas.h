#pragma once
// A GDI-shaped drawing surface. Drawing code is written once against it and either records a
// metafile (MetafileRecorder) or draws at once (PainterCanvas). State set on it (pen, brush,
// font, colours, background mode) stays until it is set again, as on a device context.
#include "gdi_types.h"

#include <span>

namespace kavro {

struct IPicture;

class GdiCanvas {
public:
    virtual ~GdiCanvas() = default;

    virtual void selectPen(const GdiPen& pen) = 0;
    virtual void selectBrush(const GdiBrush& brush) = 0;
    virtual void selectFont(const GdiFont& font) = 0;
    virtual void setTextColor(COLORREF color) = 0;
    virtual void setBkMode(BkMode mode) = 0;
    virtual void setBkColor(COLORREF color) = 0;

    // Fills the rectangle (right and bottom exclusive) without the pen; an inverted one fills nothing.
    virtual void fillRect(const GdiRect& rect, COLORREF color) = 0;
    // One device pixel at the point.
    virtual void setPixel(GdiPoint point, COLORREF color) = 0;
    // Outlined with the pen and filled with the brush.
    virtual void rectangle(const GdiRect& box) = 0;
    virtual void ellipse(const GdiRect& box) = 0;
    virtual void polyline(std::span<const GdiPoint> points) = 0;
    virtual void polygon(std::span<const GdiPoint> points, FillMode mode) = 0;

    // Text in the rectangle with the selected font, the text colour and the background mode.
    // Returns the height of the text; with DT_CALCRECT nothing is drawn and *rect receives the
    // extent (left and top kept).
    virtual int drawText(const QString& text, GdiRect* rect, uint32_t format) = 0;

    // Between beginPath and endPath, rectangle, ellipse, polyline and polygon add to the path
    // instead of drawing. selectClipPath makes the path the clip region (Copy) or joins it to the
    // current one (Or), and consumes the path; restoreClip goes back to the clip the canvas
    // began with.
    virtual void beginPath() = 0;
    virtual void endPath() = 0;
    virtual void selectClipPath(ClipMode mode) = 0;
    virtual void restoreClip() = 0;

    // Renders the whole picture upright into the box.
    virtual void drawPicture(IPicture* picture, const GdiRect& box) = 0;
};

} // namespace kavro
