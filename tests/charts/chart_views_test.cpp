// The chart views over the document wrapper: registration with the view switcher, following a
// practice as it is shot, hidden views catching up when shown, the shared box and bar clicks.
#include "app_options.h"
#include "support/chart_fixture.h"
#include "chart_views.h"
#include "support/info_shooting.h"
#include "doc_helpers.h"
#include "command_ids.h"
#include "command_line.h"
#include "kavro_doc.h"
#include "main_frame.h"
#include "support/practice_builder.h"
#include "run_main_frame.h"
#include "res_strings.h"
#include "view_registry.h"

#include <QCheckBox>
#include <QDir>
#include <QAction>
#include <QImage>
#include <QMouseEvent>
#include <QSplitter>
#include <QTemporaryDir>
#include <QApplication>
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace kavro::charts;
using namespace charttest;
using namespace infotest;

namespace {

// Settings, layout and options of the frame go to a folder of this test program.
const trainertest::TestEnvironment environment;

template <class View> std::unique_ptr<View> shown(CKavroDoc& doc)
{
    auto v = std::make_unique<View>(doc);
    v->resize(900, 600);
    v->show();
    QApplication::processEvents(); // lays the splitters out
    return v;
}

size_t pointCount(CChartWindow* w, int id)
{
    return pointsOf(w->chart(), id).size();
}

} // namespace

TEST(ChartViews, AreRegisteredForTheirFunctionKeys)
{
    const std::pair<ViewId, int> expected[]
        = {{ViewId::Distance, 32790}, {ViewId::Coordination, 32791}, {ViewId::Shift, 32792},
           {ViewId::Speed, 32793},    {ViewId::Intervals, 32794},    {ViewId::Probability, 32795}};
    CKavroDoc doc;
    for (auto [id, command] : expected) {
        const ViewRegistration* r = findView(id);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->commandId, command);
        std::unique_ptr<QWidget> w(r->create(doc, nullptr));
        EXPECT_NE(dynamic_cast<CChartViewBase*>(w.get()), nullptr);
    }
    EXPECT_TRUE(doc.views().empty()); // views detach when destroyed
}

TEST(ChartViews, CommandsCarryTheViewsNamesAsPromptAndTip)
{
    // The status-bar prompt names the graph; the tip after the line break titles its printed section.
    const std::tuple<int, const char*, const char*> expected[] = {
        {32790, "Distance graph (F6)", "Distance"},
        {32791, "Coordination graph (F7)", "Coordination"},
        {32792, "Result versus the moment of shot release graph (F8)", "Shift"},
        {32793, "Graph of average speed of aiming point movement versus time (F9)", "Speed"},
        {32794, "Time intervals between shots graph (F10)", "Intervals"},
        {32795, "Graph of probability of the result versus bullet spread (F11)", "Probability"},
    };
    for (const auto& [id, prompt, tip] : expected) {
        const QStringList parts = kavro::LoadResString(uint32_t(id)).split(QLatin1Char('\n'));
        ASSERT_EQ(parts.size(), 2) << id;
        EXPECT_EQ(parts[0], QLatin1String(prompt)) << id;
        EXPECT_EQ(parts[1], QLatin1String(tip)) << id;
    }
}

TEST(ChartViews, FollowThePracticeLiveAndHiddenViewsCatchUpWhenShown)
{
    kavro::theAppOptions().ShowControlInterval2 = false;
    CKavroDoc doc;
    auto coordination = shown<CCoordinationView>(doc);
    auto speed = shown<CSpeedView>(doc);
    CTimeShiftView shift(doc); // never shown yet
    start(doc);
    shoot(doc, {still(0, 300, -400), still(40)});
    EXPECT_EQ(coordination->state().count[0], 2);
    EXPECT_EQ(pointCount(speed->chartWindows()[0], 1), 131u);
    EXPECT_TRUE(pointsOf(shift.chartWindows()[0]->chart(), 1).empty());
    shoot(doc, {still(80)});
    EXPECT_EQ(coordination->state().count[0], 3);
    EXPECT_EQ(coordination->chartWindows()[0]->chart().FindSeries(1)->name,
              QStringLiteral("Coordination: 3 match shots"));
    shift.resize(900, 600);
    shift.show();
    EXPECT_EQ(pointsOf(shift.chartWindows()[0]->chart(), 1).size(), 131u);
    EXPECT_EQ(shift.chartWindows()[0]->chart().FindSeries(1)->name, QStringLiteral("Time shift: 3 match shots"));

    // The selected shot's curves follow the selection.
    auto distance = shown<CDistanceView>(doc);
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 1).get(), nullptr);
    const auto d = pointsOf(distance->chartWindows()[1]->chart(), 1);
    ASSERT_FALSE(d.empty());
    EXPECT_NEAR(d.front().second, 5.0, 1e-5);
    EXPECT_EQ(pointCount(speed->chartWindows()[1], 1), 131u);
}

