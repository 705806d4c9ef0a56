// The series table on a practice document: building, live shots, selection both ways, keys,
// scrolling, the grid of targets, and pictures of both modes.
#include "fake_frame.h"
#include "support/practice_builder.h"
#include "series_view.h"
#include "trace_view.h"
#include "support/views_support.h"

#include "app_options.h"
#include "doc_helpers.h"

#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace kavro;
using namespace kavro::series;
using namespace viewtest;

namespace {

class HintLog final : public CView {
public:
    std::vector<int> hints;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override { hints.push_back(hint); }
};

int listIndexOf(IShotCollection* shots, IShot* shot)
{
    for (int i = 1, n = countOf(shots); i <= n; ++i)
        if (shotAt(shots, i).get() == shot)
            return i;
    return 0;
}

class SeriesViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = theAppOptions();
        view = std::make_unique<CSeriesView>(doc, nullptr);
        view->resize(420, 700);
        view->show();
    }
    void TearDown() override
    {
        view.reset();
        theAppOptions() = saved_;
    }
    const StatRow* rowOf(IShot* shot) { return view->table().rowOf(shot); }
    QPoint onScreen(const StatRow* row)
    {
        return row->rect.center() - QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    }
    ComPtr<IShot> selected()
    {
        ComPtr<IShot> s;
        doc.GetSelectedShot(&s);
        return s;
    }

    CKavroDoc doc;
    std::unique_ptr<CSeriesView> view;

private:
    AppOptions saved_;
};

} // namespace

TEST_F(SeriesViewTest, BuildsTheDocumentsSeriesWithATargetEach)
{
    realPractice(doc, 25);
    doc.SetIncludeSightings(true);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    const SeriesTable& t = view->table();
    EXPECT_TRUE(t.groups[0].visible);
    EXPECT_TRUE(t.groups[1].visible);
    EXPECT_EQ(t.groups[0].series.size(), 1u);
    EXPECT_EQ(t.groups[1].series.size(), 3u);
    ASSERT_EQ(view->seriesWindows(1).size(), 3u);
    // Every series control shows its own aimings, as match or sighting, at the group's scale.
    int32_t n = 0;
    view->seriesWindows(1)[2]->target()->get_Count(&n);
    EXPECT_EQ(n, 5);
    VARIANT_BOOL match = VARIANT_FALSE;
    view->seriesWindows(1)[0]->target()->get_Match(&match);
    EXPECT_EQ(match, VARIANT_TRUE);
    view->seriesWindows(0)[0]->target()->get_Match(&match);
    EXPECT_EQ(match, VARIANT_FALSE);
    float w0 = 0, w2 = 0;
    view->seriesWindows(1)[0]->target()->get_VisibleWidth(&w0);
    view->seriesWindows(1)[2]->target()->get_VisibleWidth(&w2);
    EXPECT_NEAR(w0, w2, w0 * 0.01f);
    QString caption;
    view->seriesWindows(1)[2]->target()->get_Label(1, &caption);
    EXPECT_EQ(caption, seriesCaption(3, t.groups[1].series[2].totals));
    // All traces: every target draws its traces, zoomed so that they fit, and a rebuild keeps it.
    view->SetAllTraces(true);
    VARIANT_BOOL traces = VARIANT_FALSE;
    view->seriesWindows(0)[0]->target()->get_DisplayTrace(&traces);
    EXPECT_EQ(traces, VARIANT_TRUE);
    float wTraces = 0;
    view->seriesWindows(1)[0]->target()->get_VisibleWidth(&wTraces);
    EXPECT_GT(wTraces, w0);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    traces = VARIANT_FALSE;
    view->seriesWindows(1)[2]->target()->get_DisplayTrace(&traces);
    EXPECT_EQ(traces, VARIANT_TRUE);
    view->SetAllTraces(false);
    view->seriesWindows(1)[2]->target()->get_DisplayTrace(&traces);
    EXPECT_EQ(traces, VARIANT_FALSE);
    // In normal mode only three columns show, whatever the options say.
    theAppOptions().AdvancedMode = false;
    theAppOptions().ShotListTraceSpeed = true;
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    const ColumnFlags& shown = view->table().columns;
    EXPECT_TRUE(shown[ColNumber] && shown[ColResult] && shown[ColTime]);
    EXPECT_FALSE(shown[ColSpeed]);
    // Without sightings on display their group hides.
    doc.SetIncludeSightings(false);
    EXPECT_FALSE(view->table().groups[0].visible);
    EXPECT_FALSE(view->seriesWindows(0)[0]->isVisible());
}

