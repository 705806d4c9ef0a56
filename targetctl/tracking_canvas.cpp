#include "tracking_canvas.h"

#include <algorithm>

namespace kavro::target {

void TrackingCanvas::add(const GdiRect& r, int32_t grow)
{
    GdiRect n = r.normalized();
    n = {clampCoordinate(int64_t(n.left) - grow), clampCoordinate(int64_t(n.top) - grow),
         clampCoordinate(int64_t(n.right) + grow + 1), clampCoordinate(int64_t(n.bottom) + grow + 1)};
    touched_ = touched_.united(n);
}

void TrackingCanvas::addPoints(std::span<const GdiPoint> points)
{
    if (points.empty())
        return;
    GdiRect box{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const GdiPoint& p : points) {
        box.left = std::min(box.left, p.x);
        box.top = std::min(box.top, p.y);
        box.right = std::max(box.right, p.x);
        box.bottom = std::max(box.bottom, p.y);
    }
    add(box, penReach());
}

int TrackingCanvas::drawText(const QString& text, GdiRect* rect, uint32_t format)
{
    int height = inner_.drawText(text, rect, format);
    if (rect && !(format & DT_CALCRECT)) {
        // Text may run past its rectangle (no clipping): measure what it really covers.
        GdiRect extent = *rect;
        inner_.drawText(text, &extent, format | DT_CALCRECT);
        add(rect->united(extent), 1);
    }
    return height;
}

} // namespace kavro::target
