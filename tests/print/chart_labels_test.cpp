// What a shooter reads on every chart, on screen at a large and a small size and printed: each
// caption and label readable (within its chart, none over another, no curve over it), and the
// printed charts keeping the screen's ranges.
#include "app_options.h"
#include "chart_cell.h"
#include "chart_views.h"
#include "command_ids.h"
#include "command_line.h"
#include "kavro_doc.h"
#include "main_frame.h"
#include "print_support.h"
#include "report.h"
#include "support/info_shooting.h"
#include "run_main_frame.h"
#include "support/practice_builder.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <tuple>

using namespace kavro::charts;
using kavro::GdiRect;
using kavro::print::CPrintoutChartCell;
using kavro::print::PrintoutPages;

namespace {

const trainertest::TestEnvironment environment;

// The frame with a practice of 60 shots opened from its file, as a shooter opens one.
struct Frame {
    QTemporaryDir dir;
    std::unique_ptr<CMainFrame> frame;
    Frame()
    {
        kavro::theAppOptions() = kavro::AppOptions();
        kavro::theAppOptions().AdvancedMode = true; // the analysis views belong to the expert mode
        const QString path = dir.filePath(QStringLiteral("practice.kavro"));
        infotest::savePractice(path, charttest::realPracticeSpecs(60));
        int code = 0;
        frame = CreateMainFrame(ParseCommandLine({path}), &code);
    }
    ~Frame() { kavro::theAppOptions() = kavro::AppOptions(); }
    CChartViewBase* show(int command)
    {
        frame->ShowView(command);
        QApplication::processEvents();
        for (QWidget* w : frame->findChildren<QWidget*>())
            if (auto* v = dynamic_cast<CChartViewBase*>(w); v && v->isVisible())
                return v;
        return nullptr;
    }
};

// The views in the order the report prints their charts; `printed` is how many of its charts the
// report holds (the distance view is not printed, the speed view prints its upper chart).
struct Kind {
    const char* name;
    int command;
    size_t printed;
};
const Kind kKinds[] = {{"distance", Cmd::ViewDistance, 0},        {"coordination", Cmd::ViewCoordination, 1},
                       {"time_shift", Cmd::ViewShift, 1},         {"speed", Cmd::ViewSpeed, 1},
                       {"time_intervals", Cmd::ViewIntervals, 1}, {"probability", Cmd::ViewProbability, 2}};

bool intersects(const GdiRect& a, const GdiRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string nameOf(const ChartLabel& l)
{
    return l.text.toStdString();
}

// The texts laid out for a chart lie within its rectangle and none over another.
void expectReadable(const ChartLayout& l, const GdiRect& area)
{
    EXPECT_FALSE(l.labels.empty());
    for (size_t i = 0; i < l.labels.size(); ++i) {
        const GdiRect& a = l.labels[i].box;
        EXPECT_TRUE(a.left >= area.left && a.top >= area.top && a.right <= area.right && a.bottom <= area.bottom)
            << nameOf(l.labels[i]) << " at " << a.left << "," << a.top << ".." << a.right << "," << a.bottom;
        for (size_t j = i + 1; j < l.labels.size(); ++j)
            EXPECT_FALSE(intersects(a, l.labels[j].box)) << nameOf(l.labels[i]) << " over " << nameOf(l.labels[j]);
    }
}

// Pixels of a curve's colour inside the texts' boxes: a curve crossing a text must pass under it.
int curveInkOnTexts(const QImage& image, const CChartImpl& chart, const ChartLayout& l)
{
    std::set<QRgb> colours;
    for (const ChartSeries& s : chart.series())
        if (s.visible && s.points.size() >= 2)
            colours.insert(qRgb(s.color & 0xFF, (s.color >> 8) & 0xFF, (s.color >> 16) & 0xFF));
    int ink = 0;
    for (const ChartLabel& label : l.labels)
        for (int y = label.box.top; y < label.box.bottom; ++y)
            for (int x = label.box.left; x < label.box.right; ++x)
                ink += image.rect().contains(x, y) && colours.count(image.pixel(x, y) | 0xFF000000u);
    return ink;
}

std::vector<const CPrintoutChartCell*> chartCells(const PrintoutPages& pages, std::vector<int>* pageOf = nullptr)
{
    std::vector<const CPrintoutChartCell*> cells;
    for (size_t p = 0; p < pages.size(); ++p)
        for (const auto& cell : pages[p].cells)
            if (auto* c = dynamic_cast<const CPrintoutChartCell*>(cell.get())) {
                cells.push_back(c);
                if (pageOf)
                    pageOf->push_back(int(p) + 1);
            }
    return cells;
}

const kavro::print::ReportSections kCharts{false, false, false, true, true, true, true, true};

} // namespace

TEST(ChartTexts, EveryLabelIsReadableOnScreenAndInPrint)
{
    Frame f;
    ASSERT_TRUE(f.frame);
    f.frame->show();
    const QString dir = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(dir);
    for (const QSize size : {QSize(1920, 1080), QSize(800, 600)}) {
        f.frame->resize(size);
        for (const Kind& kind : kKinds) {
            SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(size.width()));
            CChartViewBase* view = f.show(kind.command);
            ASSERT_NE(view, nullptr);
            for (CChartWindow* w : view->chartWindows()) {
                const ChartDrawRequest r = w->screenRequest(nullptr);
                const ChartLayout l = w->chart().Layout(r);
                expectReadable(l, r.rect);
                QImage image(w->size(), QImage::Format_RGB32);
                w->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
                EXPECT_EQ(curveInkOnTexts(image, w->chart(), l), 0);
            }
            f.frame->grab().save(dir
                                 + QStringLiteral("/chart_%1_%2x%3.png")
                                       .arg(QLatin1String(kind.name))
                                       .arg(size.width())
                                       .arg(size.height()));
        }
    }