TEST_F(SeriesViewTest, GroupCaptionsHoldTheirTextInTheLargeFont)
{
    realPractice(doc, 25);
    doc.SetIncludeSightings(true);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    const QFontMetrics large(view->cellFont(CellFont::Large));
    ASSERT_GT(large.height(), QFontMetrics(view->cellFont(CellFont::Bold)).height());
    for (const Group& g : view->table().groups) {
        ASSERT_TRUE(g.visible);
        // The text is drawn inside the padding; the next row starts below the caption.
        const QRect text = g.caption.rect.adjusted(3, 1, -3, -1);
        EXPECT_GE(text.height(), large.height()) << g.caption.text.toStdString();
        EXPECT_GE(text.width(), large.horizontalAdvance(g.caption.text));
        EXPECT_GE(g.series.front().rect.top(), g.caption.rect.bottom() + 1);
    }
}

TEST_F(SeriesViewTest, LiveShotsFillTheTableShotByShot)
{
    FakeFrame frame;
    frame.connected = true;
    trainertest::startPractice(doc, "AR10");
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    // Before the match starts the match group is not shown.
    EXPECT_FALSE(view->table().groups[1].visible);
    frame.matchStarted = true;
    for (int k = 0; k < 11; ++k)
        addShot(doc, {.x = 0.4f * float(k % 4), .at = 20 * k});
    const SeriesTable& t = view->table();
    EXPECT_TRUE(t.groups[1].visible);
    ASSERT_EQ(t.groups[1].series.size(), 2u);
    EXPECT_EQ(t.groups[1].series[0].shotCount(), 10);
    EXPECT_EQ(t.groups[1].series[1].rows[0].number, 11);
    ASSERT_EQ(view->seriesWindows(1).size(), 2u);
    int32_t n = 0;
    view->seriesWindows(1)[0]->target()->get_Count(&n);
    EXPECT_EQ(n, 10);
    EXPECT_TRUE(t.groups[1].caption.text.endsWith(QStringLiteral(", 11 shot(s)")))
        << t.groups[1].caption.text.toStdString();
}

TEST_F(SeriesViewTest, HiddenItOnlyNotesChangesAndRebuildsWhenShown)
{
    trainertest::startPractice(doc, "AR10");
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    view->hide();
    ComPtr<IShot> last;
    for (int k = 0; k < 3; ++k)
        last = addShot(doc, {.x = 0.4f * float(k), .at = 20 * k});
    doc.SetSelectedShot(last.get(), nullptr);
    EXPECT_TRUE(view->isStale());
    EXPECT_EQ(view->table().rowOf(last.get()), nullptr);
    view->show();
    EXPECT_FALSE(view->isStale());
    const StatRow* row = view->table().rowOf(last.get());
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->selected);
    EXPECT_EQ(view->table().groups[1].series[0].shotCount(), 3);
}

