// What a shooter reads on every chart, on screen at a large and a small size and printed: each
// caption and label readable (within its chart, none over another, no curve over it), and the
// printed charts keeping the screen's ranges.
#include "app_options.h"
#include "chart_cell.h"
#include "chart_views.h"
#include "command_ids.h"
#include "command_line.h"
#include "kavro_doc.h"
#include "language_module.h"
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
#include <tuple>

using namespace kavro::charts;
using kavro::GdiRect;
using kavro::print::CPrintoutChartCell;
using kavro::print::PrintoutPages;

namespace {

const trainertest::TestEnvironment environment;

// The frame with a practice opened from its file, as a shooter opens one.
struct Frame {
    QTemporaryDir dir;
    std::unique_ptr<CMainFrame> frame;
    explicit Frame(const std::vector<charttest::AimingSpec>& specs = charttest::realPracticeSpecs(60),
                   const char* event = "AR10")
    {
        kavro::theAppOptions() = kavro::AppOptions();
        kavro::theAppOptions().AdvancedMode = true; // the analysis views belong to the expert mode
        const QString path = dir.filePath(QStringLiteral("practice.kavro"));
        infotest::savePractice(path, specs, event);
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
    bool oneTarget; // the pair of targets of biathlon has no such view
};
const Kind kKinds[]
    = {{"distance", Cmd::ViewDistance, 0, false},        {"coordination", Cmd::ViewCoordination, 1, false},
       {"time_shift", Cmd::ViewShift, 1, true},          {"speed", Cmd::ViewSpeed, 1, false},
       {"time_intervals", Cmd::ViewIntervals, 1, false}, {"probability", Cmd::ViewProbability, 2, true}};

bool intersects(const GdiRect& a, const GdiRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string nameOf(const ChartLabel& l)
{
    return l.text.toStdString();
}

// The texts laid out for a chart lie within its rectangle, none over another, and each value
// label beside a point of the plot: a value off the scale has no place to stand.
void expectReadable(const ChartLayout& l, const GdiRect& area)
{
    EXPECT_FALSE(l.labels.empty());
    for (size_t i = 0; i < l.labels.size(); ++i) {
        const GdiRect& a = l.labels[i].box;
        if (l.labels[i].role == ChartLabel::Role::Marker) {
            const kavro::GdiPoint p = l.labels[i].anchor;
            EXPECT_TRUE(p.x >= l.plot.left && p.x <= l.plot.right && p.y >= l.plot.top && p.y <= l.plot.bottom)
                << nameOf(l.labels[i]) << " for " << p.x << "," << p.y << " beside " << l.plot.left << "," << l.plot.top
                << ".." << l.plot.right << "," << l.plot.bottom;
        }
        EXPECT_TRUE(a.left >= area.left && a.top >= area.top && a.right <= area.right && a.bottom <= area.bottom)
            << nameOf(l.labels[i]) << " at " << a.left << "," << a.top << ".." << a.right << "," << a.bottom;
        for (size_t j = i + 1; j < l.labels.size(); ++j)
            EXPECT_FALSE(intersects(a, l.labels[j].box)) << nameOf(l.labels[i]) << " over " << nameOf(l.labels[j]);
    }
}

// The pixels of the texts' boxes that the curves change: a curve crossing a text must pass under
// it. (Colours cannot tell: a silver curve and the rim of a grey caption's glyphs share one.)
int curveInkOnTexts(const CChartImpl& chart, ChartDrawRequest r, const QSize& size)
{
    if (!r.fonts)
        r.fonts = &chart.fonts();
    CChartImpl bare;
    bare.xMin = chart.xMin, bare.xMax = chart.xMax, bare.yMin = chart.yMin, bare.yMax = chart.yMax;
    bare.xAxisAt = chart.xAxisAt, bare.yAxisAt = chart.yAxisAt, bare.minLineWidth = chart.minLineWidth;
    bare.xCaption = chart.xCaption, bare.yCaption = chart.yCaption;
    for (const ChartSeries& s : chart.series()) {
        bare.AddSeries(s.id, s.color, s.width, s.printable);
        bare.SetSeriesName(s.id, s.name);
        bare.SetSeriesVisible(s.id, false);
    }
    for (const ChartMarker& m : chart.markers())
        bare.AddMarker(m.x, m.y, m.label, m.gridLine);
    for (const ChartBand& b : chart.bands())
        if (!b.hidden)
            bare.AddBand(b.id, b.x, b.y, b.width, b.height, b.outlineWidth, b.outlineColor, b.filled, b.fillColor);
    auto draw = [&](const CChartImpl& c) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        r.painter = &painter;
        c.Draw(r);
        return image;
    };
    const QImage with = draw(chart), without = draw(bare);
    int ink = 0;
    for (const ChartLabel& label : chart.Layout(r).labels)
        for (int y = label.box.top; y < label.box.bottom; ++y)
            for (int x = label.box.left; x < label.box.right; ++x)
                ink += with.rect().contains(x, y) && with.pixel(x, y) != without.pixel(x, y);
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

// The practices whose charts differ in what they label: rings of a rifle and of a pistol target,
// the two targets of biathlon, and a practice without one breach.
struct Practice {
    const char* name;
    const char* event;
    std::vector<charttest::AimingSpec> specs;
};

std::vector<Practice> practices()
{
    std::vector<charttest::AimingSpec> missed = charttest::realPracticeSpecs(10);
    for (charttest::AimingSpec& s : missed)
        s.missed = true;
    return {{"air_rifle", "AR10", charttest::realPracticeSpecs(60)},
            {"air_pistol", "AP10", charttest::realPracticeSpecs(20)},
            {"smallbore_rifle", "SBR50", charttest::realPracticeSpecs(20)},
            {"rapid_fire", "SPF", charttest::realPracticeSpecs(20)},
            {"biathlon", "BTLN", infotest::biathlonSpecs()},
            {"all_missed", "AR10", missed}};
}

TEST(ChartTexts, EveryLabelIsReadableOnScreenAndInPrint)
{
    const QString dir = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(dir);
    auto& language = kavro::LanguageModule::instance();
    const QString savedFolder = language.languageFolder();
    language.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    const std::pair<int, const char*> languages[] = {{32809, "en"}, {32880, "de"}};
    for (const Practice& practice : practices()) {
        Frame f(practice.specs, practice.event);
        ASSERT_TRUE(f.frame);
        f.frame->show();
        for (const auto& [command, lang] : languages) {
            f.frame->OnCommand(command);
            const QString stem = dir + QStringLiteral("/chart_%1_%2").arg(practice.name, lang);
            for (const QSize size : {QSize(1920, 1080), QSize(800, 600)}) {
                f.frame->resize(size);
                for (const Kind& kind : kKinds) {
                    SCOPED_TRACE(std::string(practice.name) + " " + lang + " " + kind.name + " "
                                 + std::to_string(size.width()));
                    if (kind.oneTarget && std::string(practice.event) == "BTLN")
                        continue;
                    CChartViewBase* view = f.show(kind.command);
                    ASSERT_NE(view, nullptr);
                    for (CChartWindow* w : view->chartWindows()) {
                        const ChartDrawRequest r = w->screenRequest(nullptr);
                        const ChartLayout l = w->chart().Layout(r);
                        expectReadable(l, r.rect);
                        EXPECT_EQ(curveInkOnTexts(w->chart(), r, w->size()), 0);
                    }
                    f.frame->grab().save(
                        stem + QStringLiteral("_%1_%2x%3.png").arg(kind.name).arg(size.width()).arg(size.height()));
                }
            }

            // Printed through the program's own printing, read back from the PDF.
            SCOPED_TRACE(std::string(practice.name) + " " + lang + " printed");
            const QString pdf = stem + "_report.pdf";
            const int dpi = 300;
            const auto pages = kavro::print::PrintReport(f.frame->doc(), printtest::pdfGeometry(pdf, dpi), kCharts);
            ASSERT_TRUE(pages);
            ASSERT_TRUE(printtest::writePdf(pdf, dpi, *pages));
            std::vector<int> pageOf;
            const auto cells = chartCells(*pages, &pageOf);
            EXPECT_FALSE(cells.empty());
            for (size_t i = 0; i < cells.size(); ++i) {
                SCOPED_TRACE(i);
                const CPrintoutChartCell& c = *cells[i];
                const ChartLayout l = c.chart().Layout(c.request(nullptr));
                expectReadable(l, c.rect);
                EXPECT_EQ(curveInkOnTexts(c.chart(), c.request(nullptr), QSize(c.rect.right, c.rect.bottom)), 0);

                // The words poppler finds in the chart: none over another. Boxes are shrunk by a
                // quarter point, as neighbouring words of one caption touch.
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
                EXPECT_TRUE(printtest::savePagePng(pdf, page, stem + QString("_report_%1.png").arg(page)));
        }
        f.frame->OnCommand(32809);
    }
    language.setLanguageFolder(savedFolder);
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
