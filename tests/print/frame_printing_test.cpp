// The whole road in the frame: F4 shows the information page of an opened practice, and File >
// Print preview shows the report in the frame's preview mode, page by page.
#include "app_options.h"
#include "chart_views.h"
#include "chart_window.h"
#include "command_ids.h"
#include "command_line.h"
#include "support/info_shooting.h"
#include "info_view.h"
#include "kavro_doc.h"
#include "kavro_hints.h"
#include "language_module.h"
#include "main_frame.h"
#include "print_support.h"
#include "report_printing.h"
#include "res_strings.h"
#include "run_main_frame.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The frame as the program starts it with a practice of `shots` named on its command line.
auto frameOnPractice(const QString& path, int shots)
{
    infotest::savePractice(path, charttest::realPracticeSpecs(shots));
    int code = 0;
    return CreateMainFrame(ParseCommandLine({path}), &code);
}

} // namespace

TEST(FramePrinting, InformationPageOnF4AndTheReportInPreview)
{
    kavro::theAppOptions() = kavro::AppOptions();
    QTemporaryDir dir;
    auto frame = frameOnPractice(dir.filePath(QStringLiteral("practice.kavro")), 30);
    ASSERT_TRUE(frame);
    frame->resize(1200, 900);
    frame->show();
    QApplication::processEvents();

    ASSERT_NE(frame->commands().action(Cmd::ViewInfo), nullptr);
    EXPECT_EQ(frame->commands().action(Cmd::ViewInfo)->shortcut(), QKeySequence(Qt::Key_F4));
    frame->ShowView(Cmd::ViewInfo);
    kavro::info::CInfoView* info = nullptr;
    for (QWidget* w : frame->findChildren<QWidget*>())
        if (auto* v = dynamic_cast<kavro::info::CInfoView*>(w); v && v->isVisible())
            info = v;
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->page().text("idShotCount"), "30");
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    EXPECT_TRUE(frame->grab().save(screens + "/frame_info_page.png"));

    // For review: every view of the frame with the practice, and the series grid.
    const std::pair<int, const char*> views[]
        = {{Cmd::ViewDistance, "distance"},        {Cmd::ViewCoordination, "coordination"},
           {Cmd::ViewShift, "time_shift"},         {Cmd::ViewSpeed, "speed"},
           {Cmd::ViewIntervals, "time_intervals"}, {Cmd::ViewProbability, "probability"}};
    for (const auto& [command, name] : views) {
        frame->ShowView(command);
        QApplication::processEvents();
        EXPECT_TRUE(frame->grab().save(screens + "/frame_" + name + ".png"));
    }
    frame->OnCommand(Cmd::Series);
    QApplication::processEvents();
    EXPECT_TRUE(frame->grab().save(screens + "/frame_series_grid.png"));
    frame->OnCommand(Cmd::ShotList);
    frame->ShowView(Cmd::ViewInfo);
    QApplication::processEvents();

    ASSERT_TRUE(frame->commands().action(Cmd::PrintPreview)->isEnabled());
    frame->OnCommand(Cmd::PrintPreview);
    ASSERT_TRUE(frame->panes().previewOpen());
    auto* preview = frame->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(preview, nullptr);
    QApplication::processEvents();
    auto* printing = dynamic_cast<kavro::print::CReportPrinting*>(reportPrinting());
    ASSERT_NE(printing, nullptr);
    EXPECT_EQ(preview->pageCount(), int(printing->pages().size()));
    frame->OnCommand(Cmd::NextPage);
    EXPECT_EQ(preview->currentPage(), 2);
    EXPECT_TRUE(frame->grab().save(screens + "/frame_print_preview.png"));
    frame->OnCommand(Cmd::ClosePreview);
    EXPECT_FALSE(frame->panes().previewOpen());

    // A change made while no preview is open reaches the next one.
    ASSERT_TRUE(printtest::hasText(printing->pages(), "Anna"));
    CKavroDoc& doc = frame->doc();
    ASSERT_TRUE(SUCCEEDED(doc.document()->put_ShooterName(QStringLiteral("Berta"))));
    doc.UpdateAllViews(nullptr, KavroHint::ShooterName);
    frame->OnCommand(Cmd::PrintPreview);
    ASSERT_TRUE(frame->panes().previewOpen());
    EXPECT_TRUE(printtest::hasText(printing->pages(), "Berta"));
    EXPECT_FALSE(printtest::hasText(printing->pages(), "Anna"));
    frame->OnCommand(Cmd::ClosePreview);

    // For review: the real views read right to left in Arabic.
    auto& language = kavro::LanguageModule::instance();
    const QString savedFolder = language.languageFolder();
    language.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    frame->OnCommand(32876);
    frame->ShowView(Cmd::ViewInfo);
    QApplication::processEvents();
    EXPECT_TRUE(frame->grab().save(screens + "/frame_arabic_info_page.png"));
    frame->ShowView(Cmd::ViewDistance);
    QApplication::processEvents();
    EXPECT_TRUE(frame->grab().save(screens + "/frame_arabic_distance.png"));
    frame->OnCommand(32809);
    language.setLanguageFolder(savedFolder);
    frame->close();
}