TEST_F(SeriesViewTest, SelectionGoesBothWays)
{
    realPractice(doc, 12);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ComPtr<IShotCollection> match;
    doc.GetMatchShots(&match);
    ComPtr<IShot> third = shotAt(match.get(), 3);
    ComPtr<IShot> eleventh = shotAt(match.get(), 11);

    // A click on a row selects its shot in the document.
    const StatRow* row = rowOf(third.get());
    ASSERT_TRUE(row);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, onScreen(row));
    EXPECT_EQ(selected().get(), third.get());
    EXPECT_EQ(view->currentShot(), third.get());
    EXPECT_TRUE(rowOf(third.get())->selected);

    // The document's selection reaches the table and every series control.
    doc.SetSelectedShot(eleventh.get(), nullptr);
    EXPECT_EQ(view->currentShot(), eleventh.get());
    EXPECT_TRUE(rowOf(eleventh.get())->selected);
    EXPECT_FALSE(rowOf(third.get())->selected);
    for (CSerieWindow* w : view->seriesWindows(1)) {
        ComPtr<IShot> s;
        w->target()->get_SelectedShot(s.put());
        EXPECT_TRUE(!s || s.get() == eleventh.get());
    }
    ComPtr<IShot> onControl;
    view->seriesWindows(1)[1]->target()->get_SelectedShot(onControl.put());
    EXPECT_EQ(onControl.get(), eleventh.get());

    // A right click selects the row's shot and asks the frame for the shot menu there.
    {
        FakeFrame frame;
        const StatRow* r5 = rowOf(shotAt(match.get(), 5).get());
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, onScreen(r5));
        EXPECT_EQ(selected().get(), shotAt(match.get(), 5).get());
        EXPECT_EQ(frame.shotMenus, 1);
        EXPECT_EQ(frame.shotMenuAt, view->viewport()->mapToGlobal(onScreen(rowOf(shotAt(match.get(), 5).get()))));
        // On a series' target the control selects the shot it hit before it reports the right
        // click: the menu is for that shot, not for the one the document had.
        CSerieWindow* second = view->seriesWindows(1)[1];
        second->target()->put_SelectedShot(eleventh.get());
        view->OnSerieRightClick(second);
        EXPECT_EQ(selected().get(), eleventh.get());
        EXPECT_EQ(frame.shotMenus, 2);
    }

    // A double click starts the replay of the shot.
    HintLog log;
    doc.AddView(&log);
    row = rowOf(third.get());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, onScreen(row));
    EXPECT_EQ(selected().get(), third.get());
    EXPECT_NE(std::find(log.hints.begin(), log.hints.end(), int(KavroHint::ReplayStarts)), log.hints.end());
    doc.RemoveView(&log);
    doc.StopReplay();

    // Keys: the table moves at once, the document after the key rests.
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    ComPtr<IShot> next;
    ASSERT_TRUE(doc.Navigate(third.get(), &next, 2));
    EXPECT_EQ(view->currentShot(), next.get());
    EXPECT_EQ(selected().get(), third.get());
    EXPECT_TRUE(view->keyboardTimerRunning());
    QTest::keyClick(view.get(), Qt::Key_Down);
    ComPtr<IShot> after;
    ASSERT_TRUE(doc.Navigate(next.get(), &after, 1));
    EXPECT_EQ(view->currentShot(), after.get());
    view->OnKeyboardTimer();
    EXPECT_EQ(selected().get(), after.get());
    ComPtr<IShot> first;
    ASSERT_TRUE(doc.Navigate(after.get(), &first, -3));
    QTest::keyClick(view.get(), Qt::Key_Home);
    view->OnKeyboardTimer();
    EXPECT_EQ(selected().get(), first.get());
}

TEST_F(SeriesViewTest, LongPracticeScrollsToTheLastSeries)
{
    realPractice(doc, 200);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ComPtr<IShotCollection> match;
    doc.GetMatchShots(&match);
    ASSERT_EQ(countOf(match.get()), 200);
    EXPECT_EQ(view->table().groups[1].series.size(), 20u);
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    ComPtr<IShot> last = shotAt(match.get(), 200);
    doc.SetSelectedShot(last.get(), nullptr);
    const StatRow* row = rowOf(last.get());
    ASSERT_TRUE(row);
    EXPECT_GT(bar->value(), 0);
    EXPECT_GE(row->rect.top(), bar->value());
    EXPECT_LE(row->rect.bottom(), bar->value() + view->viewport()->height());
    // The last series' control has been moved into the view with its rows.
    const Serie& serie = view->table().groups[1].series.back();
    EXPECT_EQ(view->seriesWindows(1).back()->geometry(), serie.controlRect.translated(0, -bar->value()));
    // Paging from the end goes back one series.
    view->setFocus();
    ComPtr<IShot> back;
    ASSERT_TRUE(doc.Navigate(last.get(), &back, -2));
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    EXPECT_EQ(view->currentShot(), back.get());
    EXPECT_LT(listIndexOf(match.get(), back.get()), 200);
    EXPECT_GE(listIndexOf(match.get(), back.get()), 181);
}

