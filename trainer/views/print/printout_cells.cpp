#include "printout_cells.h"

#include "gdi/painter_canvas.h"
#include "gdi/text_layout.h"

#include <QPainter>

namespace kavro::print {

void CPrintoutCell::SetSize(int width, int height)
{
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
}

void CPrintoutCell::DrawIfVisible(QPainter* painter) const
{
    if (enabled && !rect.isEmpty())
        Draw(painter);
}

void CPrintoutBarCell::Draw(QPainter* painter) const
{
    if (background == 0xFFFFFF)
        return;
    PainterCanvas canvas(painter);
    canvas.fillRect(rect, background);
}

void CPrintoutRectangleCell::Draw(QPainter* painter) const
{
    PainterCanvas canvas(painter);
    canvas.selectPen(GdiPen::solid(0, 0));
    canvas.selectBrush(GdiBrush::null());
    canvas.rectangle(rect);
}

void CPrintoutTextCell::Draw(QPainter* painter) const
{
    if (text.isEmpty())
        return;
    PainterCanvas canvas(painter);
    canvas.selectFont(font);
    if (background != 0xFFFFFF)
        canvas.fillRect(rect, background);
    canvas.setTextColor(color);
    canvas.setBkMode(BkMode::Transparent);
    GdiRect inner{rect.left + insetX, rect.top + insetY, rect.right - insetX, rect.bottom - insetY};
    canvas.drawText(text, &inner, format);
}

TextSize CPrintoutTextCell::Measure(int width) const
{
    if (!enabled)
        return {};
    const GdiRect box{0, 0, width > 0 ? width : 0x7FFF, 0};
    const GdiRect r = measureText(makeFont(font), text, box, format | DT_CALCRECT);
    return {int(r.width()) + 2 * insetX, int(r.height()) + 2 * insetY};
}

void CPrintoutPictureCell::Draw(QPainter* painter) const
{
    if (!picture)
        return;
    painter->save();
    if (!clip.isEmpty())
        painter->setClipRect(QRect(clip.left, clip.top, int(clip.width()), int(clip.height())), Qt::IntersectClip);
    picture->Render(painter, rect.left, rect.top, int(rect.width()), int(rect.height()));
    painter->restore();
}

GdiRect CPrintoutMetaCell::fittedRect() const
{
    const GdiRect& frame = metafile.frame();
    GdiRect r = rect;
    if (frame.isEmpty() || rect.isEmpty())
        return r;
    const int64_t frameAspect = frame.width() * 1000 / frame.height();
    const int64_t cellAspect = rect.width() * 1000 / rect.height();
    if (frameAspect < cellAspect) {
        const int64_t w = rect.height() * frame.width() / frame.height();
        r.left = int32_t(rect.left + (rect.width() - w) / 2);
        r.right = int32_t(r.left + w);
    } else if (frameAspect > cellAspect) {
        const int64_t h = rect.width() * frame.height() / frame.width();
        r.top = int32_t(rect.top + (rect.height() - h) / 2);
        r.bottom = int32_t(r.top + h);
    }
    return r;
}

void CPrintoutMetaCell::Draw(QPainter* painter) const
{
    const GdiRect r = fittedRect();
    metafile.play(painter, QRectF(r.left, r.top, double(r.width()), double(r.height())));
}

void DrawPrintoutPage(const PrintoutPage& page, QPainter* painter)
{
    painter->save();
    if (!page.clip.isEmpty())
        painter->setClipRect(QRect(page.clip.left, page.clip.top, int(page.clip.width()), int(page.clip.height())),
                             Qt::IntersectClip);
    for (const auto& cell : page.cells)
        cell->DrawIfVisible(painter);
    painter->restore();
}

} // namespace kavro::print
