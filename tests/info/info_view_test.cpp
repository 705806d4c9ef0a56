// The information page's widgets: they show the page model and write the shooter name and the
// comments back into the practice, as an edit the user can save.
#include "doc_helpers.h"
#include "support/info_shooting.h"
#include "chart_views.h"
#include "command_ids.h"
#include "info_view.h"
#include "kavro_doc.h"
#include "kavro_hints.h"
#include "main_frame_base.h"
#include "support/practice_builder.h"
#include "shot_page_view.h"
#include "view_registry.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace kavro::info;
using namespace infotest;

namespace {

// Counts the hints the other views get.
struct HintSpy : CView {
    std::vector<int> hints;
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override { hints.push_back(hint); }
};

// A frame that only notes the commands it is given; attached to a document it is the frame that
// shows it.
struct CommandFrame : CMainFrameBase, CView {
    QWidget window;
    std::vector<int> commands;
    QWidget* GetWindow() override { return &window; }
    QStatusBar* GetStatusBar() override { return nullptr; }
    QProgressBar* GetProgressBar() override { return nullptr; }
    void BeginProgress(int) override { }
    void EndProgress() override { }
    uint32_t* GetActivityTick() override { return nullptr; }
    TargetKind::Kind GetTargetKind() override { return TargetKind::Ordinary; }
    bool IsDeviceConnected() override { return false; }
    bool IsMatchStarted() override { return false; }
    ComPtr<IKavroDevice> GetDevice() override { return nullptr; }
    void ShowShotContextMenu(const QPoint&) override { }
    void OnCommand(int command) override { commands.push_back(command); }
    void OnDocumentUpdate(CView*, int, const KavroHint::Payload&) override { }
};

QString labelText(CInfoView& view, const char* id)
{
    auto* l = qobject_cast<QLabel*>(view.element(QString::fromLatin1(id)));
    return l ? l->text() : QStringLiteral("<missing>");
}

} // namespace

TEST(InfoView, IsTheViewOfF4AndShowsTheIntroductionWithoutAPractice)
{
    const ViewRegistration* r = findView(ViewId::Info);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->commandId, 32788);
    CKavroDoc doc;
    std::unique_ptr<QWidget> w(r->create(doc, nullptr));
    auto* view = dynamic_cast<CInfoView*>(w.get());
    ASSERT_NE(view, nullptr);
    view->show();
    EXPECT_TRUE(view->element("idIntro")->isVisible());
    EXPECT_FALSE(view->element("idAllInfo")->isVisible());
    EXPECT_FALSE(view->SetTargetZoom(3.0f));
}

// The buttons reach the frame that shows the document, not whichever frame is current, once the
// click is over.
TEST(InfoView, IntroductionButtonsRunTheCommandsOfTheDocumentsFrame)
{
    const std::pair<const char*, int> buttons[] = {{"idStartPractice", Cmd::StartPractice}, {"idOpen", Cmd::Open}};
    for (const auto& [id, command] : buttons) {
        SCOPED_TRACE(id);
        CommandFrame other, own;
        CMainFrameBase::setCurrent(&other);
        CKavroDoc doc;
        doc.AddView(&own);
        CInfoView view(doc);
        view.show();
        auto* button = view.findChild<QPushButton*>(QString::fromLatin1(id));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(own.commands.empty());
        QApplication::processEvents();
        EXPECT_EQ(own.commands, std::vector<int>{command});
        EXPECT_TRUE(other.commands.empty());
        CMainFrameBase::setCurrent(nullptr);
    }
}

