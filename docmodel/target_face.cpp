#include "target_face.h"

#include "gdi/metafile_recorder.h"
#include "com/numeric.h"
#include "com/olecolor.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavrodoc {

using kavro::GdiBrush;
using kavro::GdiCanvas;
using kavro::GdiFont;
using kavro::GdiPen;
using kavro::GdiPoint;
using kavro::GdiRect;

namespace {

// Everything the face is drawn from, read once so that drawing takes no target lock.
struct FaceParams {
    float formWidth = 0, formHeight = 0;
    std::array<float, 10> rings{}; // Ring(1) first
    float innerTen = 0, ringThickness = 0, black = 0, textHeight = 0;
    int32_t lastNumberedRing = 0, textOrientation = 0;
    enumTargetFillCenter fillCenter = NoFill;
    COLORREF backgroundColor = 0, blackColor = 0, ringColor = 0, innerRingColor = 0;
    ComPtr<kavro::IPicture> picture;
    std::vector<ComPtr<ITargetElement>> elements;
};

COLORREF colorOf(OLE_COLOR color)
{
    return kavro::colorOrDefault(color, 0);
}

ComPtr<kavro::IPicture> pictureOf(HRESULT hr, const ComPtr<IUnknown>& unknown)
{
    if (FAILED(hr) || !unknown)
        return {};
    return unknown.query<kavro::IPicture>();
}

FaceParams readFace(ITargetParams* t)
{
    FaceParams f;
    OLE_COLOR background = 0, black = 0, ring = 0, innerRing = 0;
    t->get_FormWidth(&f.formWidth);
    t->get_FormHeight(&f.formHeight);
    for (int32_t n = 1; n <= 10; ++n)
        t->get_Ring(n, &f.rings[static_cast<size_t>(n) - 1]);
    t->get_InnerTen(&f.innerTen);
    t->get_RingThickness(&f.ringThickness);
    t->get_Black(&f.black);
    t->get_TextHeight(&f.textHeight);
    t->get_LastNumberedRing(&f.lastNumberedRing);
    t->get_TextOrientation(&f.textOrientation);
    t->get_FillCenter(&f.fillCenter);
    t->get_BackgroundColor(&background);
    t->get_BlackColor(&black);
    t->get_RingColor(&ring);
    t->get_InnerRingColor(&innerRing);
    f.backgroundColor = colorOf(background);
    f.blackColor = colorOf(black);
    f.ringColor = colorOf(ring);
    f.innerRingColor = colorOf(innerRing);
    ComPtr<IUnknown> picture;
    f.picture = pictureOf(t->get_Picture(picture.put()), picture);
    int32_t count = 0;
    t->get_ElementCount(&count);
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<ITargetElement> e;
        if (SUCCEEDED(t->Elements(i, e.put())) && e)
            f.elements.push_back(e);
    }
    return f;
}

// Millimetres to metafile units: round(L * s), halves to even.
class Units {
public:
    explicit Units(int32_t s) : s_(s) { }
    int32_t operator()(double mm) const { return kavro::roundSaturated(mm * s_); }
    // The square a circle of diameter D around the centre is drawn in.
    GdiRect circle(float diameter) const
    {
        int32_t l = (*this)(-double(diameter) / 2);
        int32_t d = (*this)(diameter);
        return {l, l, kavro::clampCoordinate(int64_t(l) + d), kavro::clampCoordinate(int64_t(l) + d)};
    }
    GdiRect form(float width, float height) const
    {
        return {(*this)(-double(width) / 2), (*this)(-double(height) / 2), (*this)(double(width) / 2),
                (*this)(double(height) / 2)};
    }

private:
    int32_t s_;
};

constexpr uint32_t kCentredText = kavro::DT_SINGLELINE | kavro::DT_CENTER | kavro::DT_VCENTER | kavro::DT_NOCLIP;

