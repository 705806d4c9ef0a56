// Which part of the target plane the control shows: zoom levels tied to the rings, zoom to a
// rectangle, and zoom to fit what is shown.
#include "target.h"

#include "plane_math.h"

#include <algorithm>
#include <cmath>

namespace kavro::target {

namespace {

// A zoom value of the event: a positive side in mm, or none.
std::optional<float> eventZoomSide(IEventParams* event, float level)
{
    // Keys are written in the C locale whatever the user's locale: QString::number is.
    const QString exact = QStringLiteral("_zoom_") + QString::number(double(level), 'f', 1);
    const QString whole = QStringLiteral("_zoom_") + QString::number(int(level));
    Variant value;
    if (FAILED(event->get_Value(exact, &value)) || value.isEmpty()
        || (value.vt() == VT_BSTR && value.bstr().isEmpty())) {
        value = Variant();
        if (FAILED(event->get_Value(whole, &value)))
            return std::nullopt;
    }
    float side = 0;
    if (value.isEmpty() || FAILED(value.toFloat(&side)) || !(side > 0) || !std::isfinite(side))
        return std::nullopt;
    return side;
}

} // namespace

void CTarget::setVisible(const GdiRect& rect)
{
    if (rect == state_.visibleRect)
        return;
    state_.visibleRect = rect;
    requestRedraw();
}

void CTarget::setSquareView(float side)
{
    GdiRect view;
    view.left = -roundedProduct(100.0f * side, 0.5f);
    view.top = view.left;
    view.right = clampCoordinate(int64_t(view.left) + roundedProduct(100.0f, side));
    view.bottom = view.right;
    setVisible(view);
}

void CTarget::applyZoomLevel()
{
    ITargetParams* params = state_.targetParams.get();
    if (!params)
        return;
    if (state_.event) {
        if (auto side = eventZoomSide(state_.event.get(), state_.zoom)) {
            setSquareView(*side);
            return;
        }
    }
    if (state_.zoom == 0) {
        setVisible(state_.formRect);
        return;
    }
    // A level between two rings shows a square between their diameters; a level whose ring is
    // absent moves on to the next ring in.
    for (;;) {
        const int32_t n = int32_t(state_.zoom);
        float d = ringOf(params, n);
        if (d > 0) {
            const float d2 = n < 10 ? ringOf(params, n + 1) : 0;
            if (d2 > 0 && d2 < d)
                d = d - (state_.zoom - float(n)) * (d - d2);
            setSquareView(d);
            return;
        }
        if (n >= 10)
            return;
        state_.zoom = float(n + 1);
    }
}

float CTarget::smallestExtent() const
{
    float width = 0, height = 0;
    ITargetParams* params = state_.targetParams.get();
    params->get_FormWidth(&width);
    params->get_FormHeight(&height);
    float m = std::min(width, height) / 10;
    for (int32_t i = 1; i <= 9; ++i) {
        const float ring = ringOf(params, i);
        // An absent ring (0) is no measure of the target.
        if (ring > 0 && ring < m)
            m = ring;
    }
    return m;
}

HRESULT CTarget::ZoomTo(float left, float top, float width, float height)
{
    if (!state_.event || !state_.targetParams)
        return S_OK;
    const float m = smallestExtent();
    if (!(width >= m && height >= m) || !(width > 0 && height > 0))
        return E_INVALIDARG;
    int32_t l = 0, t = 0, w = 0, h = 0;
    if (!toHundredths(left, &l) || !toHundredths(top, &t) || !toHundredths(width, &w) || !toHundredths(height, &h))
        return E_INVALIDARG;
    setVisible({l, t, clampCoordinate(int64_t(l) + w), clampCoordinate(int64_t(t) + h)});
    return S_OK;
}

HRESULT CTarget::ZoomToFit(VARIANT_BOOL vbSquare)
{
    if (!state_.event || !state_.targetParams)
        return S_OK;
    float x = 0, y = 0;
    auto raise = [](float& to, float v) {
        if (std::isfinite(v))
            to = std::max(to, std::fabs(v));
    };
    for (const AimingEntry& entry : state_.aimings) {
        if (state_.displayTrace) {
            ComPtr<IRange> range;
            float l = 0, t = 0, r = 0, b = 0;
            if (SUCCEEDED(entry.aiming->Range(0, 0, range.put())) && range
                && SUCCEEDED(range->GetBounds(&l, &t, &r, &b))) {
                raise(x, l);
                raise(x, r);
                raise(y, t);
                raise(y, b);
            }
        }
        int32_t count = 0;
        entry.aiming->get_ShotCount(&count);
        for (int32_t i = 1; i <= count; ++i) {
            ComPtr<IShot> shot;
            float bx = 0, by = 0;
            if (SUCCEEDED(entry.aiming->Shot(i, shot.put())) && shot && SUCCEEDED(shot->Breach(&bx, &by))) {
                raise(x, bx);
                raise(y, by);
            }
        }
    }
    const float c = displayCalibre(state_.event.get()) * 0.5f;
    float halfWidth = x + c;
    float halfHeight = y + c;
    // The smallest ring that holds everything; without one the extent itself.
    bool widthFound = false, heightFound = false;
    for (int32_t n = 9; n >= 1; --n) {
        const float r = ringOf(state_.targetParams.get(), n) / 2;
        if (r <= 0)
            continue;
        if (!widthFound && x + c <= r) {
            halfWidth = r;
            widthFound = true;
        }
        if (!heightFound && y + c <= r) {
            halfHeight = r;
            heightFound = true;
        }
    }
    if (vbSquare == VARIANT_TRUE)
        halfWidth = halfHeight = std::max(halfWidth, halfHeight);
    ZoomTo(-halfWidth, -halfHeight, 2 * halfWidth, 2 * halfHeight);
    return S_OK;
}

} // namespace kavro::target
