// The chart engine: its records, the data-to-device mapping, the layout on screen and on a printer,
// what it paints and what a click hits.
#include "support/chart_fixture.h"

#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kavro;
using namespace kavro::charts;
using charttest::render;

namespace {

constexpr COLORREF kRed = 0x0000FF, kBlue = 0xFF0000;

// A chart with a 0..10 by 0..10 range and a bar series at x = 5.
void barChart(CChartImpl& c, int width = 25)
{
    c.xMin = 0;
    c.xMax = 10;
    c.yMin = 0;
    c.yMax = 10;
    c.AddSeries(1, kRed, width, true);
    c.AddPoint(1, 5, 0);
    c.AddPoint(1, 5, 8);
}

ChartDrawRequest screen(int w, int h)
{
    ChartDrawRequest r;
    r.rect = {0, 0, w, h};
    return r;
}

int columnsOfColour(const QImage& image, int y, QRgb colour)
{
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        n += image.pixel(x, y) == colour;
    return n;
}

} // namespace

TEST(ChartRecords, LookupsByIdChangeOnlyTheFirstSeriesOfThatId)
{
    CChartImpl c;
    EXPECT_FALSE(c.AddPoint(3, 1, 1));
    EXPECT_FALSE(c.SetSeriesVisible(3, false));
    EXPECT_FALSE(c.SetSeriesName(3, QStringLiteral("x")));
    EXPECT_FALSE(c.ClearSeries(3));
    c.AddSeries(3, kRed, 15, true);
    c.AddSeries(3, kBlue, 15, true);
    EXPECT_TRUE(c.AddPoint(3, 1, 2));
    ASSERT_EQ(c.series().size(), 2u);
    EXPECT_EQ(c.series()[0].points.size(), 1u);
    EXPECT_TRUE(c.series()[1].points.empty());
    c.Clear();
    EXPECT_TRUE(c.series().empty());
    EXPECT_FALSE(c.Draw(screen(100, 100)).has_value()); // an empty chart draws nothing
}

TEST(ChartRecords, MarkerKindIsDecidedByExactComparison)
{
    CChartImpl c;
    c.xAxisAt = 2;
    c.yAxisAt = -1;
    EXPECT_EQ(c.KindOf({0, 0, {}, true}), CChartImpl::MarkerKind::VerticalAxis); // x = 0 wins
    EXPECT_EQ(c.KindOf({-1, 5, {}, true}), CChartImpl::MarkerKind::VerticalAxis);
    EXPECT_EQ(c.KindOf({3, 0, {}, true}), CChartImpl::MarkerKind::HorizontalAxis);
    EXPECT_EQ(c.KindOf({3, 2, {}, true}), CChartImpl::MarkerKind::HorizontalAxis);
    EXPECT_EQ(c.KindOf({3, 2.0000001, {}, true}), CChartImpl::MarkerKind::Free);
}

TEST(ChartMapping, RangeEndsMapToThePlotCornersAndFlatRangesStayFinite)
{
    CChartImpl c;
    c.xMin = -1;
    c.xMax = 0.3;
    c.yMin = 0;
    c.yMax = 50;
    const GdiRect plot{10, 20, 110, 220};
    EXPECT_EQ(c.Map(plot, -1, 0), (GdiPoint{10, 220}));
    EXPECT_EQ(c.Map(plot, 0.3, 50), (GdiPoint{109, 21}));
    // One shot, constant data: no division by zero, every point at the start of the axis.
    c.xMin = c.xMax = 4;
    c.yMin = c.yMax = 0;
    EXPECT_EQ(c.Map(plot, 4, 0), (GdiPoint{10, 220}));
    const GdiPoint far = c.Map(plot, 5, 1);
    EXPECT_GT(far.x, 10);
    EXPECT_LT(far.y, 220);
}

TEST(ChartMapping, OleDatesKeepSecondsWithinADay)
{
    CChartImpl c;
    c.xMin = 46000.5;
    c.xMax = 46000.5 + 60.0 / 86400; // one minute
    const GdiRect plot{0, 0, 601, 10};
    // Ten seconds is a tenth of the plot: 60 units; a float of the date would lose it.
    EXPECT_EQ(c.Map(plot, 46000.5 + 10.0 / 86400, 0).x, 100);
    EXPECT_EQ(c.Map(plot, 46000.5 + 11.0 / 86400, 0).x, 110);
}