TEST(InfoView, ShowsTheModelsValuesAndWritesNameAndCommentsBack)
{
    QTemporaryDir dir;
    savePractice(dir.filePath("model.kavro"), {still(0, 0, 0), still(30, 100, 0)});

    CKavroDoc doc;
    CInfoView view(doc);
    view.resize(1000, 800);
    view.show();
    start(doc);
    shoot(doc, charttest::realPracticeSpecs(20));
    ASSERT_TRUE(doc.OpenModel(dir.filePath("model.kavro")));
    QApplication::processEvents();

    EXPECT_FALSE(view.element("idIntro")->isVisible());
    EXPECT_TRUE(view.element("idModelInfoRow")->isVisible());
    EXPECT_EQ(labelText(view, "idShotCount"), QStringLiteral("20<font color=red> (2)</font>"));
    EXPECT_EQ(labelText(view, "idResultInt"),
              view.page().text("idResultInt") + "<font color=red> (" + *view.page().model("idResultInt") + ")</font>");
    EXPECT_EQ(qobject_cast<QLineEdit*>(view.element("idShooterName"))->text(), "Anna");
    EXPECT_TRUE(view.SetTargetZoom(2.0f));
    ITarget* t = view.target("Target1");
    ASSERT_NE(t, nullptr);
    int32_t aimings = 0, marks = 0;
    t->get_Count(&aimings);
    EXPECT_EQ(aimings, 20);
    t->get_ElementCount(&marks);
    EXPECT_EQ(marks, 2); // the group's centre: a cross of two lines
    view.target("Target2")->get_Count(&aimings);
    EXPECT_EQ(aimings, 2);

    // A double click on a shot selects it and asks the views to replay it.
    HintSpy replay;
    doc.AddView(&replay);
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    view.UIDblClickShot(shotAt(match.get(), 4).get());
    ComPtr<IShot> selected;
    ASSERT_TRUE(doc.GetSelectedShot(&selected));
    EXPECT_EQ(selected.get(), shotAt(match.get(), 4).get());
    EXPECT_EQ(replay.hints,
              (std::vector<int>{KavroHint::SelectedShot, KavroHint::MayReplayStart, KavroHint::ReplayStarts}));
    doc.RemoveView(&replay);

    doc.document()->put_FileName(dir.filePath("practice.kavro"));
    ASSERT_TRUE(doc.Save());
    HintSpy spy;
    doc.AddView(&spy);
    ASSERT_FALSE(doc.IsModified());
    auto* name = qobject_cast<QLineEdit*>(view.element("idShooterName"));
    name->selectAll();
    QTest::keyClicks(name, "Berta");
    emit name->editingFinished();
    QString stored;
    doc.GetShooterName(&stored);
    EXPECT_EQ(stored, "Berta");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(spy.hints, std::vector<int>{KavroHint::ShooterName});
    emit name->editingFinished(); // unchanged: no second hint
    EXPECT_EQ(spy.hints.size(), 1u);

    view.UICommentChange("windy");
    doc.GetComments(&stored);
    EXPECT_EQ(stored, "windy");
    EXPECT_EQ(spy.hints.back(), KavroHint::Comments);

    // Another view's change reloads the fields.
    doc.document()->put_ShooterName("Carla");
    doc.UpdateAllViews(nullptr, KavroHint::ShooterName);
    EXPECT_EQ(name->text(), "Carla");
    doc.document()->put_Value("_comments", Variant("calm"));
    doc.UpdateAllViews(nullptr, KavroHint::Comments);
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(view.element("idComments"))->toPlainText(), "calm");
    doc.RemoveView(&spy);

    const QString screens = QStringLiteral(KAVRO_BIN_DIR "/../screens");
    QDir().mkpath(screens);
    EXPECT_TRUE(view.grab().save(screens + "/info_page.png"));
}

TEST(InfoView, HiddenPagesCatchUpWhenShown)
{
    CKavroDoc doc;
    CInfoView view(doc); // never shown
    start(doc);
    shoot(doc, {still(0, 0, 0), still(20, 100, 0)});
    EXPECT_TRUE(view.page().text("idShotCount").isEmpty());
    view.show();
    EXPECT_EQ(view.page().text("idShotCount"), "2");
    shoot(doc, {still(40, 0, 0)});
    EXPECT_EQ(view.page().text("idShotCount"), "3");
}

