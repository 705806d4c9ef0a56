#pragma once
// Printout cells: rectangles in printer device units that draw themselves on any painter. A
// printed page is a list of them; the printer, the print preview and page counting share one list.
#include "gdi/gdi_types.h"
#include "gdi/picture.h"

#include <QString>
#include <memory>
#include <vector>

class QPainter;

namespace kavro::print {

class CPrintoutCell {
public:
    virtual ~CPrintoutCell() = default;
    virtual void Draw(QPainter* painter) const = 0;

    void SetSize(int width, int height);
    // Draws only an enabled cell with a non-empty rectangle.
    void DrawIfVisible(QPainter* painter) const;

    GdiRect rect;
    bool enabled = true;
    COLORREF background = 0xFFFFFF; // 0xFFFFFF: no background
};

// A filled rectangle: rules and separators.
class CPrintoutBarCell final : public CPrintoutCell {
public:
    void Draw(QPainter* painter) const override;
};

// A thin black outline (the cutting line of a paper target).
class CPrintoutRectangleCell final : public CPrintoutCell {
public:
    void Draw(QPainter* painter) const override;
};

struct TextSize {
    int width = 0;
    int height = 0;
};

class CPrintoutTextCell final : public CPrintoutCell {
public:
    static constexpr uint32_t kDefaultFormat = DT_WORDBREAK | DT_EXPANDTABS | DT_NOCLIP | DT_EDITCONTROL;

    void Draw(QPainter* painter) const override;
    // The extent of the text laid out at `width` (no limit when 0 or less), insets included.
    TextSize Measure(int width) const;

    GdiFont font;
    QString text;
    uint32_t format = kDefaultFormat;
    COLORREF color = 0;
    int insetX = 0;
    int insetY = 0;
};

// A picture (a target drawing) fitted into the rectangle, optionally clipped.
class CPrintoutPictureCell final : public CPrintoutCell {
public:
    void Draw(QPainter* painter) const override;

    ComPtr<IPicture> picture;
    GdiRect clip; // empty: no clip
};

// A metafile played into the rectangle with its frame's proportions, centred.
class CPrintoutMetaCell final : public CPrintoutCell {
public:
    void Draw(QPainter* painter) const override;
    // The part of the rectangle the metafile fills.
    GdiRect fittedRect() const;

    Metafile metafile;
};

struct PrintoutPage {
    std::vector<std::unique_ptr<CPrintoutCell>> cells;
    GdiRect clip; // what the page may draw on; empty: anywhere

    template <class Cell> Cell* add()
    {
        cells.push_back(std::make_unique<Cell>());
        return static_cast<Cell*>(cells.back().get());
    }
};
using PrintoutPages = std::vector<PrintoutPage>;

void DrawPrintoutPage(const PrintoutPage& page, QPainter* painter);

} // namespace kavro::print