    // Printed through the program's own printing, read back from the PDF.
    const QString pdf = dir + "/report_charts.pdf";
    const int dpi = 300;
    const auto pages = kavro::print::PrintReport(f.frame->doc(), printtest::pdfGeometry(pdf, dpi), kCharts);
    ASSERT_TRUE(pages);
    ASSERT_TRUE(printtest::writePdf(pdf, dpi, *pages));
    std::vector<int> pageOf;
    const auto cells = chartCells(*pages, &pageOf);
    ASSERT_EQ(cells.size(), 6u);
    for (size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(i);
        const CPrintoutChartCell& c = *cells[i];
        const ChartLayout l = c.chart().Layout(c.request(nullptr));
        expectReadable(l, c.rect);
        QImage image(int(c.rect.right), int(c.rect.bottom), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            c.Draw(&painter);
        }
        EXPECT_EQ(curveInkOnTexts(image, c.chart(), l), 0);

        // The words poppler finds in the chart: none over another. Boxes are shrunk by a quarter
        // point, as neighbouring words of one caption touch.
        const double toPt = 72.0 / dpi;
        const QRectF area(c.rect.left * toPt, c.rect.top * toPt, c.rect.width() * toPt, c.rect.height() * toPt);
        std::vector<printtest::PdfWord> words;
        for (const printtest::PdfWord& word : printtest::pdfWords(pdf, pageOf[i]))
            if (area.contains(word.box.center()))
                words.push_back(word);
        EXPECT_GE(words.size(), l.labels.size());
        for (size_t a = 0; a < words.size(); ++a)
            for (size_t b = a + 1; b < words.size(); ++b)
                EXPECT_FALSE(words[a].box.adjusted(0.25, 0.25, -0.25, -0.25).intersects(words[b].box))
                    << words[a].text.toStdString() << " over " << words[b].text.toStdString();
    }
    for (int page = 1; page <= int(pages->size()); ++page)
        EXPECT_TRUE(printtest::savePagePng(pdf, page, dir + QString("/report_charts_%1.png").arg(page)));
}

// Paper and screen show one practice alike: a curve leaving a fixed range is cut off on both.
TEST(ChartTexts, PrintedChartsKeepTheScreensRanges)
{
    Frame f;
    ASSERT_TRUE(f.frame);
    f.frame->resize(1200, 800);
    f.frame->show();
    const auto pages = kavro::print::PrintReport(
        f.frame->doc(), kavro::print::computePageGeometry(2480, 3508, 300, 300, 0, 0, {}), kCharts);
    ASSERT_TRUE(pages);
    const auto cells = chartCells(*pages);
    size_t next = 0;
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        CChartViewBase* view = f.show(kind.command);
        ASSERT_NE(view, nullptr);
        const auto windows = view->chartWindows();
        for (size_t i = 0; i < kind.printed; ++i, ++next) {
            ASSERT_LT(next, cells.size());
            const CChartImpl& screen = windows[i]->chart();
            const CChartImpl& paper = cells[next]->chart();
            EXPECT_EQ(std::tuple(paper.xMin, paper.xMax, paper.yMin, paper.yMax),
                      std::tuple(screen.xMin, screen.xMax, screen.yMin, screen.yMax))
                << "chart " << i << ": " << paper.yMin << ".." << paper.yMax << " printed, " << screen.yMin << ".."
                << screen.yMax << " on screen";
        }
    }
    EXPECT_EQ(next, cells.size());
}
