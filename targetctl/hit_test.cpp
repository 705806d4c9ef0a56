#include "hit_test.h"

#include "plane_math.h"

namespace kavro::target {

namespace {

bool isMissed(IShot* shot)
{
    VARIANT_BOOL missed = VARIANT_FALSE;
    return SUCCEEDED(shot->get_Missed(&missed)) && missed != VARIANT_FALSE;
}

// The breach at (bx, by) mm hit from p (0.01 mm) within the radius whose square is r2 (mm²).
std::optional<GdiPoint> within(float bx, float by, GdiPoint p, float r2)
{
    const float dx = bx - float(p.x) / 100.0f;
    const float dy = by - float(p.y) / 100.0f;
    if (!(dx * dx + dy * dy <= r2))
        return std::nullopt;
    return GdiPoint{roundedProduct(100.0f, dx), roundedProduct(100.0f, dy)};
}

} // namespace

std::optional<Hit> hitTest(const TargetState& state, GdiPoint p)
{
    if (!state.selectable)
        return std::nullopt;
    const float calibre = displayCalibre(state.event.get());
    const float r2 = calibre * calibre * 0.25f;
    float bx = 0, by = 0;

    const MouseState& m = state.mouse;
    if (m.dragAiming && m.dragShot) {
        if (isMissed(m.dragShot.get()) || FAILED(m.dragShot->Breach(&bx, &by)))
            return std::nullopt;
        bx += float(int64_t(m.current.x) - m.grab.x) / 100.0f;
        by += float(int64_t(m.current.y) - m.grab.y) / 100.0f;
        if (auto offset = within(bx, by, p, r2))
            return Hit{m.dragAiming, m.dragShot, *offset};
        return std::nullopt;
    }

    for (auto entry = state.aimings.rbegin(); entry != state.aimings.rend(); ++entry) {
        int32_t count = 0;
        entry->aiming->get_ShotCount(&count);
        for (int32_t i = count; i >= 1; --i) {
            ComPtr<IShot> shot;
            if (FAILED(entry->aiming->Shot(i, shot.put())) || !shot || isMissed(shot.get())
                || FAILED(shot->Breach(&bx, &by)))
                continue;
            if (auto offset = within(bx, by, p, r2))
                return Hit{entry->aiming, shot, *offset};
        }
    }
    return std::nullopt;
}

} // namespace kavro::target
