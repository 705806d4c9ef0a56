#include "target_painter.h"

#include "com/numeric.h"
#include "gdi/picture.h"
#include "gdi/text_layout.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace kavro::target {

namespace {

constexpr COLORREF kBlack = 0;
constexpr COLORREF kShadeGrey = rgb(128, 128, 128);

// The float product rounded half to even, as every float-to-integer step of the drawing.
int32_t roundProduct(float a, float b)
{
    volatile float product = a * b; // single precision, not a wider intermediate
    return roundSaturated(product);
}

int32_t clampIndex(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool isEmptyValue(const Variant& v)
{
    return v.isEmpty() || (v.vt() == VT_BSTR && v.bstr().isEmpty());
}

int32_t traceIndexOf(IShot* shot)
{
    int32_t index = -1;
    shot->get_TraceIndex(&index);
    return index;
}

bool isMissed(IShot* shot)
{
    VARIANT_BOOL missed = VARIANT_FALSE;
    return SUCCEEDED(shot->get_Missed(&missed)) && missed != VARIANT_FALSE;
}

} // namespace

COLORREF drawColour(OLE_COLOR colour)
{
    return colorOrDefault(colour, kBlack);
}

int32_t sampleRateOf(IAiming* aiming)
{
    ComPtr<IAimingAttr> attr;
    int32_t rate = 0;
    if (aiming && SUCCEEDED(aiming->get_Attr(attr.put())) && attr)
        attr->get_SampleRate(&rate);
    return rate;
}

TargetPainter::TargetPainter(const TargetState& state, GdiCanvas& canvas, const DrawGeometry& geometry)
    : s_(state), canvas_(canvas), g_(geometry)
{
    canvas_.setBkMode(BkMode::Transparent);
}

GdiRect TargetPainter::surfaceBounds() const
{
    GdiRect b = g_.bounds();
    const GdiPoint o = g_.offset();
    return {b.left - o.x, b.top - o.y, b.right - o.x, b.bottom - o.y};
}

PaintOutcome TargetPainter::paintAll(const std::function<void()>& mouseLayer)
{
    drawFace();
    drawShotLayers();
    return drawUpperLayers(mouseLayer);
}

void TargetPainter::drawShotLayers()
{
    drawAllBreaches(true);
    if (s_.displayTrace)
        drawAllTraces();
}

PaintOutcome TargetPainter::drawUpperLayers(const std::function<void()>& mouseLayer)
{
    PaintOutcome outcome;
    drawReplayBreaches(true);
    drawReplayTrace();
    if (s_.displayTrace)
        drawAllBreaches(false);
    drawReplayBreaches(false);
    drawElements(false);
    if (mouseLayer)
        mouseLayer();
    outcome.replayLabelRect = drawReplayLabel();
    drawSightingMark();
    drawLabels();
    return outcome;
}

void TargetPainter::drawFace()
{
    if (!s_.event || !s_.targetParams)
        return;
    ComPtr<IUnknown> unknown;
    HRESULT hr = s_.event->GetTargetAppearance(s_.subTarget, toVariantBool(s_.defaultBackground),
                                               toVariantBool(s_.displayScoreRings), unknown.put());
    if (SUCCEEDED(hr) && unknown) {
        if (auto picture = unknown.query<IPicture>()) {
            const GdiPoint lt = g_.map(s_.formRect.left, s_.formRect.top);
            GdiPoint rb = g_.map(s_.formRect.right, s_.formRect.bottom);
            rb.x -= 1;
            rb.y -= 1;
            const int64_t w = int64_t(rb.x) - lt.x - 1;
            const int64_t h = int64_t(rb.y) - lt.y - 1;
            if (w > 0 && h > 0)
                canvas_.drawPicture(picture.get(), {lt.x, lt.y, clampCoordinate(lt.x + w), clampCoordinate(lt.y + h)});
        }
    }
    drawElements(true);
}

void TargetPainter::drawElements(bool backgroundPass)
{
    for (const ComPtr<ITargetElement>& e : s_.elements) {
        VARIANT_BOOL visible = VARIANT_FALSE;
        if (FAILED(e->get_Visible(&visible)) || visible != VARIANT_TRUE)
            continue;
        Variant bs;
        e->get_Value(QStringLiteral("_bs"), &bs);
        if (isEmptyValue(bs) == backgroundPass)
            continue;

        float left = 0, top = 0, width = 0, height = 0, border = 0;
        e->get_Left(&left);
        e->get_Top(&top);
        e->get_Width(&width);
        e->get_Height(&height);
        e->get_BorderWidth(&border);
        int32_t l = 0, t = 0, w = 0, h = 0, bw = 0;
        if (!toHundredths(left, &l) || !toHundredths(top, &t) || !toHundredths(width, &w) || !toHundredths(height, &h)
            || !toHundredths(border, &bw))
            continue;
        const GdiPoint lt = g_.map(l, t);
        const GdiRect box{lt.x, lt.y, clampCoordinate(int64_t(lt.x) + g_.length(w)),
                          clampCoordinate(int64_t(lt.y) + g_.length(h))};

        OLE_COLOR borderColour = 0, bodyColour = 0;
        VARIANT_BOOL fill = VARIANT_FALSE;
        e->get_BorderColor(&borderColour);
        e->get_BodyColor(&bodyColour);
        e->get_Fill(&fill);
        canvas_.selectPen(GdiPen::inside(g_.length(bw), drawColour(borderColour)));
        canvas_.selectBrush(fill == VARIANT_TRUE ? GdiBrush::solid(drawColour(bodyColour)) : GdiBrush::null());

        enumTargetElementType type = elementText;
        e->get_Type(&type);
        switch (type) {
        case elementPolyline:
        case elementPolygon: {
            int32_t count = 0;
            e->get_PointCount(&count);
            std::vector<GdiPoint> points;
            for (int32_t i = 1; i <= count; ++i) {
                float x = 0, y = 0;
                int32_t xi = 0, yi = 0;
                if (FAILED(e->get_x(i, &x)) || FAILED(e->get_y(i, &y)) || !toHundredths(x, &xi)
                    || !toHundredths(y, &yi))
                    continue;
                points.push_back(g_.map(xi, yi));
            }
            if (points.size() < 2)
                break;
            if (type == elementPolyline)
                canvas_.polyline(points);
            else
                canvas_.polygon(points, FillMode::Alternate);
            break;
        }
        case elementEllipse: canvas_.ellipse(box); break;
        case elementRectangle: canvas_.rectangle(box); break;
        case elementPicture: {
            ComPtr<IUnknown> unknown;
            if (SUCCEEDED(e->get_Picture(unknown.put())) && unknown)
                if (auto picture = unknown.query<IPicture>())
                    canvas_.drawPicture(picture.get(), box);
            break;
        }
        case elementText: break;
        }
    }
}

int32_t TargetPainter::breachDiameter() const
{
    float calibre = 0;
    if (s_.event) {
        s_.event->get_DisplayCaliber(&calibre);
        if (calibre == 0)
            s_.event->get_Caliber(&calibre);
    }
    int32_t hundredths = 0;
    if (!toHundredths(calibre, &hundredths))
        hundredths = 0;
    const int32_t d = g_.length(hundredths);
    return d < 7 ? 6 : d;
}

void TargetPainter::drawBreach(IShot* shot, bool selected, bool filled)
{
    if (!s_.displayBreach || !shot || isMissed(shot))
        return;
    float x = 0, y = 0;
    int32_t cx = 0, cy = 0;
    // A breach that is no number has no place to be drawn.
    if (FAILED(shot->Breach(&x, &y)) || !toHundredths(x, &cx) || !toHundredths(y, &cy))
        return;

    OLE_COLOR own = selected ? s_.selectedBreachColor : s_.breachColor;
    if (own == 0 && s_.targetParams) {
        if (selected)
            s_.targetParams->get_SelectedBreachColor(&own);
        else
            s_.targetParams->get_BreachColor(&own);
    }
    const COLORREF colour = drawColour(own);
    const int32_t d = breachDiameter();
    const GdiPoint c = g_.map(cx, cy);
    const GdiRect box{c.x - d / 2, c.y - d / 2, c.x - d / 2 + d, c.y - d / 2 + d};

    const GdiPen pen = s_.displayTrace ? GdiPen::inside(2, colour) : GdiPen::inside(0, kBlack);
    canvas_.selectPen(pen);
    canvas_.selectBrush(filled ? GdiBrush::solid(colour) : GdiBrush::null());
    canvas_.ellipse(box);

    VARIANT_BOOL hidden = VARIANT_FALSE;
    if (SUCCEEDED(shot->get_Hidden(&hidden)) && hidden != VARIANT_FALSE) {
        const int32_t o = d * 3 / 10;
        canvas_.selectPen(GdiPen::solid(pen.width, kBlack));
        const GdiPoint a[2] = {{box.right - o, box.bottom - o}, {box.left + o, box.top + o}};
        const GdiPoint b[2] = {{box.right - o, box.top + o}, {box.left + o, box.bottom - o}};
        canvas_.polyline(a);
        canvas_.polyline(b);
    }
}

void TargetPainter::drawAllBreaches(bool filled)
{
    if (!s_.displayBreach)
        return;
    for (const AimingEntry& entry : s_.aimings) {
        int32_t count = 0;
        entry.aiming->get_ShotCount(&count);
        const bool selectedAiming = !s_.mouse.dragging && s_.selectedAiming.get() == entry.aiming.get();
        for (int32_t i = 1; i <= count; ++i) {
            ComPtr<IShot> shot;
            if (FAILED(entry.aiming->Shot(i, shot.put())) || !shot)
                continue;
            drawBreach(shot.get(), selectedAiming && s_.selectedShot.get() == shot.get(), filled);
        }
    }
}

void TargetPainter::drawAllTraces()
{
    for (const AimingEntry& entry : s_.aimings)
        drawTrace(entry.aiming.get(), kWholeFrom, kWholeTo);
}

void TargetPainter::drawTrace(IAiming* aiming, int32_t from, int32_t to)
{
    ComPtr<IAimingTrace> trace;
    if (!aiming || FAILED(aiming->get_Trace(trace.put())) || !trace)
        return;
    int32_t first = 0, last = 0;
    if (FAILED(trace->get_First(&first)) || FAILED(trace->get_Last(&last)))
        return;
    from = std::max(from, first);
    to = std::min(to, last);
    if (from >= to)
        return;

    VARIANT_BOOL readOnly = VARIANT_TRUE;
    trace->get_ReadOnly(&readOnly);
    if (readOnly == VARIANT_FALSE) {
        // A trace still being recorded shows its newest stretch in the heading colour.
        const int32_t h = roundProduct(s_.traceHeadingLength, float(sampleRateOf(aiming)));
        const int32_t a = std::max(clampIndex(int64_t(last) - h), from);
        const int32_t b = std::min(to, last);
        if (a < b) {
            drawSegment(trace.get(), a, b, s_.traceHeadingColor);
            to = a;
        }
    }
    drawColouredTrace(aiming, trace.get(), from, to);
}

void TargetPainter::drawColouredTrace(IAiming* aiming, IAimingTrace* trace, int32_t from, int32_t to)
{
    int32_t shotCount = 0;
    aiming->get_ShotCount(&shotCount);
    if (shotCount <= 0) {
        drawSegment(trace, from, to, s_.traceColor);
        return;
    }
    const float rate = float(sampleRateOf(aiming));
    const std::vector<TraceInterval>& intervals = s_.intervals.merged();
    std::vector<ComPtr<IShot>> shots(static_cast<size_t>(shotCount));
    for (int32_t i = 1; i <= shotCount; ++i)
        aiming->Shot(i, shots[size_t(i) - 1].put());

    int32_t lower = from;
    for (size_t i = 0; i < shots.size(); ++i) {
        if (!shots[i])
            continue;
        const int32_t s = traceIndexOf(shots[i].get());
        double phase = std::nan("");
        shots[i]->get_microphonePhase(&phase);
        int32_t upper = to;
        if (i + 1 < shots.size() && shots[i + 1])
            upper = std::min(to, traceIndexOf(shots[i + 1].get()));

        for (size_t j = 0; j < intervals.size(); ++j) {
            int32_t startOffset = 0, endOffset = 0;
            // An interval bound that is no number has no samples.
            if (!checkedRound<int32_t>(double(float(rate * intervals[j].start)), &startOffset)
                || !checkedRound<int32_t>(double(float(rate * intervals[j].end)), &endOffset))
                continue;
            auto bounded = [&](int32_t offset) {
                int64_t v = int64_t(s) + offset;
                v = std::max<int64_t>(v, lower);
                v = std::min<int64_t>(v, upper);
                return clampIndex(v);
            };
            const int32_t start = bounded(startOffset);
            const int32_t end = bounded(endOffset);
            const bool lastInterval = j + 1 == intervals.size();
            if (end != s || std::isnan(phase) || lastInterval)
                drawSegment(trace, start, end, intervals[j].color);
            else
                drawSplitSegment(trace, start, end, phase, intervals[j].color, intervals[j + 1].color);
        }
        lower = std::max(lower, s);
    }
}

void TargetPainter::selectTracePen(OLE_COLOR colour)
{
    int32_t width = 0;
    if (s_.traceThickness != 0.0f) {
        float t = s_.traceThickness;
        if (t < 0 && s_.targetParams)
            s_.targetParams->get_TraceThickness(&t);
        int32_t hundredths = 0;
        if (!toHundredths(t, &hundredths))
            hundredths = 0;
        const int32_t p = g_.length(hundredths);
        width = p < 3 ? 2 : p;
    }
    canvas_.selectPen(GdiPen::solid(width, drawColour(colour)));
}

void TargetPainter::drawSegment(IAimingTrace* trace, int32_t a, int32_t b, OLE_COLOR colour)
{
    if (a >= b)
        return;
    int32_t first = 0, last = 0;
    trace->get_First(&first);
    trace->get_Last(&last);
    a = std::max(a, first);
    b = std::min(b, last);
    if (int64_t(b) - a + 1 <= 1)
        return;
    selectTracePen(colour);

    std::vector<GdiPoint> run;
    auto flush = [&] {
        if (run.size() >= 2)
            canvas_.polyline(run);
        run.clear();
    };
    for (int64_t i = a; i <= b; ++i) {
        int32_t x = IAimingTrace::kInvalidSample, y = IAimingTrace::kInvalidSample;
        if (FAILED(trace->_GetPoint(int32_t(i), &x, &y)) || x == IAimingTrace::kInvalidSample) {
            flush(); // an invalid sample leaves a gap
            continue;
        }
        run.push_back(g_.map(x, y));
    }
    flush();
}

void TargetPainter::drawSplitSegment(IAimingTrace* trace, int32_t a, int32_t b, double phase, OLE_COLOR c1,
                                     OLE_COLOR c2)
{
    drawSegment(trace, a, b - 1, c1);
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (FAILED(trace->_GetPoint(b - 1, &x1, &y1)) || FAILED(trace->_GetPoint(b, &x2, &y2))
        || x1 == IAimingTrace::kInvalidSample || x2 == IAimingTrace::kInvalidSample)
        return;
    // The shot fell at this fraction of the last sample step: the colours change there.
    const float f = float(phase);
    const int64_t sx = int64_t(x1) + roundProduct(float(int64_t(x2) - x1), f);
    const int64_t sy = int64_t(y1) + roundProduct(float(int64_t(y2) - y1), f);
    const GdiPoint p1 = g_.map(x1, y1);
    const GdiPoint split = g_.map(sx, sy);
    const GdiPoint p2 = g_.map(x2, y2);
    selectTracePen(c1);
    const GdiPoint before[2] = {p1, split};
    canvas_.polyline(before);
    selectTracePen(c2);
    const GdiPoint after[2] = {split, p2};
    canvas_.polyline(after);
}

void TargetPainter::drawReplayBreaches(bool filled)
{
    const ReplayState& r = s_.replay;
    if (!r.aiming || !r.shot)
        return;
    int32_t count = 0;
    r.aiming->get_ShotCount(&count);
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IShot> shot;
        if (SUCCEEDED(r.aiming->Shot(i, shot.put())) && shot && traceIndexOf(shot.get()) <= r.position)
            drawBreach(shot.get(), false, filled);
    }
}

