#pragma once
// Fonts and DrawText layout: the one place where GDI font requests and text formats become Qt's.
#include "gdi_types.h"

#include <QFont>
#include <QRectF>

namespace kavro {

// The font for a GDI font request, sized in logical units (the painter's transform scales it).
// Face names of the Windows core fonts map to their metric twins, so text keeps its extent.
QFont makeFont(const GdiFont& font);

// The Qt alignment and text flags for a DrawText format.
int textFlags(uint32_t format);

// The extent of `text` laid out in `rect` with the format, as DT_CALCRECT gives it: left and top
// kept, right and bottom set (a width of 0 or less lays out without a width limit).
GdiRect measureText(const QFont& font, const QString& text, const GdiRect& rect, uint32_t format);

// The same for a font request, also in a process without a GUI application (which has no font
// database): there the metrics come from the font files of the metric twins themselves.
GdiRect measureText(const GdiFont& font, const QString& text, const GdiRect& rect, uint32_t format);

// The layout above from the font files alone, whatever the process has.
GdiRect measureTextFromFontFiles(const GdiFont& font, const QString& text, const GdiRect& rect, uint32_t format);

} // namespace kavro
