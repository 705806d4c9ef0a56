#pragma once
// The printed report of a practice: laid out once for a page geometry as a list of pages of
// printout cells, shared by the print preview, printing and the page count.
#include "printout_cells.h"

#include <optional>

class CKavroDoc;

namespace kavro::print {

// Margins in 0.01 mm; every start of the program begins with these.
struct ReportMargins {
    int left = 2000, top = 1500, right = 2000, bottom = 1500;
    bool operator==(const ReportMargins&) const = default;
};

// A page in device units, origin at the paper's corner.
struct PageGeometry {
    int dpiX = 600, dpiY = 600;
    GdiRect paper; // the whole sheet
    GdiRect printable; // what the device can mark
    GdiRect content; // what the report fills
};

// The content is the printable area narrowed on each side by how far the margin exceeds the
// device's own unprintable edge there.
PageGeometry computePageGeometry(int paperWidth, int paperHeight, int dpiX, int dpiY, int offsetX, int offsetY,
                                 const ReportMargins& margins);

struct ReportFonts {
    GdiFont text, vertical, bold, title, brand;
    static ReportFonts make(int dpiY);
};

// The eight Print* choices of the options.
struct ReportSections {
    bool allShots = true, genInfo = true, series = true, coordination = true, shift = true, speed = true,
         intervals = true, probability = true;
    static ReportSections fromOptions();
};

// Titles of the sections as the report prints them (also what tests look for).
QString sectionTitle(int command);

// What a report of the practice is called where its pages are kept (a PDF's title): the shooter,
// the event and when the match began.
QString reportTitle(CKavroDoc& doc);

// Lays the report out; nullopt when a page or picture cannot be made.
std::optional<PrintoutPages> PrintReport(CKavroDoc& doc, const PageGeometry& geometry, const ReportSections& sections);

// One page with the selected shot and its trace (the shot's print command); nullopt without a
// selected shot or when it cannot be made.
std::optional<PrintoutPages> BuildShotPage(CKavroDoc& doc, const PageGeometry& geometry);

} // namespace kavro::print
