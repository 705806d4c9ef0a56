#include "metafile_recorder.h"

#include "com/numeric.h"
#include "picture.h"
#include "text_layout.h"

#include <algorithm>

namespace kavro {

namespace {

GdiRect clampedRect(const GdiRect& r)
{
    return {clampCoordinate(r.left), clampCoordinate(r.top), clampCoordinate(r.right), clampCoordinate(r.bottom)};
}

GdiRect inflated(const GdiRect& r, int64_t by)
{
    return {clampCoordinate(r.left - by), clampCoordinate(r.top - by), clampCoordinate(r.right + by),
            clampCoordinate(r.bottom + by)};
}

} // namespace

MetafileRecorder::MetafileRecorder(double himetricPerUnit) : himetricPerUnit_(himetricPerUnit)
{
}

void MetafileRecorder::add(MetafileRecord record)
{
    records_.push_back(std::move(record));
}

void MetafileRecorder::extend(const GdiRect& r)
{
    if (!inPath_)
        bounds_ = bounds_.united(clampedRect(r));
}

// A pen centred on the edges reaches half its width beyond the box.
void MetafileRecorder::extendBox(const GdiRect& box)
{
    bool outside = pen_.style != PenStyle::Null && !pen_.insideFrame && pen_.width > 1;
    extend(outside ? inflated(box, (pen_.width + 1) / 2) : box);
}

std::vector<GdiPoint> MetafileRecorder::clamped(std::span<const GdiPoint> points) const
{
    std::vector<GdiPoint> out;
    out.reserve(points.size());
    for (const GdiPoint& p : points)
        out.push_back({clampCoordinate(p.x), clampCoordinate(p.y)});
    return out;
}

void MetafileRecorder::selectPen(const GdiPen& pen)
{
    pen_ = pen;
    pen_.width = std::clamp(pen.width, 0, kMaxCoordinate);
    add(rec::SelectPen{pen_});
}

void MetafileRecorder::selectBrush(const GdiBrush& brush)
{
    add(rec::SelectBrush{brush});
}

void MetafileRecorder::selectFont(const GdiFont& font)
{
    font_ = font;
    font_.height = std::clamp(font.height, -kMaxCoordinate, kMaxCoordinate);
    add(rec::SelectFont{font_});
}

void MetafileRecorder::setTextColor(COLORREF color)
{
    add(rec::TextColor{color & 0xFFFFFFu});
}
void MetafileRecorder::setBkMode(BkMode mode)
{
    add(rec::SetBkMode{mode});
}
void MetafileRecorder::setBkColor(COLORREF color)
{
    add(rec::BkColor{color & 0xFFFFFFu});
}

void MetafileRecorder::fillRect(const GdiRect& rect, COLORREF color)
{
    GdiRect r = clampedRect(rect);
    add(rec::FillRect{r, color & 0xFFFFFFu});
    extend(r);
}

void MetafileRecorder::setPixel(GdiPoint point, COLORREF color)
{
    GdiPoint p{clampCoordinate(point.x), clampCoordinate(point.y)};
    add(rec::SetPixel{p, color & 0xFFFFFFu});
    extend({p.x, p.y, p.x + 1, p.y + 1});
}

void MetafileRecorder::rectangle(const GdiRect& box)
{
    GdiRect r = clampedRect(box);
    add(rec::Rectangle{r});
    extendBox(r.normalized());
}

void MetafileRecorder::ellipse(const GdiRect& box)
{
    GdiRect r = clampedRect(box);
    add(rec::Ellipse{r});
    extendBox(r.normalized());
}

void MetafileRecorder::polyline(std::span<const GdiPoint> points)
{
    rec::Polyline r{clamped(points)};
    if (!r.points.empty()) {
        GdiRect b{r.points[0].x, r.points[0].y, r.points[0].x + 1, r.points[0].y + 1};
        for (const GdiPoint& p : r.points)
            b = b.united({p.x, p.y, p.x + 1, p.y + 1});
        if (r.points.size() >= 2)
            extend(pen_.style != PenStyle::Null && pen_.width > 1 ? inflated(b, (pen_.width + 1) / 2) : b);
    }
    add(std::move(r));
}

void MetafileRecorder::polygon(std::span<const GdiPoint> points, FillMode mode)
{
    std::vector<GdiPoint> pts = clamped(points);
    if (pts.size() >= 2) {
        GdiRect b{pts[0].x, pts[0].y, pts[0].x + 1, pts[0].y + 1};
        for (const GdiPoint& p : pts)
            b = b.united({p.x, p.y, p.x + 1, p.y + 1});
        extend(pen_.style != PenStyle::Null && pen_.width > 1 ? inflated(b, (pen_.width + 1) / 2) : b);
    }
    add(rec::Polygon{std::move(pts), mode});
}

int MetafileRecorder::drawText(const QString& text, GdiRect* rect, uint32_t format)
{
    if (!rect)
        return 0;
    GdiRect r = clampedRect(*rect);
    if (format & DT_CALCRECT) {
        *rect = measureText(font_, text, r, format);
        return static_cast<int>(rect->height());
    }
    add(rec::DrawText{text, r, format});
    extend(r.normalized());
    return static_cast<int>(measureText(font_, text, r, format).height());
}

void MetafileRecorder::beginPath()
{
    add(rec::BeginPath{});
    inPath_ = true;
}

void MetafileRecorder::endPath()
{
    add(rec::EndPath{});
    inPath_ = false;
}

void MetafileRecorder::selectClipPath(ClipMode mode)
{
    add(rec::SelectClipPath{mode});
}
void MetafileRecorder::restoreClip()
{
    add(rec::RestoreClip{});
}

void MetafileRecorder::drawPicture(IPicture* picture, const GdiRect& box)
{
    if (!picture)
        return;
    GdiRect r = clampedRect(box);
    add(rec::DrawPicture{ComPtr<IPicture>(picture), r});
    extend(r.normalized());
}

Metafile MetafileRecorder::finish()
{
    GdiRect frame = frame_ ? clampedRect(frame_->normalized()) : bounds_;
    int32_t w = roundSaturated(double(frame.width()) * himetricPerUnit_);
    int32_t h = roundSaturated(double(frame.height()) * himetricPerUnit_);
    Metafile m(frame, w, h, std::move(records_));
    records_.clear();
    frame_.reset();
    bounds_ = {};
    pen_ = {};
    font_ = {};
    inPath_ = false;
    return m;
}

} // namespace kavro
