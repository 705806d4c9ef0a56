#pragma once
// Pages written to PDF and read back with poppler's tools.
#include "report.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <vector>

namespace printtest {

kavro::print::PageGeometry pdfGeometry(const QString& path, int dpi, const kavro::print::ReportMargins& margins = {});
bool writePdf(const QString& path, int dpi, const kavro::print::PrintoutPages& pages);

int pdfPageCount(const QString& path);
QString pdfText(const QString& path, int page); // 1-based
// The page rendered in grey, or the part `crop` of it (device pixels at `dpi`).
QImage pdfPageImage(const QString& path, int page, int dpi, const QRect& crop = QRect());

struct PdfWord {
    QString text;
    QRectF box; // points from the page's top left corner
};
// The words of a page with their boxes (pdftotext -bbox).
std::vector<PdfWord> pdfWords(const QString& path, int page);
// A path the page paints, as its drawing coordinates give it: each subpath's points on the
// outline (curve ends; control points left out), in points from the page's top left corner.
struct PdfPath {
    struct Subpath {
        std::vector<QPointF> points;
        bool curved = false;
    };
    std::vector<Subpath> subpaths;
    bool stroked = false, filled = false;
    double lineWidth = 0; // points; 0 for the thinnest line the device draws
};
// The paths of a page (its content stream read through qpdf), in drawing order.
std::vector<PdfPath> pdfPaths(const QString& path, int page);

// A field of pdfinfo ("Title") and the names of the fonts the file uses (pdffonts).
QString pdfInfoField(const QString& path, const QString& field);
QStringList pdfFontNames(const QString& path);
// The page written as a PNG beside its PDF (for review with the screenshots).
bool savePagePng(const QString& pdf, int page, const QString& png, int dpi = 100);

// The 1-based page whose text cells hold `text` (0: none).
int pageWithText(const kavro::print::PrintoutPages& pages, const QString& text);
bool hasText(const kavro::print::PrintoutPages& pages, const QString& text);

} // namespace printtest