GdiFont timesFont(const Units& u, float textHeight, const QString& face = QStringLiteral("Times"))
{
    // Negative: the character height, as the ring numbers are measured on a real target.
    return GdiFont{-u(textHeight), 400, face};
}

bool isSet(VARIANT_BOOL b)
{
    return b != VARIANT_FALSE;
}

std::vector<GdiPoint> elementPoints(ITargetElement* e, const Units& u)
{
    int32_t count = 0;
    e->get_PointCount(&count);
    std::vector<GdiPoint> points;
    points.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int32_t i = 1; i <= count; ++i) {
        float x = 0, y = 0;
        e->get_x(i, &x);
        e->get_y(i, &y);
        points.push_back({u(x), u(y)});
    }
    return points;
}

void drawElementText(ITargetElement* e, const GdiRect& box, COLORREF color, const FaceParams& f, const Units& u,
                     GdiCanvas* c)
{
    Variant text, face;
    if (FAILED(e->get_Value(QStringLiteral("text"), &text)) || text.vt() != VT_BSTR)
        return;
    e->get_Value(QStringLiteral("font"), &face);
    c->selectFont(face.vt() == VT_BSTR ? timesFont(u, f.textHeight, face.bstr()) : timesFont(u, f.textHeight));
    c->setTextColor(color);
    c->setBkMode(kavro::BkMode::Transparent);
    GdiRect r = box;
    c->drawText(text.bstr(), &r, kCentredText);
}

void drawElement(ITargetElement* e, const FaceParams& f, const Units& u, GdiCanvas* c)
{
    enumTargetElementType type = elementRectangle;
    float left = 0, top = 0, width = 0, height = 0, borderWidth = 0;
    VARIANT_BOOL fill = VARIANT_FALSE;
    OLE_COLOR border = 0, body = 0;
    e->get_Type(&type);
    e->get_Left(&left);
    e->get_Top(&top);
    e->get_Width(&width);
    e->get_Height(&height);
    e->get_BorderWidth(&borderWidth);
    e->get_Fill(&fill);
    e->get_BorderColor(&border);
    e->get_BodyColor(&body);

    const GdiRect box{u(left), u(top), u(left + width), u(top + height)};
    c->selectPen(GdiPen::inside(u(borderWidth), colorOf(border)));
    c->selectBrush(isSet(fill) ? GdiBrush::solid(colorOf(body)) : GdiBrush::null());
    switch (type) {
    case elementPolyline:
    case elementPolygon: {
        std::vector<GdiPoint> points = elementPoints(e, u);
        if (points.size() < 2)
            return;
        if (type == elementPolyline)
            c->polyline(points);
        else
            c->polygon(points, kavro::FillMode::Alternate);
        return;
    }
    case elementEllipse: c->ellipse(box); return;
    case elementRectangle: c->rectangle(box); return;
    case elementPicture: {
        ComPtr<IUnknown> picture;
        if (ComPtr<kavro::IPicture> p = pictureOf(e->get_Picture(picture.put()), picture))
            c->drawPicture(p.get(), box);
        return;
    }
    case elementText: drawElementText(e, box, colorOf(body), f, u, c); return;
    }
}

struct ElementFlags {
    bool visible = false, clip = false, beforeRings = false;
};

ElementFlags flagsOf(ITargetElement* e)
{
    VARIANT_BOOL visible = VARIANT_FALSE, clip = VARIANT_FALSE, before = VARIANT_FALSE;
    e->get_Visible(&visible);
    e->get_Clip(&clip);
    e->get_DrawBeforeRings(&before);
    return {isSet(visible), isSet(clip), isSet(before)};
}

void drawBackground(const FaceParams& f, const GdiRect& form, bool background, GdiCanvas* c)
{
    if (background) {
        c->fillRect(form, f.backgroundColor);
        return;
    }
    // Two white dots at opposite corners keep the picture's extent at the form without painting it.
    c->selectPen(GdiPen::solid(0, 0xFFFFFF));
    c->setPixel({form.left, form.top}, 0xFFFFFF);
    c->setPixel({form.right - 1, form.bottom - 1}, 0xFFFFFF);
}

