#include "target_pictures.h"

#include "com/classregistry.h"
#include "doc_helpers.h"
#include "kavro_doc.h"
#include "kavrogui.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <memory>

namespace kavro::print {

namespace {

// The width of the hidden control's window for the pictures of shots: their breaches and lines
// keep the sizes they have on screen.
constexpr int kControlWidth = 500;
// A paper target must be true to size, but the control draws the face a pixel or two inside the
// form: its window gets several pixels for every device unit the target prints on, so those
// pixels vanish below the printer's dot.
constexpr int64_t kControlPixelsPerDot = 8;
constexpr int64_t kMaxControlWidth = int64_t(1) << 22;

struct HiddenTarget {
    ComPtr<ITarget> target;
    std::unique_ptr<QWidget> window;
};

bool formSize(IEventParams* event, int subTarget, float* w, float* h)
{
    ComPtr<ITargetParams> t;
    if (!event || FAILED(event->get_Target(subTarget < 1 ? 1 : subTarget, t.put())) || !t)
        return false;
    t->get_FormWidth(w);
    t->get_FormHeight(h);
    return *w > 0 && *h > 0;
}

bool makeHiddenTarget(IEventParams* event, int subTarget, HiddenTarget* out, int controlWidth = kControlWidth)
{
    float w = 0, h = 0;
    if (!formSize(event, subTarget, &w, &h))
        return false;
    ComPtr<ITargetWindow> window;
    QWidget* widget = nullptr;
    if (FAILED(createInstance(kavrogui::CLSID_Target, &out->target)) || !out->target
        || FAILED(out->target->QueryInterface(ITargetWindow::iid, window.putVoid()))
        || FAILED(window->CreateWidget(nullptr, &widget)) || !widget)
        return false;
    out->window.reset(widget);
    widget->resize(controlWidth, std::max(1, int(std::lround(double(controlWidth) * h / w))));
    return true;
}

// The largest part of the rectangle, from its top left corner, with the picture's proportions.
GdiRect fittedTo(IPicture* picture, const GdiRect& rect)
{
    int32_t w = 0, h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    if (w <= 0 || h <= 0 || rect.isEmpty())
        return rect;
    GdiRect r = rect;
    if (rect.width() * h > rect.height() * w)
        r.right = clampCoordinate(rect.left + rect.height() * w / h);
    else
        r.bottom = clampCoordinate(rect.top + rect.width() * h / w);
    return r;
}

bool takePicture(ITarget* target, PrintoutPage& page, const GdiRect& rect, const GdiRect& clip, bool keepProportions)
{
    ComPtr<IUnknown> image;
    ComPtr<IPicture> picture;
    if (FAILED(target->GetImage(VARIANT_TRUE, image.put())) || !image
        || FAILED(image->QueryInterface(IPicture::iid, picture.putVoid())) || !picture)
        return false;
    auto* cell = page.add<CPrintoutPictureCell>();
    cell->rect = keepProportions ? fittedTo(picture.get(), rect) : rect;
    cell->clip = clip;
    cell->picture = picture;
    return true;
}

} // namespace

bool CreateTargetPictureCell(IEventParams* event, PrintoutPage& page, const GdiRect& target, const GdiRect& clip,
                             int subTarget, bool scoreRings)
{
    HiddenTarget t;
    const int64_t width = std::clamp(target.width() * kControlPixelsPerDot, int64_t(kControlWidth), kMaxControlWidth);
    if (!makeHiddenTarget(event, subTarget, &t, int(width)))
        return false;
    ITarget* c = t.target.get();
    c->put_EnableUpdate(VARIANT_FALSE);
    c->put_Event(event);
    c->put_DefaultBackground(VARIANT_FALSE);
    c->put_DisplayTrace(VARIANT_FALSE);
    c->put_SubTarget(subTarget);
    c->put_EnableUpdate(VARIANT_TRUE);
    c->put_DisplayScoreRings(toVariantBool(scoreRings));
    // The rectangle already has the target's proportions at the size it must print.
    return takePicture(c, page, target, clip, false);
}

std::vector<ComPtr<IAiming>> aimingsOfShots(CKavroDoc& doc, IShotCollection* shots)
{
    std::vector<ComPtr<IAiming>> out;
    for (int i = 1, n = countOf(shots); i <= n; ++i) {
        ComPtr<IAiming> a;
        ComPtr<IShot> s = shotAt(shots, i);
        if (s && (doc.FindAiming(s.get(), &a) || doc.FindModelAiming(s.get(), &a))
            && std::find(out.begin(), out.end(), a) == out.end())
            out.push_back(a);
    }
    return out;
}

bool AddShotsPictureCell(IEventParams* event, PrintoutPage& page, const ShotsPicture& shots, const GdiRect& rect)
{
    if (shots.aimings.empty())
        return true;
    HiddenTarget t;
    if (!makeHiddenTarget(event, shots.subTarget, &t))
        return false;
    ITarget* c = t.target.get();
    c->put_EnableUpdate(VARIANT_FALSE);
    c->put_Event(event);
    c->put_DefaultBackground(VARIANT_TRUE);
    c->put_DisplayTrace(toVariantBool(shots.displayTrace));
    c->put_Match(toVariantBool(shots.match));
    c->put_SubTarget(shots.subTarget);
    if (shots.displayTrace) {
        c->put_TraceColor(0xFFFFFF);
        c->put_TraceAfterShotColor(0xFFFFFF);
    }
    for (const ComPtr<IAiming>& a : shots.aimings)
        c->Add(a.get());
    if (shots.zoomX != 0 && shots.zoomY != 0)
        c->ZoomTo(-shots.zoomX, -shots.zoomY, 2 * shots.zoomX, 2 * shots.zoomY);
    c->put_EnableUpdate(VARIANT_TRUE);
    return takePicture(c, page, rect, {}, true);
}

double formAspect(IEventParams* event, int subTarget)
{
    float w = 0, h = 0;
    return formSize(event, subTarget, &w, &h) ? double(h) / w : 1.0;
}

QSizeF GetShotsZoom(IEventParams* event, IShotCollection* shots, bool twoTargets)
{
    float w = 0, h = 0;
    if (twoTargets)
        return formSize(event, 1, &w, &h) ? QSizeF(w / 2, h / 2) : QSizeF();
    float caliber = 0;
    if (event) {
        event->get_DisplayCaliber(&caliber);
        if (caliber == 0)
            event->get_Caliber(&caliber);
    }
    float ex = 0, ey = 0;
    for (int i = 1, n = countOf(shots); i <= n; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        float x = 0, y = 0;
        s->get_BreachX(&x);
        s->get_BreachY(&y);
        ex = std::max(ex, std::fabs(x) + caliber / 2);
        ey = std::max(ey, std::fabs(y) + caliber / 2);
    }
    ComPtr<ITargetParams> target;
    auto ringFor = [&](float extent) {
        if (target)
            for (int ring = 9; ring >= 1; --ring) {
                float d = 0;
                target->get_Ring(ring, &d);
                if (d / 2 >= extent)
                    return d / 2;
            }
        return extent;
    };
    if (event)
        event->get_Target(1, target.put());
    const float half = std::max(ringFor(ex), ringFor(ey));
    return QSizeF(half, half);
}

} // namespace kavro::print