TEST(FramePrinting, TheDistanceChartsLabelOnlyValuesOnTheirScale)
{
    kavro::theAppOptions() = kavro::AppOptions();
    QTemporaryDir dir;
    auto frame = frameOnPractice(dir.filePath(QStringLiteral("practice.kavro")), 30);
    ASSERT_TRUE(frame);
    frame->resize(800, 600);
    frame->show();
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    const std::pair<int, const char*> views[]
        = {{Cmd::ViewDistance, "distance"}, {Cmd::ViewCoordination, "coordination"}};
    for (const auto& [command, name] : views) {
        SCOPED_TRACE(name);
        frame->ShowView(command);
        QApplication::processEvents();
        kavro::charts::CChartViewBase* view = nullptr;
        for (QWidget* w : frame->findChildren<QWidget*>())
            if (auto* v = dynamic_cast<kavro::charts::CChartViewBase*>(w); v && v->isVisible())
                view = v;
        ASSERT_NE(view, nullptr);
        // Every value label of the vertical axis stands beside the plot, level with a point of it.
        for (kavro::charts::CChartWindow* window : view->chartWindows()) {
            const kavro::charts::CChartImpl& chart = window->chart();
            const kavro::charts::ChartLayout layout = chart.Layout(window->screenRequest(nullptr));
            ASSERT_GT(layout.plot.height(), 20);
            int labels = 0;
            for (const kavro::charts::ChartMarker& m : chart.markers()) {
                if (m.label.isEmpty() || chart.KindOf(m) != kavro::charts::CChartImpl::MarkerKind::VerticalAxis)
                    continue;
                ++labels;
                const int y = chart.Map(layout.plot, m.x, m.y).y;
                EXPECT_TRUE(y >= layout.plot.top && y <= layout.plot.bottom)
                    << m.label.toStdString() << " at " << y << " beside " << layout.plot.top << ".."
                    << layout.plot.bottom;
            }
            EXPECT_GT(labels, 2);
        }
        EXPECT_TRUE(frame->grab().save(screens + "/frame_" + name + "_800x600.png"));
    }
    frame->close();
}

TEST(FramePrinting, ASmallWindowInALongLanguageKeepsTheActiveViewsTabAndPrintInSight)
{
    kavro::theAppOptions() = kavro::AppOptions();
    kavro::theAppOptions().AdvancedMode = true; // every view has its tab, the shot list its pane
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("practice.kavro"));
    infotest::savePractice(path, charttest::realPracticeSpecs(12));
    auto& language = kavro::LanguageModule::instance();
    const QString savedFolder = language.languageFolder();
    language.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    int code = 0;
    auto frame = CreateMainFrame(ParseCommandLine({path}), &code);
    ASSERT_TRUE(frame);
    frame->OnCommand(32810); // Russian
    frame->resize(800, 600);
    frame->show();
    QApplication::processEvents();
    // The button of a command on a tool bar, shown whole within the bar.
    auto inSight = [&](int command) {
        for (QToolBar* bar : frame->findChildren<QToolBar*>())
            for (QAction* a : bar->actions())
                if (a->data().toInt() == command && bar->isVisible())
                    if (QWidget* button = bar->widgetForAction(a))
                        return button->isVisible() && bar->rect().contains(button->geometry());
        return false;
    };
    const int views[] = {Cmd::ViewInfo,  Cmd::ViewTrace, Cmd::ViewDistance,  Cmd::ViewCoordination,
                         Cmd::ViewShift, Cmd::ViewSpeed, Cmd::ViewIntervals, Cmd::ViewProbability};
    for (int command : views) {
        frame->ShowView(command);
        QApplication::processEvents();
        EXPECT_TRUE(inSight(command)) << command;
        EXPECT_TRUE(inSight(Cmd::Print)) << command;
    }
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    EXPECT_TRUE(frame->grab().save(screens + "/frame_russian_800x600.png"));
    frame->OnCommand(32809);
    language.setLanguageFolder(savedFolder);
    frame->close();
}