void TargetPainter::drawReplayTrace()
{
    const ReplayState& r = s_.replay;
    ComPtr<IAimingTrace> trace;
    if (!r.aiming || !r.shot || FAILED(r.aiming->get_Trace(trace.put())) || !trace)
        return;
    int32_t first = 0;
    trace->get_First(&first);
    const int32_t h = roundProduct(s_.traceHeadingLength, float(sampleRateOf(r.aiming.get())));
    const int32_t b = std::max(clampIndex(int64_t(r.position) - h), first);
    drawColouredTrace(r.aiming.get(), trace.get(), first, b);
    drawSegment(trace.get(), b, r.position, s_.traceHeadingColor);
}

GdiRect TargetPainter::drawReplayLabel()
{
    if (!s_.displayReplayMark || !s_.replay.markVisible)
        return {};
    const QString& text = s_.replay.paused ? s_.replayPausedLabel : s_.replayLabel;
    const GdiFont font; // the surface's default font
    const QFontMetrics metrics(makeFont(font));
    const GdiRect b = surfaceBounds();
    GdiRect rect{b.left + metrics.averageCharWidth(), b.top + metrics.height(), 0, 0};
    rect.right = rect.left;
    rect.bottom = rect.top;
    canvas_.selectFont(font);
    canvas_.setTextColor(drawColour(s_.replayMarkColor));
    canvas_.drawText(text, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    GdiRect drawn = rect;
    canvas_.drawText(text, &drawn, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    return rect;
}

void TargetPainter::drawSightingMark()
{
    if (s_.match)
        return;
    const GdiRect b = surfaceBounds();
    const int32_t k = int32_t(std::min(b.width(), b.height()) / 5);
    const GdiPoint corners[3] = {{b.right - k, b.top}, {b.right, b.top}, {b.right, b.top + k}};
    canvas_.selectPen(GdiPen::null());
    canvas_.selectBrush(GdiBrush::solid(drawColour(s_.sightingMarkColor)));
    canvas_.polygon(corners, FillMode::Alternate);
}

namespace {

constexpr uint32_t kLabelFormat = DT_WORDBREAK | DT_EXPANDTABS | DT_NOCLIP | DT_EDITCONTROL | DT_NOPREFIX;

GdiFont labelFont(const GdiRect& bounds)
{
    const int64_t side = std::min(bounds.width(), bounds.height());
    return GdiFont{int32_t(std::clamp<int64_t>(side / 10, 14, kMaxCoordinate)), 700, QStringLiteral("Arial")};
}

} // namespace

GdiRect labelRect(const TargetState& state, const GdiRect& b, int position)
{
    const QString& text = position == 1 ? state.label1 : state.label2;
    if (text.isEmpty())
        return {};
    GdiRect r = measureText(makeFont(labelFont(b)), text, b, kLabelFormat);
    if (r.height() < b.height()) {
        const int32_t h = int32_t(r.height());
        r.bottom = b.bottom;
        r.top = b.bottom - h;
    }
    if (position == 2) {
        const int32_t w = int32_t(r.width());
        r.right = b.right;
        r.left = b.right - w;
    }
    return r;
}

void TargetPainter::drawLabels()
{
    for (int position : {1, 2}) {
        GdiRect r = labelRect(s_, surfaceBounds(), position);
        if (r.isEmpty())
            continue;
        if (s_.shadeLabel)
            shade(r);
        canvas_.selectFont(labelFont(surfaceBounds()));
        canvas_.setTextColor(drawColour(s_.labelColor));
        canvas_.drawText(position == 1 ? s_.label1 : s_.label2, &r, kLabelFormat);
    }
}

// Half the pixels of the rectangle, in a checkerboard anchored at its top-left corner, turn grey:
// drawn as every other anti-diagonal with a one-pixel pen, so that a metafile holds a few lines
// rather than a bitmap.
void TargetPainter::shade(const GdiRect& rect)
{
    const int64_t w = rect.width();
    const int64_t h = rect.height();
    if (w <= 0 || h <= 0)
        return;
    canvas_.selectPen(GdiPen::solid(0, kShadeGrey));
    for (int64_t sum = 0; sum <= (w - 1) + (h - 1); sum += 2) {
        const int64_t dxMax = std::min(w - 1, sum);
        const int64_t dxMin = std::max<int64_t>(0, sum - (h - 1));
        const GdiPoint from{int32_t(rect.left + dxMax), int32_t(rect.top + sum - dxMax)};
        const GdiPoint to{int32_t(rect.left + dxMin), int32_t(rect.top + sum - dxMin)};
        if (from == to) {
            canvas_.setPixel(from, kShadeGrey);
        } else {
            const GdiPoint line[2] = {from, to};
            canvas_.polyline(line);
        }
    }
}

} // namespace kavro::target
