#pragma once
// The series table's cells without the table: which columns show, one shot's measures, the texts
// and flags of shot, footer and caption rows, and the sums of a series or group.
#include "gdi/metafile.h"
#include "gdi/picture.h"
#include "kavrodoc.h"

#include <QRect>
#include <QString>

#include <array>
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
// The texts in the interface language.
TableTexts loadTableTexts();

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

} // namespace kavro::series
