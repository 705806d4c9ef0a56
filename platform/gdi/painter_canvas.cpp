#include "painter_canvas.h"

#include "com/olecolor.h"
#include "picture.h"
#include "text_layout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace kavro {

QColor toQColor(COLORREF color)
{
    return QColor(redOf(color), greenOf(color), blueOf(color));
}

namespace {

QRectF boxF(const GdiRect& r)
{
    GdiRect n = r.normalized();
    return QRectF(n.left, n.top, double(n.width()), double(n.height()));
}

QPolygonF polygonOf(std::span<const GdiPoint> points)
{
    QPolygonF poly;
    poly.reserve(static_cast<qsizetype>(points.size()));
    for (const GdiPoint& p : points)
        poly.append(QPointF(p.x, p.y));
    return poly;
}

} // namespace

PainterCanvas::PainterCanvas(QPainter* painter) : painter_(painter)
{
    painter_->save();
    painter_->setRenderHint(QPainter::Antialiasing, false);
    if (painter_->hasClipping())
        initialClip_ = painter_->clipPath();
    font_ = makeFont(fontRequest_);
}

PainterCanvas::~PainterCanvas()
{
    painter_->restore();
}

void PainterCanvas::selectFont(const GdiFont& font)
{
    if (font == fontRequest_)
        return;
    fontRequest_ = font;
    font_ = makeFont(font);
}

// One device pixel in logical units along each axis.
double PainterCanvas::devicePixelX() const
{
    const QTransform& t = painter_->deviceTransform();
    double s = std::hypot(t.m11(), t.m12());
    return s > 0 ? 1.0 / s : 1.0;
}

double PainterCanvas::devicePixelY() const
{
    const QTransform& t = painter_->deviceTransform();
    double s = std::hypot(t.m21(), t.m22());
    return s > 0 ? 1.0 / s : 1.0;
}

