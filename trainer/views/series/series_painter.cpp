#include "series_painter.h"

#include <QFontDatabase>
#include <QPainter>
#include <QWidget>

namespace kavro::series {

namespace {

const QColor kCellBackground(238, 238, 238);

// The width of the five-target picture at a height, in its own proportions.
int fiveTargetsWidth(int height)
{
    static const GdiRect frame = DrawFiveTargetSchematic(0, 0).frame();
    return int(int64_t(height) * frame.width() / std::max<int64_t>(1, frame.height()));
}

} // namespace

ShotListPainter::ShotListPainter() : font_(QFontDatabase::systemFont(QFontDatabase::GeneralFont))
{
    bold_ = font_;
    bold_.setWeight(QFont::Bold);
    large_ = font_;
    if (font_.pixelSize() > 0)
        large_.setPixelSize(font_.pixelSize() * 12 / 10);
    else
        large_.setPointSizeF(font_.pointSizeF() * 12 / 10);
}

const QFont& ShotListPainter::font(CellFont which) const
{
    switch (which) {
    case CellFont::Bold: return bold_;
    case CellFont::Large: return large_;
    case CellFont::Normal: break;
    }
    return font_;
}

int ShotListPainter::lineHeight() const
{
    return QFontMetrics(font_).height();
}

QSize ShotListPainter::measure(const Cell& cell, CellFont which) const
{
    const QFontMetrics fm(font(which));
    if (cell.picture) {
        // The five targets keep their proportions at the height of a line.
        return QSize(fiveTargetsWidth(fm.height()) + 6, fm.height() + 2);
    }
    return QSize(fm.horizontalAdvance(cell.text) + 6, fm.height() + 2);
}

void ShotListPainter::drawCell(QPainter& p, const Cell& cell, int column, const QColor& background, bool bold,
                               const QWidget& table) const
{
    if (!cell.visible || cell.rect.isEmpty())
        return;
    p.fillRect(cell.rect, background);
    if (cell.picture) {
        const QRect box = cell.rect.adjusted(3, 1, -3, -1);
        const int w = std::min(box.width(), fiveTargetsWidth(box.height()));
        const QRect fitted(box.right() + 1 - w, box.top(), w, box.height());
        DrawFiveTargetSchematic(cell.hitArea, cell.nearestArea).play(&p, fitted);
        return;
    }
    p.setFont(bold ? bold_ : font_);
    QColor text = Qt::black;
    if (cell.highlight)
        text = Qt::red;
    else if (cell.grey)
        text = QColor(128, 128, 128);
    else if (cell.selected && table.hasFocus())
        text = table.palette().color(QPalette::HighlightedText);
    p.setPen(text);
    // The table keeps its column order in a right-to-left window, so its cells keep their sides.
    const Qt::Alignment align
        = (column == ColNumber ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter | Qt::AlignAbsolute;
    p.drawText(cell.rect.adjusted(3, 1, -3, -1), int(align) | Qt::TextSingleLine, cell.text);
}

void ShotListPainter::drawRow(QPainter& p, const StatRow& row, bool bold, bool header, bool selected,
                              const QWidget& table) const
{
    // Column headers are white, every other cell keeps the cells' light grey; the current shot
    // takes the highlight while the table has the keyboard.
    QColor background = header ? QColor(Qt::white) : kCellBackground;
    if (selected)
        background = table.hasFocus() ? table.palette().color(QPalette::Highlight) : QColor(Qt::white);
    for (int c = 0; c < kColumnCount; ++c)
        drawCell(p, row.cells[size_t(c)], c, background, bold, table);
}

void ShotListPainter::paint(QPainter& p, const SeriesTable& series, const QRect& clip, const QWidget& table) const
{
    for (const Group& g : series.groups) {
        if (!g.visible || !g.rect.intersects(clip))
            continue;
        p.fillRect(g.caption.rect, kCellBackground);
        p.setFont(large_);
        p.setPen(Qt::black);
        p.drawText(g.caption.rect.adjusted(3, 1, -3, -1),
                   Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter | Qt::TextSingleLine, g.caption.text);
        for (const Serie& s : g.series) {
            if (!s.visible || !s.rect.intersects(clip))
                continue;
            drawRow(p, s.caption, true, true, false, table);
            for (const StatRow& r : s.rows)
                drawRow(p, r, false, false, r.selected, table);
            drawRow(p, s.footer, true, false, false, table);
        }
        drawRow(p, g.totals, true, false, false, table);
    }
}

} // namespace kavro::series
