#pragma once
// How the visible part of the target plane (0.01 mm) fits into a window (pixels): the fitted
// rectangle keeps the view's aspect, points map with truncating integer arithmetic per axis, and
// lengths scale by the tighter of the two axis ratios. Every product is 64-bit and no size of
// zero is ever a divisor.
#include "gdi/gdi_types.h"

namespace kavro::target {

class DrawGeometry {
public:
    DrawGeometry() = default;
    // `offset` is the device origin of a back buffer that the drawing goes into (0 without one).
    DrawGeometry(const GdiRect& bounds, const GdiRect& visible, GdiPoint offset = {});

    const GdiRect& bounds() const { return bounds_; }
    const GdiRect& fitted() const { return fitted_; }
    const GdiRect& visible() const { return visible_; }
    GdiPoint offset() const { return offset_; }

    // A plane point in 0.01 mm to a pixel of the drawing surface.
    GdiPoint map(int64_t x, int64_t y) const;
    // A length in 0.01 mm to pixels (multiplication first, then truncating division).
    int32_t length(int64_t hundredths) const;
    // A window pixel back to the plane (0.01 mm), as the mouse needs it.
    GdiPoint toPlane(int64_t px, int64_t py) const;

    // The visible extent as the fitted drawing area gives it back, in 0.01 mm.
    int64_t visibleWidthFromFit() const;
    int64_t visibleHeightFromFit() const;

private:
    GdiRect bounds_;
    GdiRect fitted_;
    GdiRect visible_;
    GdiPoint offset_;
    int64_t vw_ = 0, vh_ = 0, fw_ = 0, fh_ = 0;
    int64_t ln_ = 0, ld_ = 0;
};

// The fitted rectangle of a view of vw x vh (0.01 mm) in the bounds: centred, the view's aspect
// kept; the bounds themselves when any size is zero or negative.
GdiRect fitRect(const GdiRect& bounds, int64_t vw, int64_t vh);

} // namespace kavro::target