TEST(ShotPage, ShowsTheSelectedMatchShotAndItsNeighbours)
{
    CKavroDoc doc;
    CShotPageView page(doc);
    page.show();
    start(doc);
    shoot(doc, {still(0, 0, 0), still(40, 300, 400), still(100, -300, 0)});
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 2).get(), nullptr);
    EXPECT_EQ(page.value("idShotNumber")->text(), "2");
    EXPECT_EQ(page.value("idShotElapsed")->text(), "00:45");
    EXPECT_EQ(page.value("idShotIntervalPrev")->text(), "00:40");
    EXPECT_EQ(page.value("idShotIntervalNext")->text(), "01:00");
    doc.SetSelectedShot(shotAt(match.get(), 3).get(), nullptr);
    EXPECT_EQ(page.value("idShotIntervalNext")->text(), "");
    doc.SetSelectedShot(nullptr, nullptr);
    EXPECT_EQ(page.value("idShotNumber")->text(), "");
}

TEST(ShotPage, PulseIsTheShotsOwnElseThePracticesAtTheShot)
{
    const auto at = [](double seconds) { return charttest::kMorning + seconds / 86400; };
    const struct {
        int shot;
        std::vector<std::pair<double, int>> samples; // seconds, pulse
        int own; // 0: none of its own
        QString shown;
    } rows[] = {
        {1, {{20, 70}, {50, 80}}, 0, "70"}, // before the sensor measured one: the first measured
        {2, {{20, 70}, {50, 80}}, 0, "80"}, // the first sample after the shot
        {3, {{20, 70}, {50, 80}}, 0, "80"}, // after the last sample: the last
        {2, {{20, 70}, {50, 80}}, 66, "66"}, // its own
        {2, {}, 0, ""},
        {2, {{20, 0}}, 0, ""}, // a pulse the sensor lost
    };
    for (const auto& row : rows) {
        CKavroDoc doc;
        CShotPageView page(doc);
        page.show();
        start(doc);
        shoot(doc, {still(0), still(40), still(100)});
        for (auto [seconds, pulse] : row.samples)
            doc.AppendPulseSample(at(seconds), pulse);
        ComPtr<IShotCollection> match;
        ASSERT_TRUE(doc.GetMatchShots(&match));
        ComPtr<IShot> shot = shotAt(match.get(), row.shot);
        if (row.own)
            shot->put_Value(QStringLiteral("_pulse"), Variant::fromInteger(VT_I2, row.own));
        doc.SetSelectedShot(shot.get(), nullptr);
        EXPECT_EQ(page.value("idShotPulse")->text().toStdString(), row.shown.toStdString())
            << row.shot << " " << row.own;
    }
}

TEST(ShotPage, SitsBelowTheTimeIntervalsChart)
{
    CKavroDoc doc;
    kavro::charts::CTimeIntervalsView intervals(doc);
    ASSERT_NE(intervals.shotPane(), nullptr);
    CShotPageView* page = nullptr;
    for (QWidget* w : intervals.shotPane()->findChildren<QWidget*>()) // the page has no meta-object of its own
        if (auto* p = dynamic_cast<CShotPageView*>(w))
            page = p;
    ASSERT_NE(page, nullptr);
    start(doc);
    shoot(doc, {still(0, 0, 0), still(40, 300, 400)});
    ComPtr<IShotCollection> match;
    ASSERT_TRUE(doc.GetMatchShots(&match));
    doc.SetSelectedShot(shotAt(match.get(), 2).get(), nullptr);
    intervals.resize(800, 600);
    intervals.show(); // values given while hidden show once the page shows
    EXPECT_EQ(page->value("idShotNumber")->text(), "2");
}

TEST(InfoView, FiguresSitAtTheTitlesSideInARightToLeftInterface)
{
    CKavroDoc doc;
    CInfoView view(doc);
    view.setLayoutDirection(Qt::RightToLeft);
    view.resize(1000, 800);
    view.show();
    start(doc);
    shoot(doc, {still(0, 0, 0), still(20, 100, 0)});
    QApplication::processEvents();
    auto* count = qobject_cast<QLabel*>(view.element("idShotCount"));
    ASSERT_NE(count, nullptr);
    ASSERT_GT(count->width(), 200); // room enough for the side to matter
    const QImage image = count->grab().toImage();
    const QRgb background = image.pixel(image.width() / 2, 0);
    int leftmostInk = image.width();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                leftmostInk = std::min(leftmostInk, x);
    ASSERT_LT(leftmostInk, image.width()) << "nothing drawn";
    EXPECT_GT(leftmostInk, image.width() / 2) << "the figure hugs the far (left) side";
}
