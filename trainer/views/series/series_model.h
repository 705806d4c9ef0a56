#pragma once
// The series table without its window: shots grouped into sighting and match series, each shot's
// measures and texts, series footers and group totals, and the geometry the table is drawn in.
#include "gdi/metafile.h"
#include "gdi/picture.h"
#include "kavrodoc.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace kavro {
class AppOptions;
}

namespace kavro::series {

enum Column : int {
    ColNumber,
    ColResult,
    ColTime,
    Col6a0,
    Col9a0,
    Col10Centre,
    Col10p5Centre,
    Col10a0,
    Col10a5,
    ColSpeed,
    ColSpeed250,
    ColDistance,
    kColumnCount
};
using ColumnFlags = std::array<bool, kColumnCount>;

// Which columns show: in normal mode "#", "Result" and "Time"; in advanced mode the options;
// never the steadiness columns for biathlon.
ColumnFlags visibleColumns(const AppOptions& options, bool biathlon);
// Shares of the trace around its average aiming point are worked out only when one of them shows.
bool aimingPointSharesShown(const ColumnFlags& shown);

constexpr int kMaxSeriesRows = 10;
// Rows of a series: the event's shots per series within 1..10 (below 1 counts as 10).
int seriesSize(int maxShotsPerSerie);
// The number a shot shows: its position for biathlon, else counted on across the group.
int shotNumber(bool biathlon, int seriesIndex, int size, int position); // both 1-based

// Shots of a group in consecutive series of `size`: the first index of each series.
std::vector<int> seriesStarts(int shotCount, int size);

// The texts the table loads.
struct TableTexts {
    std::array<QString, kColumnCount> captions;
    QString missed;
    QString dash = QStringLiteral("-");
    QString groupFormat; // "%1%2, %3!d! shot(s)"
    QString sighting;
    QString match;
};

struct ShotValues {
    bool present = false; // the row holds a shot
    bool missed = false;
    bool grey = false; // a sighting shot
    float breachX = 0, breachY = 0;
    float aapX = 0, aapY = 0;
    float distance = 0;
    float result = 0;
    float speed = 0;
    float speed250 = 0;
    double aimingTime = 0; // days, rounded to 0.1 s
    std::array<float, 6> shares{}; // columns 3..8
    int nearestArea = 0; // biathlon: the area nearest the breach
    int hitArea = -1; // biathlon: the area the shot hit (its AreaIndex)
};

struct RowContext {
    IEventParams* event = nullptr;
    float traceSeconds = 1.0f;
    int fCoefficient = 0;
    bool biathlon = false;
    bool aapShares = true;
    bool showHidden = false;
};

// The measures of one shot of `aiming` (sighting or match from the aiming's attributes).
ShotValues computeShotValues(IAiming* aiming, IShot* shot, const RowContext& ctx);
// Aiming time as the column shows it: the seconds within the hour of the time, "%02.1f".
QString aimingTimeText(double days);
double roundToTenthSecond(double days);

struct Cell {
    QString text;
    bool visible = true;
    bool selected = false;
    bool highlight = false; // a share of 100: red
    bool grey = false;
    bool picture = false; // biathlon result: the five targets instead of the text
    int hitArea = -1, nearestArea = 0;
    QRect rect;
};

// The five targets of a biathlon stand in a row: the one nearest the shot white when the shot hit
// it, black when it missed; none marked for an area outside 1..5.
Metafile DrawFiveTargetSchematic(int hitArea, int nearestArea);

// Texts and flags of a shot row numbered k.
std::array<Cell, kColumnCount> shotRowCells(const ShotValues& v, int k, bool biathlon, const TableTexts& texts);

// Sums of a series or a group; averaged (but the result sums) when more than one shot counts.
struct Totals {
    int count = 0;
    double resultSum = 0;
    int integerSum = 0;
    double speed = 0, speed250 = 0;
    double aimingTime = 0;
    std::array<double, 6> shares{};
    double distance = 0;
    double breachX = 0, breachY = 0;
};
Totals totalsOf(const std::vector<const ShotValues*>& shots, bool biathlon);
std::array<Cell, kColumnCount> footerCells(const Totals& t, bool biathlon);
QString seriesCaption(int seriesNumber, const Totals& t); // "#%i %3.1f (%i)"
QString groupCaption(const QString& format, const QString& groupName, const QString& docText, int shots);

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
    int m_rest = 0;
};
// The scroll position that makes `row` visible within a page at `pos`.
int scrollToShow(int pos, int page, int top, int bottom);

// The common zoom of a group: the half extents that every breach (and trace) fits, rounded out
// to a ring of the event when one holds them.
QSizeF commonHalfExtent(IEventParams* event, float extentX, float extentY, bool advanced);

} // namespace kavro::series
