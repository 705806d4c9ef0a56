#pragma once
// A canvas that passes everything on and remembers the pixels it may have touched, so that an
// incremental drawing into a back buffer repaints only that rectangle of the window.
#include "gdi/canvas.h"

namespace kavro::target {

class TrackingCanvas final : public GdiCanvas {
public:
    explicit TrackingCanvas(GdiCanvas& inner) : inner_(inner) { }

    // Everything drawn so far, grown by the pen; empty when nothing was drawn.
    const GdiRect& touched() const { return touched_; }

    void selectPen(const GdiPen& pen) override
    {
        pen_ = pen;
        inner_.selectPen(pen);
    }
    void selectBrush(const GdiBrush& brush) override { inner_.selectBrush(brush); }
    void selectFont(const GdiFont& font) override { inner_.selectFont(font); }
    void setTextColor(COLORREF color) override { inner_.setTextColor(color); }
    void setBkMode(BkMode mode) override { inner_.setBkMode(mode); }
    void setBkColor(COLORREF color) override { inner_.setBkColor(color); }

    void fillRect(const GdiRect& rect, COLORREF color) override
    {
        add(rect, 0);
        inner_.fillRect(rect, color);
    }
    void setPixel(GdiPoint p, COLORREF color) override
    {
        add({p.x, p.y, p.x + 1, p.y + 1}, 0);
        inner_.setPixel(p, color);
    }
    void rectangle(const GdiRect& box) override
    {
        add(box, penReach());
        inner_.rectangle(box);
    }
    void ellipse(const GdiRect& box) override
    {
        add(box, penReach());
        inner_.ellipse(box);
    }
    void polyline(std::span<const GdiPoint> points) override
    {
        addPoints(points);
        inner_.polyline(points);
    }
    void polygon(std::span<const GdiPoint> points, FillMode mode) override
    {
        addPoints(points);
        inner_.polygon(points, mode);
    }
    int drawText(const QString& text, GdiRect* rect, uint32_t format) override;

    void beginPath() override { inner_.beginPath(); }
    void endPath() override { inner_.endPath(); }
    void selectClipPath(ClipMode mode) override { inner_.selectClipPath(mode); }
    void restoreClip() override { inner_.restoreClip(); }
    void drawPicture(IPicture* picture, const GdiRect& box) override
    {
        add(box, 0);
        inner_.drawPicture(picture, box);
    }

private:
    int32_t penReach() const { return pen_.width / 2 + 2; }
    void add(const GdiRect& r, int32_t grow);
    void addPoints(std::span<const GdiPoint> points);

    GdiCanvas& inner_;
    GdiPen pen_;
    GdiRect touched_;
};

} // namespace kavro::target