TEST(ChartDrawing, TwoPointsOnOneVerticalAreABarOfTheSeriesThickness)
{
    CChartImpl c;
    barChart(c, 25); // 2.5 pt
    const QImage image = render(c, 400, 300);
    const int w = seriesThickness(25, 96);
    EXPECT_EQ(w, 3);
    const ChartLayout l = c.Layout(screen(400, 300));
    const int y = (l.plot.top + l.plot.bottom) / 2 + 20;
    EXPECT_EQ(columnsOfColour(image, y, qRgb(255, 0, 0)), w);
    // At 300 dpi the same bar is ten device units wide.
    const QImage print = render(c, 1250, 938, 300);
    EXPECT_EQ(columnsOfColour(print, 938 / 2 + 60, qRgb(255, 0, 0)), seriesThickness(25, 300));
    EXPECT_EQ(seriesThickness(25, 300), 10);
}

TEST(ChartDrawing, ABandWithoutSizeFillsThePlot)
{
    CChartImpl c;
    barChart(c);
    c.AddBand(0, 0, 0, 0, 0, 1, 0xC0C0C0, true, 0x00FFFF); // yellow
    c.AddBand(1, 0, 0, 0, 0, 1, 0, true, 0x00FF00); // id 1: not drawn
    const QImage image = render(c, 400, 300);
    const ChartLayout l = c.Layout(screen(400, 300));
    EXPECT_EQ(image.pixel(l.plot.left + 3, l.plot.top + 3), qRgb(255, 255, 0));
    EXPECT_EQ(image.pixel(l.plot.right - 4, l.plot.bottom - 4), qRgb(255, 255, 0));
    EXPECT_EQ(image.pixel(l.plot.left - 3, l.plot.top + 3), qRgb(255, 255, 255));
}

TEST(ChartDrawing, ScreenOnlySeriesAreLeftOutOfPrintsAndTheirLegend)
{
    CChartImpl c;
    barChart(c);
    c.AddSeries(2, kBlue, 15, false);
    c.AddPoint(2, 2, 0);
    c.AddPoint(2, 2, 9);
    c.SetSeriesName(2, QStringLiteral("Model"));
    const ChartLayout onScreen = c.Layout(screen(400, 300));
    EXPECT_FALSE(onScreen.legendStrip.isEmpty());
    EXPECT_GT(columnsOfColour(render(c, 400, 300), 150, qRgb(0, 0, 255)), 0);

    ChartDrawRequest print = screen(400, 300);
    print.printing = true;
    print.legend = false;
    EXPECT_TRUE(c.Layout(print).legendStrip.isEmpty());
    EXPECT_EQ(columnsOfColour(render(c, 400, 300, 96, true), 150, qRgb(0, 0, 255)), 0);
    EXPECT_GT(columnsOfColour(render(c, 400, 300, 96, true), 150, qRgb(255, 0, 0)), 0);
}

TEST(ChartLayoutTest, LabelsOutsideTheDrawableRectangleNeitherDrawNorGrowMargins)
{
    CChartImpl c;
    barChart(c);
    c.yAxisAt = 10; // the vertical axis on the right: its labels hang out of the plot
    c.AddMarker(10, 5, QStringLiteral("5"), true);
    const ChartLayout before = c.Layout(screen(400, 300));
    EXPECT_GT(before.growRight, 0);
    c.AddMarker(1e6, 0, QStringLiteral("far away"), true);
    c.AddMarker(5, -1e6, QStringLiteral("far below"), true);
    const ChartLayout after = c.Layout(screen(400, 300));
    EXPECT_EQ(after.plot, before.plot);
    // A label hanging below the plot grows the bottom margin by its overflow and two points.
    c.AddMarker(5, 0, QStringLiteral("5"), true);
    const ChartLayout grown = c.Layout(screen(400, 300));
    EXPECT_GT(grown.growBottom, 0);
    EXPECT_LT(grown.plot.bottom, before.plot.bottom);
}

