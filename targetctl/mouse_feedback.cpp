// What the mouse is doing, drawn over the picture: the line and circle of a dragged breach, or
// the outline of a zoom band.
#include "plane_math.h"
#include "target_painter.h"

namespace kavro::target {

bool TargetPainter::drawMouseFeedback()
{
    constexpr COLORREF kBlack = 0;
    const MouseState& m = s_.mouse;
    if (m.dragging && m.dragShot) {
        float bx = 0, by = 0;
        GdiPoint o;
        if (FAILED(m.dragShot->Breach(&bx, &by)) || !toHundredths(bx, &o.x) || !toHundredths(by, &o.y))
            return false;
        const int64_t nx = int64_t(o.x) + (int64_t(m.current.x) - m.grab.x);
        const int64_t ny = int64_t(o.y) + (int64_t(m.current.y) - m.grab.y);
        const GdiPoint from = g_.map(o.x, o.y);
        const GdiPoint to = g_.map(nx, ny);
        canvas_.selectPen({PenStyle::Dot, 0, kBlack, false});
        const GdiPoint line[2] = {from, to};
        canvas_.polyline(line);

        const float calibre = displayCalibre(s_.event.get());
        const int32_t diameter = roundedProduct(100.0f * 0.9f, calibre);
        const int32_t radius = roundedProduct(100.0f * 0.9f * calibre, 0.5f);
        const GdiPoint corner = g_.map(nx - radius, ny - radius);
        const int32_t d = g_.length(diameter);
        canvas_.selectPen(GdiPen::solid(g_.length(roundedProduct(10.0f, calibre)), kBlack));
        canvas_.selectBrush(GdiBrush::null());
        canvas_.ellipse({corner.x, corner.y, corner.x + d, corner.y + d});
        return false;
    }
    if (m.band) {
        const GdiPoint a = g_.map(m.grab.x, m.grab.y);
        const GdiPoint b = g_.map(m.current.x, m.current.y);
        canvas_.selectPen({PenStyle::Dot, 0, kBlack, false});
        canvas_.selectBrush(GdiBrush::null());
        canvas_.rectangle(GdiRect{a.x, a.y, b.x, b.y}.normalized());
        return true;
    }
    return false;
}

void TargetPainter::drawDragEnds()
{
    const MouseState& m = s_.mouse;
    float bx = 0, by = 0;
    GdiPoint o;
    if (!m.dragging || !m.dragShot || FAILED(m.dragShot->Breach(&bx, &by)) || !toHundredths(bx, &o.x)
        || !toHundredths(by, &o.y))
        return;
    canvas_.setPixel(g_.map(o.x, o.y), 0);
    canvas_.setPixel(
        g_.map(int64_t(o.x) + (int64_t(m.current.x) - m.grab.x), int64_t(o.y) + (int64_t(m.current.y) - m.grab.y)), 0);
}

} // namespace kavro::target