TEST_F(SeriesViewTest, SeriesModeShowsOnlyTheTargetsInAGrid)
{
    realPractice(doc, 35);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    EXPECT_FALSE(view->IsSeriesMode());
    view->SetSeriesMode(true);
    EXPECT_TRUE(view->IsSeriesMode());
    EXPECT_FALSE(view->verticalScrollBar()->isVisible());
    std::vector<CSerieWindow*> windows;
    for (int g = 0; g < 2; ++g)
        if (view->table().groups[size_t(g)].visible)
            for (CSerieWindow* w : view->seriesWindows(g))
                windows.push_back(w);
    ASSERT_EQ(view->seriesWindows(1).size(), 4u);
    const std::vector<QRect> rects
        = gridRects(int(windows.size()), view->viewport()->width(), view->viewport()->height());
    for (size_t i = 0; i < windows.size(); ++i)
        EXPECT_EQ(windows[i]->geometry(), rects[i]);
    EXPECT_EQ(windows[0]->width(), windows[0]->height());
    saveScreen(view.get(), QStringLiteral("series_grid"));
    view->SetSeriesMode(false);
    EXPECT_TRUE(view->verticalScrollBar()->isVisible());
}

TEST_F(SeriesViewTest, Pictures)
{
    theAppOptions().AdvancedMode = true;
    theAppOptions().ShotListSteadiness10center = true;
    theAppOptions().ShotListTraceSpeed = true;
    realPractice(doc, 14);
    doc.SetIncludeSightings(true);
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    ComPtr<IShotCollection> match;
    doc.GetMatchShots(&match);
    doc.SetSelectedShot(shotAt(match.get(), 4).get(), nullptr);
    view->resize(700, 900);
    QCoreApplication::processEvents();
    saveScreen(view.get(), QStringLiteral("series_table"));
    // The Arabic interface turns the window, not the table: the cells keep their sides.
    const QImage leftToRight = view->viewport()->grab().toImage();
    QApplication::setLayoutDirection(Qt::RightToLeft);
    view->setLayoutDirection(Qt::RightToLeft);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->viewport()->grab().toImage(), leftToRight);
    QApplication::setLayoutDirection(Qt::LeftToRight);
    view->setLayoutDirection(Qt::LeftToRight);
    view->resize(300, 900);
    QCoreApplication::processEvents();
    saveScreen(view.get(), QStringLiteral("series_table_narrow"));
    // Narrow: the controls sit above their rows, centred.
    const Serie& s = view->table().groups[1].series[0];
    EXPECT_LE(s.controlRect.bottom(), s.caption.rect.top());
}

TEST(ViewRegistration, TraceViewAndSeriesTableRegisterWithTheFrame)
{
    const ViewRegistration* trace = findView(ViewId::Trace);
    ASSERT_TRUE(trace);
    EXPECT_EQ(trace->commandId, 32789);
    const ViewRegistration* series = findView(ViewId::SeriesTable);
    ASSERT_TRUE(series);
    CKavroDoc doc;
    std::unique_ptr<QWidget> t(trace->create(doc, nullptr));
    std::unique_ptr<QWidget> s(series->create(doc, nullptr));
    EXPECT_TRUE(dynamic_cast<CTraceView*>(t.get()));
    EXPECT_TRUE(dynamic_cast<CSeriesTableMode*>(s.get()));
    EXPECT_EQ(doc.views().size(), 2u);
}

