#pragma once
// The chart engine of the analysis views: series, markers, bands and axis ranges in data units,
// drawn with one routine onto any painter (window, printer, report picture) or only laid out for
// a hit test. The views decide what goes in; the engine stores and draws.
#include "gdi/gdi_types.h"

#include <QString>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

namespace kavro::charts {

struct ChartSeries {
    int id = 0;
    bool visible = true;
    bool printable = true; // false: drawn and listed on screen only
    int width = 0; // tenths of a point; 0 is the thinnest line
    COLORREF color = 0;
    QString name; // legend text; empty: no legend entry
    std::vector<std::pair<double, double>> points;
};

// A marker whose x is 0 or yAxisAt labels the vertical axis; else one whose y is 0 or xAxisAt
// labels the horizontal axis; any other is a free label. The comparison is exact.
struct ChartMarker {
    double x = 0;
    double y = 0;
    QString label;
    bool gridLine = true;
};

struct ChartBand {
    int id = 0; // only ids below 1 are drawn
    bool hidden = false;
    bool filled = false;
    int outlineWidth = 0; // device units
    COLORREF outlineColor = 0;
    COLORREF fillColor = 0;
    double x = 0, y = 0; // lower-left corner
    double width = 0, height = 0; // 0: the whole range of that axis
};

struct ChartFonts {
    GdiFont label;
    GdiFont caption;
    GdiFont verticalCaption; // drawn turned a quarter to the left
};

// What one Draw call works on. A null painter lays the chart out without painting (hit tests).
struct ChartDrawRequest {
    QPainter* painter = nullptr;
    GdiRect rect;
    int marginLeft = 5, marginTop = 5, marginRight = 5, marginBottom = 5;
    bool legend = true;
    bool printing = false;
    int dpiX = 96, dpiY = 96; // device units per inch, the fonts' and line widths' scale
    const ChartFonts* fonts = nullptr; // null: the chart's own screen fonts
    std::optional<GdiPoint> hitPoint; // set: find the series under this point
};

// A text Draw puts on the chart: an axis caption or a marker's label, in device units.
struct ChartLabel {
    enum class Role { XCaption, YCaption, Marker };
    Role role = Role::Marker;
    GdiRect box;
    QString text;
};

// Where Draw puts things, in device units.
struct ChartLayout {
    int lineHeight = 0;
    int ptX = 1, ptY = 1;
    int thick = 0;
    GdiRect legendStrip; // empty without a legend
    GdiRect drawArea; // series are clipped to it
    GdiRect plot; // the data ranges map onto it
    int growLeft = 0, growTop = 0, growRight = 0, growBottom = 0;
    // The captions and the labels that are drawn, none over another: a label that would cover a
    // caption or a label placed before it is left out.
    std::vector<ChartLabel> labels;
};

class CChartImpl {
public:
    CChartImpl();
    ~CChartImpl();
    CChartImpl(const CChartImpl&) = delete;
    CChartImpl& operator=(const CChartImpl&) = delete;

    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double xAxisAt = 0; // the y value the horizontal axis runs at
    double yAxisAt = 0; // the x value the vertical axis runs at
    int minLineWidth = 0; // tenths of a point
    QString xCaption, yCaption;

    bool AddSeries(int id, COLORREF color, int width, bool printable);
    ChartSeries* FindSeries(int id);
    const ChartSeries* FindSeries(int id) const;
    bool SetSeriesVisible(int id, bool visible);
    bool SetSeriesWidth(int id, int width);
    bool SetSeriesColor(int id, COLORREF color);
    bool SetSeriesName(int id, const QString& name);
    bool ClearSeries(int id);
    bool AddPoint(int id, double x, double y);
    void RemoveAllSeries();

    bool AddMarker(double x, double y, const QString& label, bool gridLine = true);
    void ClearMarkers();
    bool AddBand(int id, double x, double y, double width, double height, int outlineWidth, COLORREF outlineColor,
                 bool filled, COLORREF fillColor);
    void ClearBands();
    void Clear();

    // Makes the screen fonts for a display of `dpi` and the user interface's primary language
    // id (Chinese, Japanese and Korean captions are not made bold); `verticalFace` is the
    // localized face of the vertical caption.
    void OnCreate(int dpi = 96, int primaryLanguage = 9, const QString& verticalFace = QStringLiteral("Arial"));
    static ChartFonts MakeFonts(int dpi, int primaryLanguage, const QString& verticalFace);
    const ChartFonts& fonts() const { return fonts_; }

    // Draws (or, without a painter, only lays out) the chart. Returns the id of the first
    // visible series under the request's hit point, if any.
    std::optional<int> Draw(const ChartDrawRequest& request) const;
    ChartLayout Layout(const ChartDrawRequest& request) const;

    // Device position of a data point in a plot area.
    GdiPoint Map(const GdiRect& plot, double x, double y) const;

    const std::vector<ChartSeries>& series() const { return series_; }
    const std::vector<ChartMarker>& markers() const { return markers_; }
    const std::vector<ChartBand>& bands() const { return bands_; }

    enum class MarkerKind { VerticalAxis, HorizontalAxis, Free };
    MarkerKind KindOf(const ChartMarker& marker) const;

private:
    struct Metrics;
    Metrics measure(const ChartDrawRequest& request) const;
    void placeLabels(Metrics& metrics) const;
    GdiRect bandRect(const GdiRect& plot, const ChartBand& band) const;
    // The colour the chart shows at the centre of a box: a filled band's, else the background's.
    COLORREF backgroundAt(const GdiRect& plot, const GdiRect& box) const;
    bool drawn(const ChartSeries& s, bool printing) const;

    std::vector<ChartSeries> series_;
    std::vector<ChartMarker> markers_;
    std::vector<ChartBand> bands_;
    ChartFonts fonts_;
};

// A series' line thickness in device units: at least 1.
int seriesThickness(int widthTenthsPt, int dpiY);

} // namespace kavro::charts