void clipToElements(const FaceParams& f, const GdiRect& form, const Units& u, GdiCanvas* c)
{
    bool first = true;
    for (const auto& e : f.elements) {
        ElementFlags flags = flagsOf(e.get());
        if (!flags.visible || !flags.clip)
            continue;
        c->beginPath();
        drawElement(e.get(), f, u, c);
        c->endPath();
        c->selectClipPath(first ? kavro::ClipMode::Copy : kavro::ClipMode::Or);
        first = false;
    }
    if (first) {
        c->beginPath();
        c->rectangle(form);
        c->endPath();
        c->selectClipPath(kavro::ClipMode::Copy);
    }
}

void drawElements(const FaceParams& f, bool beforeRings, const Units& u, GdiCanvas* c)
{
    for (const auto& e : f.elements) {
        ElementFlags flags = flagsOf(e.get());
        if (flags.visible && !flags.clip && flags.beforeRings == beforeRings)
            drawElement(e.get(), f, u, c);
    }
}

// The picture keeps its aspect ratio, centred in the form. A picture without a size or a form
// without a height has no ratio and is left out.
void drawFacePicture(const FaceParams& f, const GdiRect& form, GdiCanvas* c)
{
    int32_t w = 0, h = 0;
    f.picture->get_Width(&w);
    f.picture->get_Height(&h);
    const int64_t formWidth = form.width(), formHeight = form.height();
    if (w <= 0 || h <= 0 || formHeight <= 0)
        return;
    const int64_t ratio = int64_t(w) * 1000 / h;
    GdiRect box = form;
    if (formWidth * 1000 / formHeight < ratio) {
        const int64_t trim = (formHeight - formWidth * 1000 / ratio + 1) / 2;
        box.top = kavro::clampCoordinate(box.top + trim);
        box.bottom = kavro::clampCoordinate(box.bottom - trim);
    } else {
        const int64_t trim = (formWidth - formHeight * ratio / 1000 + 1) / 2;
        box.left = kavro::clampCoordinate(box.left + trim);
        box.right = kavro::clampCoordinate(box.right - trim);
    }
    c->drawPicture(f.picture.get(), box);
}

void drawBlack(const FaceParams& f, const Units& u, GdiCanvas* c)
{
    if (!(f.black > 0))
        return;
    c->selectPen(GdiPen::null());
    c->selectBrush(GdiBrush::solid(f.blackColor));
    c->ellipse(u.circle(f.black));
}

void drawRings(const FaceParams& f, const Units& u, GdiCanvas* c)
{
    for (int n = 10; n >= 1; --n) {
        const float diameter = f.rings[static_cast<size_t>(n) - 1];
        if (!(diameter > 0))
            continue;
        // A line on the black's edge would only blur it.
        if (!(std::fabs(f.black - diameter) > f.ringThickness))
            continue;
        const COLORREF color = f.black < diameter ? f.ringColor : f.innerRingColor;
        c->selectPen(GdiPen::inside(u(f.ringThickness), color));
        c->selectBrush(n == 10 && f.fillCenter == FillCenter ? GdiBrush::solid(color) : GdiBrush::null());
        c->ellipse(u.circle(diameter));
    }
}

void drawInnerTen(const FaceParams& f, const Units& u, GdiCanvas* c)
{
    if (f.innerTen == 0)
        return;
    c->selectPen(GdiPen::solid(0, f.innerRingColor));
    c->selectBrush(f.fillCenter == FillInnerTen ? GdiBrush::solid(f.innerRingColor) : GdiBrush::null());
    c->ellipse(u.circle(f.innerTen));
}

