#include "metafile.h"

#include "painter_canvas.h"
#include "overloaded.h"
#include "picture.h"

#include <QPainter>

namespace kavro {

Metafile::Metafile(GdiRect frame, int32_t himetricWidth, int32_t himetricHeight, std::vector<MetafileRecord> records)
    : frame_(frame), himetricWidth_(himetricWidth), himetricHeight_(himetricHeight), records_(std::move(records))
{
}

namespace {

void send(GdiCanvas* c, const MetafileRecord& record)
{
    std::visit(Overloaded{
                   [c](const rec::SelectPen& r) { c->selectPen(r.pen); },
                   [c](const rec::SelectBrush& r) { c->selectBrush(r.brush); },
                   [c](const rec::SelectFont& r) { c->selectFont(r.font); },
                   [c](const rec::TextColor& r) { c->setTextColor(r.color); },
                   [c](const rec::SetBkMode& r) { c->setBkMode(r.mode); },
                   [c](const rec::BkColor& r) { c->setBkColor(r.color); },
                   [c](const rec::FillRect& r) { c->fillRect(r.rect, r.color); },
                   [c](const rec::SetPixel& r) { c->setPixel(r.point, r.color); },
                   [c](const rec::Rectangle& r) { c->rectangle(r.box); },
                   [c](const rec::Ellipse& r) { c->ellipse(r.box); },
                   [c](const rec::Polyline& r) { c->polyline(r.points); },
                   [c](const rec::Polygon& r) { c->polygon(r.points, r.mode); },
                   [c](const rec::DrawText& r) {
                       GdiRect rect = r.rect;
                       c->drawText(r.text, &rect, r.format & ~DT_CALCRECT);
                   },
                   [c](const rec::BeginPath&) { c->beginPath(); },
                   [c](const rec::EndPath&) { c->endPath(); },
                   [c](const rec::SelectClipPath& r) { c->selectClipPath(r.mode); },
                   [c](const rec::RestoreClip&) { c->restoreClip(); },
                   [c](const rec::DrawPicture& r) { c->drawPicture(r.picture.get(), r.box); },
               },
               record);
}

} // namespace

void Metafile::replay(GdiCanvas* canvas) const
{
    if (!canvas)
        return;
    for (const MetafileRecord& r : records_)
        send(canvas, r);
}

void Metafile::play(QPainter* painter, const QRectF& dest) const
{
    if (!painter || frame_.isEmpty() || dest.width() == 0 || dest.height() == 0 || !dest.isValid())
        return;
    painter->save();
    // The frame maps onto the destination by the painter's transform alone; nothing depends on
    // the resolution of the device.
    painter->translate(dest.left(), dest.top());
    painter->scale(dest.width() / double(frame_.width()), dest.height() / double(frame_.height()));
    painter->translate(-double(frame_.left), -double(frame_.top));
    {
        PainterCanvas canvas(painter);
        replay(&canvas);
    }
    painter->restore();
}

} // namespace kavro