// The views of two charts keep the bar between them at their own share of the height.
template <class View> void expectBarAt(int numerator, int denominator)
{
    CKavroDoc doc;
    auto view = shown<View>(doc);
    for (const QSize size : {QSize(900, 600), QSize(700, 901)}) {
        view->resize(size);
        QApplication::processEvents();
        const std::vector<CChartWindow*> charts = view->chartWindows();
        ASSERT_EQ(charts.size(), 2u);
        auto* splitter = qobject_cast<QSplitter*>(charts[0]->parentWidget());
        ASSERT_NE(splitter, nullptr);
        EXPECT_EQ(splitter->height(), size.height());
        const int free = splitter->height() - splitter->handleWidth();
        EXPECT_EQ(charts[0]->height(), free * numerator / denominator) << size.height();
        EXPECT_EQ(charts[1]->height(), free - free * numerator / denominator) << size.height();
    }
}

TEST(ChartViews, TwoChartViewsKeepTheirBarAtTheirShareOfTheHeight)
{
    expectBarAt<CDistanceView>(3, 5);
    expectBarAt<CSpeedView>(1, 2);
    expectBarAt<CProbabilityView>(3, 5);
}

TEST(ChartViews, TheControlIntervalBoxSwitchesEveryChartView)
{
    kavro::theAppOptions().ShowControlInterval2 = false;
    CKavroDoc doc;
    auto distance = shown<CDistanceView>(doc);
    auto shift = shown<CTimeShiftView>(doc);
    start(doc);
    shoot(doc, {still(0, 100, 0)});
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 1).get(), nullptr);
    EXPECT_EQ(distance->chartWindows()[0]->chart().xMin, -1.0);
    auto* box = distance->findChild<QCheckBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Control interval 2"));
    box->click();
    EXPECT_TRUE(kavro::theAppOptions().ShowControlInterval2);
    EXPECT_EQ(distance->chartWindows()[0]->chart().xMin, -2.0);
    EXPECT_EQ(shift->chartWindows()[0]->chart().xMin, -2.0);
    QList<QCheckBox*> shiftBoxes = shift->findChildren<QCheckBox*>();
    for (QCheckBox* b : shiftBoxes) {
        if (b->text() == QStringLiteral("Control interval 2")) {
            EXPECT_TRUE(b->isChecked());
        }
    }
    box->click();
    kavro::theAppOptions().ShowControlInterval2 = false;
}

// The boxes at the top right stand over the chart window: nothing of the chart may be drawn where
// they are (the time shift's top label, the distance chart's ring labels, grid lines, the legend).
TEST(ChartViews, TheChartsDrawNothingUnderTheirBoxes)
{
    CKavroDoc doc;
    start(doc);
    shoot(doc, realPracticeSpecs(10));
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 3).get(), nullptr);
    std::vector<std::pair<const char*, std::unique_ptr<CChartViewBase>>> views;
    views.emplace_back("distance", shown<CDistanceView>(doc));
    views.emplace_back("coordination", shown<CCoordinationView>(doc));
    views.emplace_back("time shift", shown<CTimeShiftView>(doc));
    views.emplace_back("speed", shown<CSpeedView>(doc));
    views.emplace_back("probability", shown<CProbabilityView>(doc));
    for (auto& [name, view] : views) {
        SCOPED_TRACE(name);
        size_t covered = 0;
        for (CChartWindow* w : view->chartWindows()) {
            // The window's own painting, without the boxes that are its children.
            QImage image(w->size(), QImage::Format_RGB32);
            image.fill(Qt::white);
            w->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
            for (QCheckBox* box : view->findChildren<QCheckBox*>()) {
                const QRect r = QRect(w->mapFromGlobal(box->mapToGlobal(QPoint(0, 0))), box->size()) & image.rect();
                if (r.isEmpty())
                    continue;
                ++covered;
                int inked = 0;
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        inked += image.pixel(x, y) != qRgb(255, 255, 255);
                EXPECT_EQ(inked, 0) << box->text().toStdString();
            }
        }
        EXPECT_GT(covered, 0u);
    }
}

