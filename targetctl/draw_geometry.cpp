#include "draw_geometry.h"

#include <cstdlib>

namespace kavro::target {

GdiRect fitRect(const GdiRect& bounds, int64_t vw, int64_t vh)
{
    const int64_t w = bounds.width();
    const int64_t h = bounds.height();
    GdiRect fitted = bounds;
    if (w <= 0 || h <= 0 || vw <= 0 || vh <= 0)
        return fitted;
    const int64_t aspect = vw * 1000 / vh;
    if (w * 1000 / h < aspect) {
        // Too tall: bars above and below. aspect is at least 1 here, because it exceeds a
        // non-negative quotient.
        const int64_t d = (h - w * 1000 / aspect + 1) / 2;
        fitted.top = clampCoordinate(fitted.top + d);
        fitted.bottom = clampCoordinate(fitted.bottom - d);
    } else {
        const int64_t d = (w - h * aspect / 1000 + 1) / 2;
        fitted.left = clampCoordinate(fitted.left + d);
        fitted.right = clampCoordinate(fitted.right - d);
    }
    return fitted;
}

DrawGeometry::DrawGeometry(const GdiRect& bounds, const GdiRect& visible, GdiPoint offset)
    : bounds_(bounds), visible_(visible), offset_(offset)
{
    vw_ = std::llabs(visible.width());
    vh_ = std::llabs(visible.height());
    fitted_ = fitRect(bounds, vw_, vh_);
    fw_ = std::llabs(fitted_.width());
    fh_ = std::llabs(fitted_.height());
    // The integer quotients decide, not the fractions: while the view in 0.01 mm is larger than
    // the fit in pixels both are 0 and the vertical ratio is taken.
    const int64_t qx = vw_ ? fw_ / vw_ : 0;
    const int64_t qy = vh_ ? fh_ / vh_ : 0;
    if (qx < qy) {
        ln_ = fw_;
        ld_ = vw_;
    } else {
        ln_ = fh_;
        ld_ = vh_;
    }
}

GdiPoint DrawGeometry::map(int64_t x, int64_t y) const
{
    const int64_t px = (vw_ ? (x - visible_.left) * fw_ / vw_ : 0) + fitted_.left - offset_.x;
    const int64_t py = (vh_ ? (y - visible_.top) * fh_ / vh_ : 0) + fitted_.top - offset_.y;
    return {clampCoordinate(px), clampCoordinate(py)};
}

int32_t DrawGeometry::length(int64_t hundredths) const
{
    if (ld_ == 0)
        return 0;
    return clampCoordinate(hundredths * ln_ / ld_);
}

GdiPoint DrawGeometry::toPlane(int64_t px, int64_t py) const
{
    const int64_t x = (fw_ ? (px - fitted_.left) * vw_ / fw_ : 0) + visible_.left;
    const int64_t y = (fh_ ? (py - fitted_.top) * vh_ / fh_ : 0) + visible_.top;
    return {clampCoordinate(x), clampCoordinate(y)};
}

int64_t DrawGeometry::visibleWidthFromFit() const
{
    return fw_ ? fw_ * vw_ / fw_ : vw_;
}

int64_t DrawGeometry::visibleHeightFromFit() const
{
    return fh_ ? fh_ * vh_ / fh_ : vh_;
}

} // namespace kavro::target
