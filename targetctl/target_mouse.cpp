// Selection, shot correction and what the mouse does on the target: select, drag a breach,
// zoom with a band or a double click, pan.
#include "target.h"

#include "hit_test.h"
#include "plane_math.h"
#include "target_widget.h"

#include <cmath>

namespace kavro::target {

namespace {

bool isSame(IUnknown* a, IUnknown* b)
{
    if (!a || !b)
        return a == b;
    return sameObject(a, b);
}

} // namespace

std::optional<size_t> CTarget::findShot(IShot* shot) const
{
    if (!shot)
        return std::nullopt;
    for (size_t i = 0; i < state_.aimings.size(); ++i) {
        IAiming* aiming = state_.aimings[i].aiming.get();
        int32_t count = 0;
        aiming->get_ShotCount(&count);
        for (int32_t n = 1; n <= count; ++n) {
            ComPtr<IShot> candidate;
            if (SUCCEEDED(aiming->Shot(n, candidate.put())) && candidate && isSame(candidate.get(), shot))
                return i;
        }
    }
    return std::nullopt;
}

void CTarget::selectShot(IShot* shot)
{
    const std::optional<size_t> found = findShot(shot);
    if (found) {
        ComPtr<IAiming> aiming = state_.aimings[*found].aiming;
        if (isSame(state_.selectedAiming.get(), aiming.get()) && isSame(state_.selectedShot.get(), shot))
            return;
        state_.selectedAiming = aiming;
        state_.selectedShot = shot;
        // The selected aiming is drawn on top.
        if (*found + 1 < state_.aimings.size())
            std::swap(state_.aimings[*found], state_.aimings.back());
    } else {
        if (!state_.selectedAiming && !state_.selectedShot)
            return;
        state_.selectedAiming = nullptr;
        state_.selectedShot = nullptr;
    }
    requestRedraw();
}

HRESULT CTarget::put_SelectedShot(IShot* value)
{
    selectShot(value);
    return S_OK;
}

HRESULT CTarget::SetShotCorrection(IShot* shot, float dx, float dy)
{
    if (!state_.dragable)
        return S_OK;
    if (!shot)
        return E_INVALIDARG;
    const std::optional<size_t> found = findShot(shot);
    if (!found)
        return S_OK;
    float bx = 0, by = 0;
    if (FAILED(shot->Breach(&bx, &by)))
        return E_FAIL;
    GdiPoint grab, current;
    if (!toHundredths(bx, &grab.x) || !toHundredths(by, &grab.y) || !toHundredths(bx + dx, &current.x)
        || !toHundredths(by + dy, &current.y))
        return E_INVALIDARG;
    ComPtr<IAiming> aiming = state_.aimings[*found].aiming;
    ComPtr<IShot> keep(shot);
    endMouseAction(true);
    MouseState& m = state_.mouse;
    m.dragAiming = aiming;
    m.dragShot = keep;
    m.grab = grab;
    m.current = current;
    requestRedraw();
    return S_OK;
}

void CTarget::endMouseAction(bool aborted)
{
    MouseState& m = state_.mouse;
    if (m.dragging) {
        // Flags are cleared before the sinks hear of it: they may call back into the control.
        m.dragging = false;
        ComPtr<IAiming> aiming = m.dragAiming;
        ComPtr<IShot> shot = m.dragShot;
        const GdiPoint at = m.current;
        requestRedraw(); // the feedback goes
        if (aborted)
            fire([&](_ITargetEvents* s) { s->DragAborted(aiming.get(), shot.get()); });
        else
            fire([&](_ITargetEvents* s) { s->EndDrag(aiming.get(), shot.get(), at.x / 100.0f, at.y / 100.0f); });
    }
    if (m.band)
        endBand(aborted);
    m.panning = false;
}

void CTarget::endBand(bool aborted)
{
    MouseState& m = state_.mouse;
    m.band = false;
    bool changed = false;
    // A band cut short by a member of the control zooms nowhere.
    if (!aborted && state_.targetParams) {
        const GdiRect band = GdiRect{m.grab.x, m.grab.y, m.current.x, m.current.y}.normalized();
        const double least = 100.0 * double(smallestExtent());
        if (band.width() > 0 && band.height() > 0 && double(band.width()) >= least && double(band.height()) >= least
            && band != state_.visibleRect) {
            state_.visibleRect = band;
            changed = true;
        }
    }
    if (changed || m.bandDrawn)
        requestRedraw();
    if (changed)
        fire([](_ITargetEvents* s) { s->ZoomChanged(); });
}

bool CTarget::insideWindow(GdiPoint pixel) const
{
    const GdiRect b = windowBounds();
    return pixel.x >= 0 && pixel.y >= 0 && pixel.x <= b.width() && pixel.y <= b.height();
}

std::optional<MouseCursor> CTarget::mouseInput(MouseAction action, GdiPoint pixel, bool ctrl)
{
    if (!state_.event || !state_.targetParams)
        return std::nullopt;
    ComPtr<CTarget> keepAlive(this); // a sink may let go of the control while it is told
    const GdiPoint p = windowGeometry().toPlane(pixel.x, pixel.y);
    const std::optional<Hit> hit = hitTest(state_, p);
    const Hit* h = hit ? &*hit : nullptr;
    const float x = p.x / 100.0f, y = p.y / 100.0f;
    MouseState& m = state_.mouse;

    switch (action) {
    case MouseAction::Move: return mouseMove(pixel, p, h != nullptr);
    case MouseAction::LeftDown: {
        const MouseCursor cursor = !h ? MouseCursor::Arrow
            : state_.dragable         ? MouseCursor::Grabbing
                                      : MouseCursor::OverBreach;
        mouseLeftDown(p, ctrl, h);
        return cursor;
    }
    case MouseAction::LeftUp:
        if (m.dragging) {
            if (insideWindow(pixel)) {
                m.current
                    = {clampCoordinate(int64_t(p.x) - m.grabOffset.x), clampCoordinate(int64_t(p.y) - m.grabOffset.y)};
                endMouseAction(false);
            } else {
                endMouseAction(true);
            }
        } else if (m.band) {
            m.current = p;
            endMouseAction(false);
        } else if (m.panning) {
            endMouseAction(false);
        }
        return h ? MouseCursor::OverBreach : MouseCursor::Arrow;
    case MouseAction::LeftDouble: mouseDoubleClick(p, h); return std::nullopt;
    case MouseAction::RightDown: clickSelecting(p, h, &_ITargetEvents::RightClick); return std::nullopt;
    case MouseAction::MiddleDown: fire([&](_ITargetEvents* s) { s->MiddleClick(x, y); }); return std::nullopt;
    }
    return std::nullopt;
}

// A click that selects what it hits: only the click when selecting is off or the hit is already
// selected (nothing hit and nothing selected included); otherwise the selection changes first
// and SelectionChanged follows the click. Right clicks too respect Selectable, so that they do
// not undo a selection the host made while the user may not select.
void CTarget::clickSelecting(GdiPoint p, const Hit* hit, HRESULT (_ITargetEvents::*click)(float, float))
{
    const float x = p.x / 100.0f, y = p.y / 100.0f;
    IShot* hitShot = hit ? hit->shot.get() : nullptr;
    if (!state_.selectable || isSame(hitShot, state_.selectedShot.get())) {
        fire([&](_ITargetEvents* s) { (s->*click)(x, y); });
        return;
    }
    ComPtr<IShot> keep(hitShot);
    selectShot(keep.get());
    fire([&](_ITargetEvents* s) { (s->*click)(x, y); });
    fire([](_ITargetEvents* s) { s->SelectionChanged(); });
}

void CTarget::mouseLeftDown(GdiPoint p, bool ctrl, const Hit* hit)
{
    MouseState& m = state_.mouse;
    if (m.dragging || m.band || m.panning)
        endMouseAction(true); // a press without the release of the last one
    if (ctrl) {
        m.panning = true;
        m.grabOffset = {};
        m.grab = m.current = p;
        return;
    }
    clickSelecting(p, hit, &_ITargetEvents::LeftClick);
    // The sinks may have changed the control: what was hit may be gone.
    if (state_.dragable && hit && findShot(hit->shot.get())) {
        const bool again = isSame(hit->aiming.get(), m.dragAiming.get()) && isSame(hit->shot.get(), m.dragShot.get());
        m.grabOffset = {-hit->offset.x, -hit->offset.y};
        const GdiPoint breach{clampCoordinate(int64_t(p.x) + hit->offset.x),
                              clampCoordinate(int64_t(p.y) + hit->offset.y)};
        if (again) {
            float bx = 0, by = 0;
            hit->shot->Breach(&bx, &by);
            if (!toHundredths(bx, &m.grab.x) || !toHundredths(by, &m.grab.y))
                m.grab = breach;
            m.current = breach;
        } else {
            m.grab = m.current = breach;
            m.dragAiming = hit->aiming;
            m.dragShot = hit->shot;
        }
        m.dragging = true;
        ComPtr<IAiming> aiming = m.dragAiming;
        ComPtr<IShot> shot = m.dragShot;
        const GdiPoint at = m.current;
        requestRedraw();
        fire([&](_ITargetEvents* s) { s->StartDrag(aiming.get(), shot.get(), at.x / 100.0f, at.y / 100.0f); });
        return;
    }
    m.band = true;
    m.grabOffset = {};
    m.grab = m.current = p;
}

MouseCursor CTarget::mouseMove(GdiPoint pixel, GdiPoint p, bool overBreach)
{
    MouseState& m = state_.mouse;
    if (m.dragging) {
        if (insideWindow(pixel)) {
            m.current
                = {clampCoordinate(int64_t(p.x) - m.grabOffset.x), clampCoordinate(int64_t(p.y) - m.grabOffset.y)};
            ComPtr<IAiming> aiming = m.dragAiming;
            ComPtr<IShot> shot = m.dragShot;
            const GdiPoint at = m.current;
            requestRedraw();
            fire([&](_ITargetEvents* s) { s->Drag(aiming.get(), shot.get(), at.x / 100.0f, at.y / 100.0f); });
        }
        return MouseCursor::Grabbing;
    }
    if (m.band) {
        m.current = p;
        requestRedraw();
        return MouseCursor::Cross;
    }
    if (m.panning) {
        pan(pixel, p);
        return MouseCursor::Grabbing;
    }
    return overBreach ? MouseCursor::OverBreach : MouseCursor::Arrow;
}

void CTarget::pan(GdiPoint pixel, GdiPoint p)
{
    MouseState& m = state_.mouse;
    const GdiRect& form = state_.formRect;
    GdiRect view = state_.visibleRect;
    // The view moves with the grabbed spot but never beyond the form, and not at all along an
    // axis on which the form is smaller than the view.
    auto shift = [](int64_t grab, int64_t at, int64_t formLo, int64_t formHi, int64_t viewLo, int64_t viewHi) {
        if (formHi - formLo < viewHi - viewLo)
            return int64_t(0);
        int64_t s = grab - at;
        if (formHi < viewHi + s)
            s = formHi - viewHi;
        if (viewLo + s < formLo)
            s = formLo - viewLo;
        return s;
    };
    const int64_t sx = shift(m.grab.x, p.x, form.left, form.right, view.left, view.right);
    const int64_t sy = shift(m.grab.y, p.y, form.top, form.bottom, view.top, view.bottom);
    if (sx == 0 && sy == 0)
        return;
    view = {clampCoordinate(view.left + sx), clampCoordinate(view.top + sy), clampCoordinate(view.right + sx),
            clampCoordinate(view.bottom + sy)};
    setVisible(view);
    m.grab = windowGeometry().toPlane(pixel.x, pixel.y);
}

void CTarget::mouseDoubleClick(GdiPoint p, const Hit* hit)
{
    clickSelecting(p, hit, &_ITargetEvents::DblClick);
    if (hit)
        return;
    float width = 0, height = 0;
    state_.targetParams->get_FormWidth(&width);
    state_.targetParams->get_FormHeight(&height);
    const float x = p.x / 100.0f, y = p.y / 100.0f;
    const float r = std::min(std::sqrt(x * x + y * y), std::max(width, height) / 2);
    // A view too small to show is refused, and then nothing zoomed.
    if (ZoomTo(-r, -r, 2 * r, 2 * r) == S_OK)
        fire([](_ITargetEvents* s) { s->ZoomChanged(); });
}

} // namespace kavro::target