TEST(ChartViews, ClickingABarSelectsItsShot)
{
    CKavroDoc doc;
    auto view = shown<CTimeIntervalsView>(doc);
    start(doc);
    shoot(doc, {still(0), still(60, 300, -400), still(120)});
    CAdvancedChartWindow* w = view->chart();
    ASSERT_GT(w->height(), 0);

    const ChartLayout l = w->chart().Layout(w->screenRequest(nullptr));
    const auto bar = pointsOf(w->chart(), 2);
    ASSERT_EQ(bar.size(), 2u);
    const kavro::GdiPoint p = w->chart().Map(l.plot, bar[1].first, (w->chart().yMin + bar[1].second) / 2);
    ASSERT_EQ(w->seriesAt(QPoint(p.x, p.y)), 2) << p.x << "," << p.y << " plot " << l.plot.left << ".." << l.plot.right;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(p.x, p.y), w->mapToGlobal(QPointF(p.x, p.y)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    ComPtr<IShot> selected;
    ASSERT_TRUE(doc.GetSelectedShot(&selected));
    ComPtr<IShotCollection> match;
    doc.GetMatchShots(&match);
    EXPECT_TRUE(sameObject(selected.get(), shotAt(match.get(), 2).get()));
    EXPECT_EQ(w->chart().FindSeries(2)->color, view->context().highlight); // recoloured by the hint
    EXPECT_NE(w->chart().FindSeries(1)->color, view->context().highlight);
}

TEST(ChartViews, TheShotPaneKeepsItsFirstHeightAndTheChartTakesTheRest)
{
    CKavroDoc doc;
    start(doc);
    shoot(doc, realPracticeSpecs(10));
    // The frame shows a view first at the size of its pane, then as large as the window is.
    for (const auto& [first, later] : {std::pair{500, 900}, std::pair{900, 500}}) {
        SCOPED_TRACE(first);
        CTimeIntervalsView view(doc);
        view.resize(1000, first);
        view.show();
        QApplication::processEvents();
        auto* splitter = view.findChild<QSplitter*>();
        ASSERT_NE(splitter, nullptr);
        // 150 pixels, unless the shot details need more.
        const int pane = splitter->sizes().value(1);
        EXPECT_EQ(pane, std::max(150, splitter->widget(1)->minimumSizeHint().height()));
        view.resize(1000, later);
        QApplication::processEvents();
        EXPECT_EQ(splitter->sizes().value(1), pane);
        EXPECT_EQ(splitter->sizes().value(0), later - pane - splitter->handleWidth());
    }
}

TEST(ChartViews, ScreenshotsOfARealPractice)
{
    CKavroDoc doc;
    start(doc);
    shoot(doc, realPracticeSpecs(60));
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 12).get(), nullptr);
    const QString dir = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(dir);
    std::vector<std::pair<const char*, std::unique_ptr<CChartViewBase>>> views;
    views.emplace_back("distance", std::make_unique<CDistanceView>(doc));
    views.emplace_back("coordination", std::make_unique<CCoordinationView>(doc));
    views.emplace_back("time_shift", std::make_unique<CTimeShiftView>(doc));
    views.emplace_back("speed", std::make_unique<CSpeedView>(doc));
    views.emplace_back("time_intervals", std::make_unique<CTimeIntervalsView>(doc));
    views.emplace_back("probability", std::make_unique<CProbabilityView>(doc));
    for (auto& [name, view] : views) {
        view->resize(1200, 800);
        view->show();
        QApplication::processEvents();
        for (CChartWindow* w : view->chartWindows()) {
            size_t drawn = 0;
            for (const ChartSeries& s : w->chart().series())
                drawn += s.points.size() >= 2;
            EXPECT_GT(drawn, 0u) << name;
        }
        const QString file = dir + QStringLiteral("/chart_%1.png").arg(QLatin1String(name));
        EXPECT_TRUE(view->grab().save(file)) << file.toStdString();
    }
}

TEST(ChartViews, TheFrameShowsThemOnF6ToF11)
{
    kavro::theAppOptions() = kavro::AppOptions();
    kavro::theAppOptions().AdvancedMode = true; // the analysis views belong to the expert mode
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("practice.kavro"));
    savePractice(path, realPracticeSpecs(10));
    int code = 0;
    auto frame = CreateMainFrame(ParseCommandLine({path}), &code);
    ASSERT_TRUE(frame);
    frame->resize(1200, 800);
    frame->show();
    QApplication::processEvents();
    const int commands[] = {Cmd::ViewDistance, Cmd::ViewCoordination, Cmd::ViewShift,
                            Cmd::ViewSpeed,    Cmd::ViewIntervals,    Cmd::ViewProbability};
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(frame->commands().action(commands[i]), nullptr);
        EXPECT_EQ(frame->commands().action(commands[i])->shortcut(), QKeySequence(Qt::Key_F6 + i));
        frame->ShowView(commands[i]);
        EXPECT_EQ(frame->panes().visibleView(), commands[i]);
        CChartViewBase* shownView = nullptr;
        for (QWidget* w : frame->findChildren<QWidget*>()) {
            auto* v = dynamic_cast<CChartViewBase*>(w); // the views carry no meta-object of their own
            if (v && v->isVisible())
                shownView = v;
        }
        ASSERT_NE(shownView, nullptr) << commands[i];
        size_t drawn = 0;
        for (CChartWindow* w : shownView->chartWindows())
            for (const ChartSeries& series : w->chart().series())
                drawn += series.points.size() >= 2;
        EXPECT_GT(drawn, 0u) << commands[i];
    }
    kavro::theAppOptions() = kavro::AppOptions();
}
