#pragma once
// How the shot list is drawn: the fonts of its cells, their sizes for the layout and the painting
// of the groups in view.
#include "series_model.h"

#include <QFont>

class QPainter;
class QWidget;

namespace kavro::series {

class ShotListPainter {
public:
    // The system's general font, its bold, and a larger one for the group captions.
    ShotListPainter();

    const QFont& font(CellFont which) const;
    int lineHeight() const;
    // A cell's size with its padding, in the font that draws it.
    QSize measure(const Cell& cell, CellFont which) const;
    // The groups and series within `clip`, in table coordinates. The selected row takes the
    // highlight of `table` while it has the keyboard.
    void paint(QPainter& p, const SeriesTable& series, const QRect& clip, const QWidget& table) const;

private:
    void drawRow(QPainter& p, const StatRow& row, bool bold, bool header, bool selected, const QWidget& table) const;
    void drawCell(QPainter& p, const Cell& cell, int column, const QColor& background, bool bold,
                  const QWidget& table) const;

    QFont font_, bold_, large_;
};

} // namespace kavro::series