void PainterCanvas::applyPen()
{
    if (pen_.style == PenStyle::Null) {
        painter_->setPen(Qt::NoPen);
        return;
    }
    QPen pen(toQColor(pen_.color));
    double deviceWidth = pen_.width / std::max(devicePixelX(), devicePixelY());
    bool cosmetic = pen_.width <= 0 || deviceWidth < 1.0;
    if (cosmetic) {
        pen.setWidth(0);
    } else {
        pen.setWidthF(pen_.width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    // Dashes and dots exist only for pens of at most one device pixel, as on GDI.
    if (cosmetic || deviceWidth <= 1.0) {
        if (pen_.style == PenStyle::Dash)
            pen.setStyle(Qt::DashLine);
        else if (pen_.style == PenStyle::Dot)
            pen.setStyle(Qt::DotLine);
    }
    painter_->setPen(pen);
}

void PainterCanvas::applyBrush()
{
    if (brush_.style == BrushStyle::Null)
        painter_->setBrush(Qt::NoBrush);
    else
        painter_->setBrush(toQColor(brush_.color));
}

void PainterCanvas::fillRect(const GdiRect& rect, COLORREF color)
{
    if (rect.isEmpty() || inPath_)
        return;
    painter_->fillRect(boxF(rect), toQColor(color));
}

void PainterCanvas::setPixel(GdiPoint point, COLORREF color)
{
    if (inPath_)
        return;
    painter_->fillRect(QRectF(point.x, point.y, devicePixelX(), devicePixelY()), toQColor(color));
}

void PainterCanvas::rectangle(const GdiRect& box)
{
    drawBoxShape(Shape::Rectangle, box);
}

void PainterCanvas::ellipse(const GdiRect& box)
{
    drawBoxShape(Shape::Ellipse, box);
}

// Where the outline of a box goes: a cosmetic pen on the box's outermost device pixels (Qt draws
// a one-pixel line right of and below its coordinate, so the far edges move in by a pixel), an
// inside-frame pen inset by half its width, any other pen centred on the box's edges.
void PainterCanvas::drawBoxShape(Shape shape, const GdiRect& box)
{
    QRectF r = boxF(box);
    if (inPath_) {
        if (shape == Shape::Rectangle)
            path_.addRect(r);
        else
            path_.addEllipse(r);
        return;
    }
    if (r.isEmpty())
        return;
    applyPen();
    applyBrush();
    if (pen_.style != PenStyle::Null) {
        if (painter_->pen().isCosmetic()) {
            r.adjust(0, 0, -devicePixelX(), -devicePixelY());
        } else if (pen_.insideFrame) {
            double half = std::min({pen_.width / 2.0, r.width() / 2.0, r.height() / 2.0});
            r.adjust(half, half, -half, -half);
        }
    }
    if (shape == Shape::Rectangle) {
        painter_->drawRect(r);
    } else {
        // drawEllipse's own scan conversion drops the top row; the path is sampled exactly.
        QPainterPath path;
        path.addEllipse(r);
        painter_->drawPath(path);
    }
}

void PainterCanvas::polyline(std::span<const GdiPoint> points)
{
    if (points.size() < 2)
        return;
    QPolygonF poly = polygonOf(points);
    if (inPath_) {
        path_.addPolygon(poly);
        return;
    }
    applyPen();
    painter_->drawPolyline(poly);
}

void PainterCanvas::polygon(std::span<const GdiPoint> points, FillMode mode)
{
    if (points.size() < 2)
        return;
    QPolygonF poly = polygonOf(points);
    if (inPath_) {
        poly.append(poly.first());
        path_.addPolygon(poly);
        return;
    }
    applyPen();
    applyBrush();
    painter_->drawPolygon(poly, mode == FillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill);
}

int PainterCanvas::drawText(const QString& text, GdiRect* rect, uint32_t format)
{
    if (!rect)
        return 0;
    if (format & DT_CALCRECT) {
        *rect = measureText(font_, text, *rect, format);
        return static_cast<int>(rect->height());
    }
    if (inPath_)
        return 0;
    QRectF r = boxF(*rect);
    int flags = textFlags(format);
    painter_->setFont(font_);
    QRectF extent = painter_->boundingRect(r, flags, text);
    // Text wholly outside the clip shows nothing, yet a PDF would keep it in its text layer, where
    // search and copy find it among the words that are shown.
    if (painter_->hasClipping() && !painter_->clipBoundingRect().intersects(extent))
        return static_cast<int>(std::lround(extent.height()));
    if (bkMode_ == BkMode::Opaque)
        painter_->fillRect(extent, toQColor(bkColor_));
    painter_->setPen(toQColor(textColor_));
    // DrawText reads in the text's own order: a right-to-left window must not turn "-2" into "2-".
    const Qt::LayoutDirection direction = painter_->layoutDirection();
    painter_->setLayoutDirection(Qt::LayoutDirectionAuto);
    const QTransform& t = painter_->combinedTransform();
    // The font engine renders cached glyphs through the whole transform; it fails on glyphs no
    // screen shows and on axes stretched far apart, so those are filled as outlines instead.
    const double xScale = std::hypot(t.m11(), t.m12()), yScale = std::hypot(t.m21(), t.m22());
    const double largest = font_.pixelSize() * std::max(xScale, yScale);
    const bool evenlyScaled = std::min(xScale, yScale) * kMaxGlyphStretch >= std::max(xScale, yScale);
    if (largest <= kMaxGlyphPixels && evenlyScaled)
        painter_->drawText(r, flags, text);
    else if (largest <= kMaxCoordinate)
        drawTextAsPath(r, flags, text);
    painter_->setLayoutDirection(direction);
    return static_cast<int>(std::lround(extent.height()));
}

// Text the glyph cache cannot render, filled as outlines on one line.
void PainterCanvas::drawTextAsPath(const QRectF& r, int flags, const QString& text)
{
    const QFontMetricsF metrics(font_);
    const QString line = text.section(QLatin1Char('\n'), 0, 0);
    const double width = metrics.horizontalAdvance(line);
    double x = r.left();
    if (flags & Qt::AlignHCenter)
        x = r.center().x() - width / 2;
    else if (flags & Qt::AlignRight)
        x = r.right() - width;
    double baseline = r.top() + metrics.ascent();
    if (flags & Qt::AlignVCenter)
        baseline = r.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    else if (flags & Qt::AlignBottom)
        baseline = r.bottom() - metrics.descent();
    QPainterPath path;
    path.addText(QPointF(x, baseline), font_, line);
    painter_->fillPath(path, toQColor(textColor_));
}

void PainterCanvas::beginPath()
{
    inPath_ = true;
    path_ = QPainterPath();
}

void PainterCanvas::endPath()
{
    inPath_ = false;
}

void PainterCanvas::selectClipPath(ClipMode mode)
{
    if (inPath_)
        return; // a path still open is no region yet
    QPainterPath region = path_;
    path_ = QPainterPath();
    if (mode == ClipMode::Or && clip_)
        region = clip_->united(region);
    else if (mode == ClipMode::Or)
        return; // joined to an unclipped canvas: still unclipped
    clip_ = region;
    applyClip();
}

void PainterCanvas::restoreClip()
{
    clip_.reset();
    applyClip();
}

void PainterCanvas::applyClip()
{
    if (initialClip_)
        painter_->setClipPath(*initialClip_, Qt::ReplaceClip);
    else
        painter_->setClipping(false);
    if (clip_)
        painter_->setClipPath(*clip_, initialClip_ ? Qt::IntersectClip : Qt::ReplaceClip);
}

void PainterCanvas::drawPicture(IPicture* picture, const GdiRect& box)
{
    if (!picture || inPath_)
        return;
    GdiRect n = box.normalized();
    auto extent = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); };
    picture->Render(painter_, n.left, n.top, extent(n.width()), extent(n.height()));
}

} // namespace kavro