TEST(ChartDrawing, NothingOfAValueFarOutsideTheRangeLandsBesideTheChart)
{
    // As in a printed report: the chart gets a band of a larger page and nothing clips it.
    CChartImpl c;
    barChart(c);
    c.AddMarker(0, 15, QString(), true); // far above the range
    c.AddMarker(0, -5, QStringLiteral("-5"), true); // far below it
    c.AddMarker(25, 0, QString(), true); // far to the right
    QImage page(600, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        ChartDrawRequest r = screen(400, 300);
        r.rect = {0, 150, 400, 450};
        r.painter = &painter;
        r.printing = true;
        r.legend = false;
        c.Draw(r);
    }
    const int h = c.Layout(screen(400, 300)).lineHeight;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (y < 150 - h / 2 || y >= 450 + h / 2 || x >= 400 + h / 2) {
                ASSERT_EQ(page.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
            }
        }
    }
}

TEST(ChartLayoutTest, PrinterAndScreenLayoutsAgreeScaled)
{
    CChartImpl c;
    barChart(c);
    c.xCaption = QStringLiteral("Time before shot (sec)");
    c.yCaption = QStringLiteral("Distance");
    for (int v = 1; v <= 10; ++v)
        c.AddMarker(0, v, QString::number(v), true);
    for (int v = 1; v <= 9; ++v)
        c.AddMarker(v, 0, QString::number(v), true);
    ChartDrawRequest s = screen(960, 540);
    s.legend = false;
    s.printing = true;
    s.marginLeft = s.marginTop = s.marginRight = s.marginBottom = 0;
    const ChartFonts screenFonts = CChartImpl::MakeFonts(96, 9, QStringLiteral("Arial"));
    const ChartFonts printFonts = CChartImpl::MakeFonts(300, 9, QStringLiteral("Arial"));
    s.fonts = &screenFonts;
    ChartDrawRequest p = s;
    p.rect = {0, 0, 3000, 1688};
    p.dpiX = p.dpiY = 300;
    p.fonts = &printFonts;
    const ChartLayout a = c.Layout(s), b = c.Layout(p);
    const double k = 300.0 / 96;
    EXPECT_NEAR(b.plot.left, a.plot.left * k, 3 * k);
    EXPECT_NEAR(b.plot.right, a.plot.right * k, 3 * k);
    EXPECT_NEAR(b.plot.top, a.plot.top * k, 3 * k);
    EXPECT_NEAR(b.plot.bottom, a.plot.bottom * k, 3 * k);

    // The same chart prints into a PDF with its labels as text.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setResolution(300);
        QPainter painter(&writer);
        p.painter = &painter;
        p.rect = {0, 0, painter.device()->width(), painter.device()->height() / 2};
        c.Draw(p);
    }
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(words.contains(QStringLiteral("Time before shot (sec)"))) << words.toStdString();
    EXPECT_TRUE(words.contains(QStringLiteral("Distance"))) << words.toStdString(); // the turned caption
}

TEST(ChartHitTest, APointOnABarHitsItAndJustBesideOrBeyondItDoesNot)
{
    CChartImpl c;
    barChart(c, 25);
    c.AddSeries(2, kBlue, 0, true); // a horizontal line at y = 9 from x = 1 to 3
    c.AddPoint(2, 1, 9);
    c.AddPoint(2, 3, 9);
    ChartDrawRequest r = screen(400, 300);
    const ChartLayout l = c.Layout(r);
    const GdiPoint bottom = c.Map(l.plot, 5, 0), top = c.Map(l.plot, 5, 8);
    const int reach = seriesThickness(25, 96) / 2 + 1;
    auto hit = [&](int x, int y) {
        r.hitPoint = GdiPoint{x, y};
        return c.Draw(r);
    };
    EXPECT_EQ(hit(bottom.x, (bottom.y + top.y) / 2), 1);
    EXPECT_EQ(hit(bottom.x + reach, (bottom.y + top.y) / 2), 1);
    EXPECT_FALSE(hit(bottom.x + reach + 1, (bottom.y + top.y) / 2).has_value());
    EXPECT_EQ(hit(bottom.x, top.y), 1);
    EXPECT_FALSE(hit(bottom.x, top.y - 1).has_value()); // above the bar's end
    const GdiPoint h0 = c.Map(l.plot, 1, 9), h1 = c.Map(l.plot, 3, 9);
    EXPECT_EQ(hit((h0.x + h1.x) / 2, h0.y + 1), 2);
    EXPECT_FALSE(hit((h0.x + h1.x) / 2, h0.y + 3).has_value());
    EXPECT_FALSE(hit(h1.x + 1, h0.y).has_value());
    c.SetSeriesVisible(1, false);
    EXPECT_FALSE(hit(bottom.x, (bottom.y + top.y) / 2).has_value());
}