TEST_F(SeriesViewTest, BiathlonResultShowsWhichOfTheFiveTargetsTheShotWentTo)
{
    trainertest::startPractice(doc, "BTLN");
    doc.UpdateAllViews(nullptr, KavroHint::Everything);
    // Plates stand 250 mm apart with the middle one at 0; a standing plate's hit zone is 115 mm.
    const ComPtr<IShot> shots[]
        = {addShot(doc, {.x = -500, .at = 0}), addShot(doc, {.x = 320, .at = 20}), addShot(doc, {.x = 500, .at = 40})};
    const int nearest[] = {1, 4, 5};
    const bool hit[] = {true, false, true};
    view->resize(420, 1500); // every row in sight
    QCoreApplication::processEvents();
    const QImage image = grab(view->viewport());
    const kavro::GdiRect frame = DrawFiveTargetSchematic(0, 0).frame();
    for (size_t i = 0; i < 3; ++i) {
        int32_t area = -1;
        shots[i]->get_AreaIndex(&area);
        EXPECT_EQ(area == nearest[i], hit[i]) << i;
        const StatRow* row = rowOf(shots[i].get());
        ASSERT_TRUE(row);
        const QRect box = row->cells[ColResult].rect.adjusted(3, 1, -3, -1);
        const int w = std::min(box.width(), int(box.height() * frame.width() / frame.height()));
        const QRect picture(box.right() + 1 - w, box.top(), w, box.height());
        // The centre of plate k on the picture, in its frame's units.
        auto plate = [&](int k) {
            const double x = 1925 + (k - 1) * 2500 + 575;
            return QPoint(picture.left() + int((x - frame.left) * picture.width() / frame.width()),
                          picture.center().y());
        };
        for (int k = 1; k <= 5; ++k) {
            const QColor c = image.pixelColor(
                plate(k) - QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value()));
            const QColor expected = k != nearest[i] ? QColor(238, 238, 238) : hit[i] ? Qt::white : Qt::black;
            EXPECT_EQ(c, expected) << "shot " << i << " plate " << k;
        }
    }
    saveScreen(view.get(), QStringLiteral("series_biathlon"));
}

TEST_F(SeriesViewTest, SeriesCaptionsStandOutFromTheirTargets)
{
    // Where the caption is drawn (the pixels that change when it is taken away), the lightest and
    // darkest parts differ clearly once the shade's checkerboard is averaged out.
    for (const char* event : {"AR10", "BTLN"}) {
        SCOPED_TRACE(event);
        realPractice(doc, 10, event);
        doc.UpdateAllViews(nullptr, KavroHint::Everything);
        view->resize(420, 900);
        QCoreApplication::processEvents();
        int shown = 0;
        for (QWidget* child : view->findChildren<QWidget*>()) {
            auto* w = dynamic_cast<CSerieWindow*>(child);
            if (!w || !w->isVisible())
                continue;
            ++shown;
            const QImage with = grab(w);
            QString caption;
            w->target()->get_Label(1, &caption);
            ASSERT_FALSE(caption.isEmpty());
            w->target()->put_Label(1, QString());
            const QImage without = grab(w);
            w->target()->put_Label(1, caption);
            ASSERT_EQ(with.size(), without.size());
            QRect changed;
            for (int y = 0; y < with.height(); ++y)
                for (int x = 0; x < with.width(); ++x)
                    if (with.pixel(x, y) != without.pixel(x, y))
                        changed |= QRect(x, y, 1, 1);
            ASSERT_GT(changed.width(), 10) << caption.toStdString();
            std::vector<int> averaged;
            for (int y = changed.top(); y < changed.bottom(); ++y)
                for (int x = changed.left(); x < changed.right(); ++x)
                    averaged.push_back((qGray(with.pixel(x, y)) + qGray(with.pixel(x + 1, y))
                                        + qGray(with.pixel(x, y + 1)) + qGray(with.pixel(x + 1, y + 1)))
                                       / 4);
            std::sort(averaged.begin(), averaged.end());
            const int low = averaged[averaged.size() / 50], high = averaged[averaged.size() * 49 / 50];
            EXPECT_GT(high - low, 100) << caption.toStdString();
        }
        EXPECT_GT(shown, 0);
    }
}