struct Direction {
    double x, y;
};
constexpr Direction kAcross[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr Direction kDiagonal[4] = {{0.7071, 0.7071}, {-0.7071, 0.7071}, {-0.7071, -0.7071}, {0.7071, -0.7071}};

// Each number sits between its ring and the next one inside, on four spokes.
void drawRingNumbers(const FaceParams& f, const Units& u, GdiCanvas* c)
{
    c->selectFont(timesFont(u, f.textHeight));
    c->setBkMode(kavro::BkMode::Transparent);
    const Direction* spokes = f.textOrientation == 1 ? kDiagonal : kAcross;
    // Ring 10 has no ring inside it and is never numbered.
    const int last = std::min(f.lastNumberedRing, 9);
    for (int n = 1; n <= last; ++n) {
        const float outer = f.rings[static_cast<size_t>(n) - 1];
        const float inner = f.rings[static_cast<size_t>(n)];
        if (!(outer > 0 && inner > 0 && outer > inner))
            continue;
        c->setTextColor(f.black >= outer ? f.innerRingColor : f.ringColor);
        const double a = double(inner) / 2, b = double(outer) / 2;
        const QString text = QString::number(n);
        for (int i = 0; i < 4; ++i) {
            const Direction d = spokes[i];
            GdiRect r{u(d.x * a), u(d.y * a), u(d.x * b), u(d.y * b)};
            c->drawText(text, &r, kCentredText);
        }
    }
}

} // namespace

int32_t faceScale(float formWidth, float formHeight)
{
    if (formWidth > 500 || formHeight > 500)
        return 1;
    if (formWidth > 200 || formHeight > 200)
        return 10;
    if (formWidth > 150 || formHeight > 150)
        return 50;
    return 100;
}

void drawTargetFace(ITargetParams* target, bool background, bool scoreRings, GdiCanvas* canvas)
{
    if (!target || !canvas)
        return;
    const FaceParams f = readFace(target);
    const Units u(faceScale(f.formWidth, f.formHeight));
    const GdiRect form = u.form(f.formWidth, f.formHeight);

    drawBackground(f, form, background, canvas);
    clipToElements(f, form, u, canvas);
    drawElements(f, true, u, canvas);
    if (f.picture)
        drawFacePicture(f, form, canvas);
    drawBlack(f, u, canvas);
    if (scoreRings) {
        drawRings(f, u, canvas);
        drawInnerTen(f, u, canvas);
        drawRingNumbers(f, u, canvas);
    }
    drawElements(f, false, u, canvas);
}

HRESULT buildTargetFace(ITargetParams* target, bool background, bool scoreRings, ComPtr<kavro::Picture>* out)
{
    if (!target || !out)
        return E_POINTER;
    float formWidth = 0, formHeight = 0;
    target->get_FormWidth(&formWidth);
    target->get_FormHeight(&formHeight);
    const int32_t s = faceScale(formWidth, formHeight);
    kavro::MetafileRecorder recorder(100.0 / s);
    // The frame is the form: elements reaching beyond it must not shrink the face when it is
    // fitted to the form.
    recorder.setFrame(Units(s).form(formWidth, formHeight));
    drawTargetFace(target, background, scoreRings, &recorder);
    *out = kavro::Picture::fromMetafile(recorder.finish());
    return *out ? S_OK : E_OUTOFMEMORY;
}

ComPtr<kavro::Picture> TargetFaceCache::find(int32_t subTarget, bool background, bool scoreRings) const
{
    const Slot& slot = slots_[slotOf(background, scoreRings)];
    return slot.picture && slot.subTarget == subTarget ? slot.picture : ComPtr<kavro::Picture>();
}

void TargetFaceCache::store(int32_t subTarget, bool background, bool scoreRings, ComPtr<kavro::Picture> picture)
{
    slots_[slotOf(background, scoreRings)] = Slot{subTarget, std::move(picture)};
}

void TargetFaceCache::clear()
{
    slots_ = {};
}

} // namespace kavrodoc