TEST(FramePrinting, ScreensOfEveryChartViewAndTheReportPages)
{
    // For review, not compared: what a shooter sees and prints.
    struct Practice {
        const char* name;
        const char* event;
        std::vector<charttest::AimingSpec> specs;
    };
    std::vector<charttest::AimingSpec> missed = charttest::realPracticeSpecs(10);
    for (charttest::AimingSpec& s : missed)
        s.missed = true;
    const Practice practices[] = {{"air_rifle", "AR10", charttest::realPracticeSpecs(20)},
                                  {"biathlon", "BTLN", infotest::biathlonSpecs()},
                                  {"all_missed", "AR10", missed}};
    const std::pair<int, const char*> languages[] = {{32809, "en"}, {32880, "de"}};
    const std::pair<int, const char*> views[]
        = {{Cmd::ViewDistance, "distance"},        {Cmd::ViewCoordination, "coordination"},
           {Cmd::ViewShift, "time_shift"},         {Cmd::ViewSpeed, "speed"},
           {Cmd::ViewIntervals, "time_intervals"}, {Cmd::ViewProbability, "probability"}};
    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    auto& language = kavro::LanguageModule::instance();
    const QString savedFolder = language.languageFolder();
    language.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    auto* printing = dynamic_cast<kavro::print::CReportPrinting*>(reportPrinting());
    ASSERT_NE(printing, nullptr);
    kavro::print::setPrintDialogHook([](QPrinter&) { return true; });
    QTemporaryDir dir;
    for (const Practice& p : practices) {
        SCOPED_TRACE(p.name);
        kavro::theAppOptions() = kavro::AppOptions();
        kavro::theAppOptions().AdvancedMode = true; // the series table beside the views
        const QString path = dir.filePath(QString::fromLatin1(p.name) + ".kavro");
        infotest::savePractice(path, p.specs, p.event);
        int code = 0;
        auto frame = CreateMainFrame(ParseCommandLine({path}), &code);
        ASSERT_TRUE(frame);
        frame->resize(1280, 900);
        frame->show();
        for (const auto& [command, suffix] : languages) {
            frame->OnCommand(command);
            const QString stem = screens + "/" + p.name + "_" + suffix;
            for (const auto& [view, name] : views) {
                frame->ShowView(view);
                QApplication::processEvents();
                EXPECT_TRUE(frame->grab().save(stem + "_" + name + ".png"));
                // A mark named in words speaks the interface language the frame switched to.
                const QStringList positions = {kavro::LoadResString(32824), kavro::LoadResString(32825)};
                for (QWidget* child : frame->findChildren<QWidget*>()) {
                    auto* w = dynamic_cast<kavro::charts::CChartWindow*>(child);
                    if (!w || !w->isVisible())
                        continue;
                    for (const auto& m : w->chart().markers())
                        if (!m.label.isEmpty() && m.label.front().isLetter()) {
                            EXPECT_TRUE(positions.contains(m.label)) << name << ": " << m.label.toStdString();
                        }
                }
            }
            QPrinter& printer = printing->printer();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(stem + "_report.pdf");
            printer.setResolution(150);
            printer.setPageSize(QPageSize(QPageSize::A4));
            printing->ClearReport();
            frame->OnCommand(Cmd::Print);
            const int pages = printtest::pdfPageCount(stem + "_report.pdf");
            EXPECT_GT(pages, 0);
            for (int page = 1; page <= pages; ++page)
                EXPECT_TRUE(
                    printtest::savePagePng(stem + "_report.pdf", page, stem + QString("_report_%1.png").arg(page)));
        }
        frame->OnCommand(32809);
        frame->close();
    }
    kavro::print::setPrintDialogHook(nullptr);
    printing->EndPrinter();
    language.setLanguageFolder(savedFolder);
}
