#pragma once
// Pages onto a QPrinter (a PDF file or a CUPS printer): the page geometry of the printer and the
// print job.
#include "report.h"

class QPrinter;

namespace kavro::print {

// The printer's sheet in device units with its unprintable edges, narrowed by the margins.
PageGeometry printerGeometry(QPrinter& printer, const ReportMargins& margins);

// Prints pages from..to (1-based, to clamped to the last page) as one job; false when the job
// cannot start.
bool printPages(QPrinter& printer, const PrintoutPages& pages, int from = 1, int to = 0);

// Draws the pages for a preview's printer (it asks for every page).
void paintPages(QPrinter& printer, const PrintoutPages& pages);

} // namespace kavro::print
