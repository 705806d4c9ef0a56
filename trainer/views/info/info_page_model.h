#pragma once
// The information page as data: every element of the page by its id, with its text, the model's
// text beside it and whether it shows. The widgets only render this; the printed report reads
// the same titles and figures.
#include "info_statistics.h"

#include <QString>
#include <map>
#include <optional>

class CKavroDoc;

namespace kavro::info {

struct PageElement {
    QString text;
    std::optional<QString> model; // shown after the text, in red, in parentheses
    bool visible = true;
};

class InfoPageModel {
public:
    void set(const QString& id, const QString& text, bool visible = true);
    void setModel(const QString& id, const QString& text);
    void show(const QString& id, bool visible);
    // Elements never set read as empty and visible.
    QString text(const QString& id) const;
    std::optional<QString> model(const QString& id) const;
    bool visible(const QString& id) const;

private:
    std::map<QString, PageElement> elements_;
};

// The title texts of the page in the interface language, by element id ("idResultTitle"...).
QString infoTitle(const QString& titleId);
// The ids of the 20 titles the printed report takes from the page.
const std::vector<QString>& infoTitleIds();

// One statistic as the page and the report write it; "n/a" where the value does not exist.
enum class Figure {
    ShotCount,
    ResultInt,
    ResultFractional,
    ResultAverage,
    ResultCentred,
    TotalTime,
    AvgTimePerShot,
    Intervals,
    IntervalStability,
    DiametralDispersion,
    StabilityOfAiming,
    AccuracyOfShooting,
    AvgSteadiness,
    AvgLen,
    AvgLenX,
    AvgLenY,
    EllipticalGroup,
    EllipticalTrace,
};
QString formatFigure(Figure figure, const InfoStatistics& s);
// One floating-point number by a printf `format` with a single conversion, written with the
// decimal mark of the interface language, as the texts beside it are.
QString decimalText(const char* format, double v);
// What stands in a cell whose figure does not exist, in the interface language.
QString notAvailableText();
// The control interval of the page ("%-5.1f sec").
QString formatControlInterval(float seconds);
// A date and time in the interface language; empty for 0.
QString formatDateTime(DATE date);

struct InfoColumns {
    std::optional<InfoStatistics> document;
    std::optional<InfoStatistics> model;
};
InfoColumns computeColumns(CKavroDoc& doc);

// Fills the page for the wrapper's state.
InfoPageModel BuildInfoPage(CKavroDoc& doc, const InfoColumns& columns);

} // namespace kavro::info
