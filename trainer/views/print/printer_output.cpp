#include "printer_output.h"

#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace kavro::print {

PageGeometry printerGeometry(QPrinter& printer, const ReportMargins& margins)
{
    // Cells are placed from the paper's corner; the device's own edges come from its layout.
    printer.setFullPage(true);
    const int dpi = printer.resolution();
    const QRect paper = printer.pageLayout().fullRectPixels(dpi);
    const QMarginsF edge = printer.pageLayout().minimumMargins(); // in the layout's units
    const QPageLayout::Unit unit = printer.pageLayout().units();
    const double perUnit = unit == QPageLayout::Millimeter ? dpi / 25.4 : dpi / 72.0;
    const int offsetX = int(std::lround(std::max(edge.left(), edge.right()) * perUnit));
    const int offsetY = int(std::lround(std::max(edge.top(), edge.bottom()) * perUnit));
    return computePageGeometry(paper.width(), paper.height(), dpi, dpi, offsetX, offsetY, margins);
}

namespace {

bool drawPages(QPrinter& printer, const PrintoutPages& pages, int from, int to)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    for (int i = from; i <= to; ++i) {
        if (i > from && !printer.newPage())
            return false;
        DrawPrintoutPage(pages[size_t(i - 1)], &painter);
    }
    return painter.end();
}

} // namespace

bool printPages(QPrinter& printer, const PrintoutPages& pages, int from, int to)
{
    const int last = int(pages.size());
    if (last == 0)
        return false;
    from = std::clamp(from, 1, last);
    to = to <= 0 ? last : std::min(to, last);
    if (to < from)
        return false;
    return drawPages(printer, pages, from, to);
}

void paintPages(QPrinter& printer, const PrintoutPages& pages)
{
    if (!pages.empty())
        drawPages(printer, pages, 1, int(pages.size()));
}

} // namespace kavro::print
