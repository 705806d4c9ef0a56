#pragma once
// Pages written to PDF and read back with poppler's tools.
#include "report.h"

#include <QImage>
#include <QString>

namespace printtest {

kavro::print::PageGeometry pdfGeometry(const QString& path, int dpi, const kavro::print::ReportMargins& margins = {});
bool writePdf(const QString& path, int dpi, const kavro::print::PrintoutPages& pages);

int pdfPageCount(const QString& path);
QString pdfText(const QString& path, int page); // 1-based
// The page rendered in grey, or the part `crop` of it (device pixels at `dpi`).
QImage pdfPageImage(const QString& path, int page, int dpi, const QRect& crop = QRect());

// The 1-based page whose text cells hold `text` (0: none).
int pageWithText(const kavro::print::PrintoutPages& pages, const QString& text);
bool hasText(const kavro::print::PrintoutPages& pages, const QString& text);

} // namespace printtest
