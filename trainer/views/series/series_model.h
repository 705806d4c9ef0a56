#pragma once
// The series table without its window: shots grouped into sighting and match series with their
// rows, captions, footers and totals, and the geometry the table is drawn in.
#include "series_cells.h"

#include <QRect>
#include <QSize>

#include <array>
#include <functional>
#include <vector>

namespace kavro::series {

// ----- the table

struct StatRow {
    std::array<Cell, kColumnCount> cells;
    QRect rect;
    ComPtr<IAiming> aiming;
    ComPtr<IShot> shot;
    ShotValues values;
    int number = 0;
    bool selected = false;
};

struct Serie {
    StatRow caption;
    std::array<StatRow, kMaxSeriesRows> rows;
    StatRow footer;
    std::vector<ComPtr<IAiming>> aimings; // what its control shows
    QRect rect;
    QRect controlRect;
    bool visible = true;
    Totals totals;
    int shotCount() const;
};

struct Group {
    Cell caption;
    std::vector<Serie> series;
    StatRow totals;
    QRect rect;
    bool visible = true;
    bool match = false;
    int shotCount() const;
};

// What the table shows: group 0 sighting, group 1 match.
struct SeriesTable {
    std::array<Group, 2> groups;
    ColumnFlags columns{};
    bool biathlon = false;
    int size = 10;

    SeriesTable() { groups[1].match = true; }
    void clear();
    // Rebuilds both groups from the shots (hidden ones only when shown) of a document's groups.
    void build(IShotCollection* sighting, IShotCollection* match, IAimingCollection* sightingAimings,
               IAimingCollection* matchAimings, const RowContext& ctx, int maxShotsPerSerie);
    // Puts a new shot into the first free row of its group's last series, or a new series.
    // Returns the group and series index, and whether the series is new.
    struct Placement {
        int group = 1;
        int serie = 0;
        bool created = false;
    };
    Placement addShot(IAiming* aiming, IShot* shot, const RowContext& ctx);
    // Numbers, footers, captions and totals of a group, with the texts to show.
    void format(int group, const TableTexts& texts, const QString& docText);
    void formatAll(const TableTexts& texts, const QString& docText);
    // Marks the rows of `shot` selected (and no other); the row found, or null.
    const StatRow* select(IShot* shot);
    const StatRow* rowOf(IShot* shot) const;
    // The row under a table point (rows grow by 2 pixels up and down), or null.
    const StatRow* hitTest(const QPoint& tablePoint) const;
};

// ----- geometry

constexpr int kCellGap = 3;
constexpr int kGridGap = 5;

// The fonts the table draws with: shot rows, caption/footer/totals rows, group captions.
enum class CellFont { Normal, Bold, Large };

// Shot-list layout. `measure` gives a cell's size with its padding in the font that draws it; `h`
// is the line height. The controls sit beside the table when the client is wide enough. Returns
// the table's extent.
struct ListLayout {
    QSize extent; // scroll range: width and height of everything
    bool controlsBeside = false;
    QSize control;
    std::array<int, kColumnCount> widths{};
};
ListLayout layoutShotList(SeriesTable& table, int clientWidth, int h, float biathlonRatio,
                          const std::function<QSize(const Cell&, CellFont)>& measure);

// Series-grid layout: the number of columns and the side of each square.
struct GridChoice {
    int columns = 0;
    int side = 0;
};
GridChoice chooseGrid(int n, int clientWidth, int clientHeight);
// The squares of n controls in the client area, gaps spread evenly.
std::vector<QRect> gridRects(int n, int clientWidth, int clientHeight);

// Scrolling steps.
constexpr int kLineStep = 10;
int pageStep(int clientExtent);
// Accumulates wheel deltas (120 a notch); returns the pixels to scroll down (negative: up).
class WheelAccumulator {
public:
    int add(int delta, int linesPerNotch);

private:
    int rest_ = 0;
};
// The scroll position that makes `row` visible within a page at `pos`.
int scrollToShow(int pos, int page, int top, int bottom);

// The common zoom of a group: the half extents that every breach (and trace) fits, rounded out
// to a ring of the event when one holds them.
QSizeF commonHalfExtent(IEventParams* event, float extentX, float extentY, bool advanced);

} // namespace kavro::series
