#include "main_frame.h"

#include "app_options.h"
#include "app_registry.h"
#include "command_ids.h"
#include "doc_helpers.h"
#include "frame_message.h"
#include "info_view.h"
#include "language_module.h"
#include "support/fake_device.h"
#include "support/practice_builder.h"
#include "run_main_frame.h"
#include "window_rect.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace trainertest;

namespace {

// A view standing in for an analysis view: it records the hints it hears.
class RecordingView : public QWidget, public CView, public CFrameViewExtras {
public:
    RecordingView(CKavroDoc& doc, QWidget* parent) : QWidget(parent) { doc.AddView(this); }
    void OnDocumentUpdate(CView*, int hint, const KavroHint::Payload&) override { hints.push_back(hint); }
    void SetTargetZoom(int z) override { zoom = z; }
    std::vector<int> hints;
    int zoom = 0;
};

RecordingView* lastInfoView = nullptr;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kavro::theAppOptions() = kavro::AppOptions();
        registerView(ViewId::Info, Cmd::ViewInfo, [](CKavroDoc& doc, QWidget* parent) -> QWidget* {
            lastInfoView = new RecordingView(doc, parent);
            return lastInfoView;
        });
        setMessageBoxHook([this](const QString& text, QMessageBox::Icon) {
            messages.append(text);
            return answer;
        });
    }
    void TearDown() override
    {
        setMessageBoxHook(nullptr);
        DocumentCommands::setOpenDialogHook(nullptr);
        unregisterView(ViewId::Info);
        lastInfoView = nullptr;
    }

    // A saved practice of 2 sighting and 3 match shots.
    QString savedPractice(const QString& name = QStringLiteral("practice.kavro"))
    {
        CKavroDoc doc;
        startPractice(doc, "AR10");
        addAiming(doc, false, 2, 0);
        addAiming(doc, true, 3, 100);
        const QString path = env.path() + QLatin1Char('/') + name;
        doc.document()->put_FileName(path);
        EXPECT_TRUE(doc.Save());
        return path;
    }

    std::unique_ptr<CMainFrame> frameFor(const QStringList& args, int* exitCode = nullptr)
    {
        int code = 0;
        auto frame = CreateMainFrame(ParseCommandLine(args), &code);
        if (exitCode)
            *exitCode = code;
        return frame;
    }

    QStringList menuCommands(CMainFrame& frame)
    {
        QStringList ids;
        for (QAction* top : frame.menuBar()->actions())
            if (top->menu())
                for (QAction* a : top->menu()->actions())
                    if (!a->isSeparator() && !a->menu())
                        ids.append(QString::number(a->data().toInt()));
        return ids;
    }

    TestEnvironment env;
    QStringList messages;
    int answer = QMessageBox::Cancel;
};

TEST_F(FrameTest, OpensARelativePathFromTheCommandLine)
{
    const QString path = savedPractice();
    const QString before = QDir::currentPath();
    QDir::setCurrent(env.path());
    auto frame = frameFor({QStringLiteral("practice.kavro")});
    QDir::setCurrent(before);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(frame->doc().HasDocument());
    QString opened;
    frame->doc().GetFileName(&opened);
    EXPECT_EQ(opened, path);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->windowTitle().startsWith(QStringLiteral("Anna - "))) << frame->windowTitle().toStdString();
    EXPECT_TRUE(frame->windowTitle().endsWith(QStringLiteral(" - KAVRO Professional")));
    EXPECT_EQ(frame->panes().visibleView(), Cmd::ViewInfo);
    ASSERT_TRUE(lastInfoView);
    EXPECT_FALSE(lastInfoView->hints.empty());
    EXPECT_TRUE(messages.isEmpty());
    // No screenshot here: the information page is a stand-in; the printing tests show the real one.
}

// Each with why: a folder is said to be one, whatever its name.
TEST_F(FrameTest, AFileThatDoesNotOpenIsToldAndEndsTheProgram)
{
    ASSERT_TRUE(QDir(env.path()).mkdir(QStringLiteral("somedir.kavro")));
    const struct {
        const char* argument; // from the current folder
        const char* reason;
    } rows[] = {
        {"missing.kavro", "The file could not be opened. Check that it exists and that you are allowed to read it."},
        {"somedir.kavro/", "This is a folder, not a practice file."},
        {"somedir.kavro", "This is a folder, not a practice file."},
    };
    const QString before = QDir::currentPath();
    QDir::setCurrent(env.path());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.argument);
        messages.clear();
        int exitCode = 0;
        auto frame = frameFor({QStringLiteral("-x"), QString::fromUtf8(row.argument)}, &exitCode);
        EXPECT_FALSE(frame);
        EXPECT_EQ(exitCode, 1);
        EXPECT_EQ(messages.join(QLatin1Char('|')).toStdString(), std::string("Unable to load file.\n") + row.reason);
        EXPECT_EQ(CMainFrameBase::current(), nullptr);
    }
    QDir::setCurrent(before);
}

TEST_F(FrameTest, ANewPracticeCancelledAtStartEndsWithoutTheFrameEverShowing)
{
    struct FrameShows : QObject {
        int shown = 0;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show && qobject_cast<CMainFrame*>(o))
                ++shown;
            return false;
        }
    } frameShows;
    DeviceSession::setDeviceFactory([] { return ComPtr<IKavroDevice>(kavro::trainer::test::FakeDevice::create()); });
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialogSeen = true;
            d->reject();
        }
    });
    qApp->installEventFilter(&frameShows);
    int exitCode = -1;
    auto frame = frameFor({QStringLiteral("-N")}, &exitCode);
    qApp->removeEventFilter(&frameShows);
    DeviceSession::setDeviceFactory(nullptr);
    EXPECT_TRUE(dialogSeen);
    EXPECT_FALSE(frame);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(frameShows.shown, 0);
    EXPECT_EQ(CMainFrameBase::current(), nullptr);
}

// A frame that only keeps the status line's progress, as the document drives it.
class ProgressFrame final : public CMainFrameBase {
public:
    ProgressFrame()
    {
        QObject::connect(&bar, &QProgressBar::valueChanged, [this](int v) { values.push_back({v, bar.maximum()}); });
        CMainFrameBase::setCurrent(this);
    }
    ~ProgressFrame() override { CMainFrameBase::setCurrent(nullptr); }
    QWidget* GetWindow() override { return nullptr; }
    QStatusBar* GetStatusBar() override { return nullptr; }
    QProgressBar* GetProgressBar() override { return begun.size() > ended ? &bar : nullptr; }
    void BeginProgress(int stringId) override { begun.push_back(stringId); }
    void EndProgress() override { ++ended; }
    uint32_t* GetActivityTick() override { return &tick; }
    TargetKind::Kind GetTargetKind() override { return TargetKind::Ordinary; }
    bool IsDeviceConnected() override { return false; }
    bool IsMatchStarted() override { return false; }
    ComPtr<IKavroDevice> GetDevice() override { return nullptr; }
    void ShowShotContextMenu(const QPoint&) override { }

    QProgressBar bar;
    std::vector<int> begun;
    size_t ended = 0;
    std::vector<std::pair<int, int>> values; // value, maximum
    uint32_t tick = 0;
};

TEST_F(FrameTest, SavingAndOpeningShowTheirProgressAimingByAiming)
{
    ProgressFrame frame;
    CKavroDoc doc, reopened;
    startPractice(doc, "AR10");
    addAiming(doc, false, 1, 0);
    for (int i = 0; i < 3; ++i)
        addAiming(doc, true, 1, 10 + 10 * i);
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(frame.begun, std::vector<int>{32841});
    EXPECT_EQ(frame.ended, 1u);
    ASSERT_FALSE(frame.values.empty());
    EXPECT_EQ(frame.values.back(), std::make_pair(4, 4));

    frame.values.clear();
    QString path;
    ASSERT_TRUE(doc.GetFileName(&path));
    ASSERT_TRUE(reopened.OpenDocument(path));
    EXPECT_EQ(frame.begun, (std::vector<int>{32841, 32840}));
    EXPECT_EQ(frame.ended, 2u);
    ASSERT_FALSE(frame.values.empty());
    EXPECT_EQ(frame.values.back(), std::make_pair(4, 4));
}

TEST_F(FrameTest, ADroppedFileOpens)
{
    const QString path = savedPractice();
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    EXPECT_FALSE(frame->doc().HasDocument());
    ShowMainFrame(*frame);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(frame->doc().HasDocument()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(frame->doc().MatchShotCount(), 3);
}

TEST_F(FrameTest, CtrlOOpensTheChosenFileAfterAskingToSave)
{
    const QString first = savedPractice(QStringLiteral("first.kavro"));
    const QString second = savedPractice(QStringLiteral("second.kavro"));
    auto frame = frameFor({first});
    ASSERT_TRUE(frame);
    QApplication::setActiveWindow(frame.get());
    addAiming(frame->doc(), true, 1, 500); // a shot makes the document modified
    ASSERT_TRUE(frame->doc().IsModified());
    DocumentCommands::setOpenDialogHook([&] { return second; });

    answer = QMessageBox::Cancel; // keeps the modified document
    QTest::keyClick(frame.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(messages.size(), 1);
    QString name;
    frame->doc().GetFileName(&name);
    EXPECT_EQ(name, first);

    answer = QMessageBox::No;
    QTest::keyClick(frame.get(), Qt::Key_O, Qt::ControlModifier);
    frame->doc().GetFileName(&name);
    EXPECT_EQ(name, second);
    EXPECT_FALSE(frame->doc().IsModified());
}

TEST_F(FrameTest, ClosingAsksToSaveAModifiedPractice)
{
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame);
    addAiming(frame->doc(), true, 1, 500);

    answer = QMessageBox::Cancel;
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(messages.size(), 1);

    answer = QMessageBox::Yes;
    EXPECT_TRUE(frame->close());
    EXPECT_FALSE(frame->doc().IsModified());
    CKavroDoc reread;
    QString path;
    frame->doc().GetFileName(&path);
    ASSERT_TRUE(reread.OpenDocument(path));
    EXPECT_EQ(reread.MatchShotCount(), 4);
}

// Typed text reaches the document before anything leaves the page or the document, without the
// field losing the focus first.
TEST_F(FrameTest, TypedNameAndCommentsAreTakenBeforeSavingOrClosing)
{
    registerView(ViewId::Info, Cmd::ViewInfo,
                 [](CKavroDoc& doc, QWidget* parent) -> QWidget* { return new kavro::info::CInfoView(doc, parent); });
    enum Road { CtrlS, Close, Logout };
    struct Row {
        const char* field;
        Road road;
    };
    for (const Row& row : {Row{"idComments", CtrlS}, Row{"idShooterName", Close}, Row{"idComments", Logout}}) {
        SCOPED_TRACE(row.field + std::to_string(row.road));
        const QString path = savedPractice();
        messages.clear();
        auto frame = frameFor({path});
        ASSERT_TRUE(frame);
        QApplication::setActiveWindow(frame.get());
        auto* field = frame->findChild<QWidget*>(QString::fromLatin1(row.field));
        ASSERT_TRUE(field && field->isVisible());
        QTest::keyClicks(field, QStringLiteral("Wind"));
        ASSERT_FALSE(frame->doc().IsModified());
        CKavroDoc reread;
        QString text;
        switch (row.road) {
        case CtrlS:
            QTest::keyClick(frame.get(), Qt::Key_S, Qt::ControlModifier);
            EXPECT_FALSE(frame->doc().IsModified());
            ASSERT_TRUE(reread.OpenDocument(path));
            reread.GetComments(&text);
            EXPECT_EQ(text, QStringLiteral("Wind"));
            EXPECT_TRUE(messages.isEmpty());
            break;
        case Close:
            answer = QMessageBox::Cancel;
            EXPECT_FALSE(frame->close());
            EXPECT_EQ(messages, QStringList{QStringLiteral("Document was changed. Save changes to this file?")});
            frame->doc().GetShooterName(&text);
            EXPECT_EQ(text, QStringLiteral("AnnaWind"));
            break;
        case Logout:
            // A logout that may ask asks as closing does; one that may not keeps the practice.
            answer = QMessageBox::Cancel;
            EXPECT_FALSE(frame->CommitDataForLogout(true));
            EXPECT_EQ(messages.size(), 1);
            EXPECT_TRUE(frame->doc().IsModified());
            EXPECT_TRUE(frame->CommitDataForLogout(false));
            EXPECT_EQ(messages.size(), 1);
            EXPECT_FALSE(frame->doc().IsModified());
            ASSERT_TRUE(reread.OpenDocument(path));
            reread.GetComments(&text);
            EXPECT_EQ(text, QStringLiteral("Wind"));
            break;
        }
    }
}

// A request to end (logout, `kill`) while a dialog waits for an answer nobody will give: the
// dialog is closed as Escape closes it, then the frame ends in order and the program succeeds.
TEST_F(FrameTest, ASignalToEndClosesAWaitingDialogAndEndsTheProgramInOrder)
{
    const QString path = savedPractice();
    int dialogResult = -1;
    bool frameOpenAfterAnswer = false;
    QTimer::singleShot(0, [&] {
        QWidget* frame = CMainFrameBase::current()->GetWindow();
        QDialog dialog(frame);
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        dialogResult = dialog.exec();
        // The code that asked takes its answer before the frame goes.
        frameOpenAfterAnswer = frame->isVisible();
    });
    EXPECT_EQ(RunMainFrame(ParseCommandLine({path})), 0);
    EXPECT_EQ(dialogResult, QDialog::Rejected);
    EXPECT_TRUE(frameOpenAfterAnswer);
    QByteArray rect;
    EXPECT_TRUE(SUCCEEDED(kavro::OpenAppRegistryKey().readBinary(QStringLiteral("WindowRect"), &rect)));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FrameTest, CommandStatesFollowTheDocument)
{
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->commands().action(Cmd::Save)->isEnabled());
    EXPECT_FALSE(frame->commands().action(Cmd::ViewInfo)->isEnabled());
    EXPECT_TRUE(frame->commands().action(Cmd::Open)->isEnabled());
    EXPECT_EQ(frame->commands().action(Cmd::Open)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(frame->commands().action(Cmd::ViewProbability)->shortcut(), QKeySequence(Qt::Key_F11));
    EXPECT_TRUE(frame->commands().action(Cmd::StartPractice)->isEnabled());

    ASSERT_TRUE(frame->OpenDocumentFile(savedPractice()));
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->commands().action(Cmd::Save)->isEnabled());
    EXPECT_TRUE(frame->commands().action(Cmd::ViewInfo)->isEnabled());
    EXPECT_TRUE(frame->commands().action(Cmd::ViewInfo)->isChecked());
    EXPECT_TRUE(frame->commands().action(Cmd::HideRestoreShot)->isEnabled());
    EXPECT_EQ(frame->commands().action(Cmd::HideRestoreShot)->text(), QStringLiteral("&Hide shot"));
    // Views this build does not have stay disabled instead of showing a blank page.
    EXPECT_FALSE(frame->commands().action(Cmd::ViewTrace)->isEnabled());
    EXPECT_FALSE(frame->commands().action(Cmd::ViewProbability)->isEnabled());
    EXPECT_FALSE(frame->commands().action(Cmd::StopPractice)->isEnabled());
    // Without a device the practice buttons leave the tool bar; their menu items stay.
    auto* bar = frame->findChild<QToolBar*>(QStringLiteral("MainToolBar"));
    ASSERT_TRUE(bar);
    int checkedButtons = 0;
    for (QAction* b : bar->actions()) {
        const int id = b->data().toInt();
        if (id == Cmd::StopPractice || id == Cmd::AdjustSensor || id == Cmd::SwitchToMatch) {
            EXPECT_FALSE(b->isVisible()) << id;
            ++checkedButtons;
        }
        if (id == Cmd::Save) {
            EXPECT_TRUE(b->isVisible());
            EXPECT_TRUE(b->isEnabled());
            ++checkedButtons;
        }
    }
    EXPECT_EQ(checkedButtons, 4);
    EXPECT_TRUE(frame->commands().action(Cmd::StopPractice)->isVisible());

    // The hidden selected shot flips the caption to its second text.
    answer = QMessageBox::Yes;
    frame->doc().SetShowHidden(true);
    frame->commands().action(Cmd::HideRestoreShot)->trigger();
    frame->UpdateCommandUI();
    EXPECT_EQ(frame->commands().action(Cmd::HideRestoreShot)->text(), QStringLiteral("&Restore shot"));
    // The shot context menu follows the same rules.
    frame->ShowShotContextMenu(frame->mapToGlobal(QPoint(20, 20)));
    QStringList shotMenu;
    for (QAction* item : frame->commands().shotMenu()->actions())
        shotMenu.append(item->text() + (item->isEnabled() ? QStringLiteral("+") : QStringLiteral("-")));
    frame->commands().shotMenu()->hide();
    EXPECT_EQ(
        shotMenu,
        (QStringList{QStringLiteral("&Replay+"), QStringLiteral("&Restore shot+"), QStringLiteral("&Print...-")}));
    ASSERT_NE(frame->commands().shotMenu()->defaultAction(), nullptr);
    EXPECT_EQ(frame->commands().shotMenu()->defaultAction()->data().toInt(), Cmd::Replay);
    EXPECT_EQ(messages.last(), QStringLiteral("Do you want to hide this shot?"));
}

TEST_F(FrameTest, AModelOfTheSameEventOpensBesideThePractice)
{
    const QString model = savedPractice(QStringLiteral("model.kavro"));
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame);
    DocumentCommands::setOpenDialogHook([&] { return model; });
    frame->OnCommand(Cmd::OpenModel);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(frame->doc().HasModel());
    EXPECT_TRUE(frame->commands().action(Cmd::CloseModel)->isEnabled());
    ComPtr<IShotCollection> modelShots;
    ASSERT_TRUE(frame->doc().GetModelShots(&modelShots));
    EXPECT_EQ(countOf(modelShots.get()), 3); // its sighting shots are left out
    frame->OnCommand(Cmd::CloseModel);
    EXPECT_FALSE(frame->doc().HasModel());
    EXPECT_FALSE(frame->commands().action(Cmd::CloseModel)->isEnabled());

    // A practice of another event is no model for this one.
    CKavroDoc other;
    startPractice(other, "AP10");
    addAiming(other, true, 1, 0);
    addAiming(other, true, 1, 10);
    const QString otherPath = env.path() + QStringLiteral("/pistol.kavro");
    other.document()->put_FileName(otherPath);
    ASSERT_TRUE(other.Save());
    DocumentCommands::setOpenDialogHook([&] { return otherPath; });
    frame->OnCommand(Cmd::OpenModel);
    EXPECT_FALSE(frame->doc().HasModel());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("Unable to load file."));
}

TEST_F(FrameTest, CtrlDigitsZoomTheTargets)
{
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame && lastInfoView);
    QApplication::setActiveWindow(frame.get());
    QTest::keyClick(frame.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(lastInfoView->zoom, 10);
    QTest::keyClick(frame.get(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(lastInfoView->zoom, 3);
}

TEST_F(FrameTest, SimpleModePrunesMenusAndExpertModeBringsThemBack)
{
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    const QStringList expert = menuCommands(*frame);
    EXPECT_TRUE(expert.contains(QString::number(Cmd::DeleteAllShots)));
    EXPECT_TRUE(expert.contains(QString::number(Cmd::ViewProbability)));

    frame->OnCommand(Cmd::ExpertMode);
    EXPECT_FALSE(kavro::theAppOptions().AdvancedMode);
    const QStringList simple = menuCommands(*frame);
    for (int c :
         {Cmd::OpenModel, Cmd::CloseModel, Cmd::DeleteAllShots, Cmd::Replay, Cmd::ViewCoordination,
          Cmd::ViewProbability, Cmd::ToolBar, Cmd::StatusBar, Cmd::Series, Cmd::ShowHidden, Cmd::ShotsParameters})
        EXPECT_FALSE(simple.contains(QString::number(c))) << c;
    EXPECT_TRUE(simple.contains(QString::number(Cmd::ExpertMode)));
    EXPECT_TRUE(simple.contains(QString::number(Cmd::ViewInfo)));

    // The mode is an option: it outlives the frame.
    kavro::AppOptions reloaded;
    reloaded.Load(kavro::OpenAppRegistryKey());
    EXPECT_FALSE(reloaded.AdvancedMode);

    frame->OnCommand(Cmd::ExpertMode);
    EXPECT_EQ(menuCommands(*frame), expert);
}

TEST_F(FrameTest, InSimpleModeTheAnalysisViewKeysDoNothing)
{
    registerView(ViewId::Probability, Cmd::ViewProbability,
                 [](CKavroDoc& doc, QWidget* parent) -> QWidget* { return new RecordingView(doc, parent); });
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame);
    frame->ShowView(Cmd::ViewProbability);
    EXPECT_EQ(frame->panes().visibleView(), Cmd::ViewProbability);
    frame->OnCommand(Cmd::ExpertMode); // simple mode falls back to the information page
    EXPECT_EQ(frame->panes().visibleView(), Cmd::ViewInfo);
    frame->ShowView(Cmd::ViewProbability);
    EXPECT_EQ(frame->panes().visibleView(), Cmd::ViewInfo);
    unregisterView(ViewId::Probability);
}

TEST_F(FrameTest, LayoutIsStoredAndRestored)
{
    {
        auto frame = frameFor({});
        ASSERT_TRUE(frame);
        ShowMainFrame(*frame);
        frame->setGeometry(QRect(60, 70, 520, 410));
        frame->OnCommand(Cmd::StatusBar);
        EXPECT_FALSE(frame->statusBar()->isVisibleTo(frame.get()));
        ASSERT_TRUE(frame->close());
    }
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    EXPECT_FALSE(frame->statusBar()->isVisibleTo(frame.get()));
    EXPECT_EQ(frame->geometry().size(), QSize(520, 410));
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->commands().action(Cmd::StatusBar)->isChecked());
    EXPECT_TRUE(frame->commands().action(Cmd::ToolBar)->isChecked());
}

TEST_F(FrameTest, ACorruptSettingsFileGivesTheDefaultLayout)
{
    QFile f(env.path() + QStringLiteral("/user.reg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[software\\Kavro\\Kavro Professional]\n\"WindowRect\"=hex:01,02\n\"ReBar\"=hex:ff,ff,ff\n"
            "\"SplitterPos\"=dword:ffffffff\n\"StatusBar\"=\"yes\"\n\x01\x02\x03 garbage\n");
    f.close();
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    ShowMainFrame(*frame);
    EXPECT_TRUE(frame->statusBar()->isVisibleTo(frame.get()));
    EXPECT_FALSE(frame->panes().startsZoomed());
    EXPECT_GT(frame->width(), 0);
}

// Printing as a test double: a preview that counts its page steps.
struct FakePrinting : CFramePrinting {
    int* pageSteps;
    explicit FakePrinting(int* steps) : pageSteps(steps) { }
    void Print(CKavroDoc&, QWidget*) override { }
    void PageSetup(QWidget*) override { }
    void PrintTarget(CKavroDoc&, QWidget*) override { }
    void PrintShot(CKavroDoc&, QWidget*) override { }
    QWidget* CreatePreview(CKavroDoc&, QWidget* parent) override
    {
        auto* w = new QWidget(parent);
        w->setObjectName(QStringLiteral("FakePreview"));
        return w;
    }
    void ShowPage(QWidget*, int step) override { *pageSteps += step; }
    void RefreshPreview(QWidget*) override { }
};

TEST_F(FrameTest, ClosingTheWindowInPrintPreviewOnlyClosesThePreview)
{
    int steps = 0;
    registerReportPrinting(std::make_unique<FakePrinting>(&steps));
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame);
    ASSERT_TRUE(frame->commands().action(Cmd::PrintPreview)->isEnabled());
    frame->OnCommand(Cmd::PrintPreview);
    ASSERT_TRUE(frame->panes().previewOpen());
    EXPECT_FALSE(frame->menuBar()->isVisibleTo(frame.get()));
    EXPECT_FALSE(frame->commands().action(Cmd::ViewInfo)->isEnabled());
    frame->OnCommand(Cmd::NextPage);
    frame->OnCommand(Cmd::NextPage);
    frame->OnCommand(Cmd::PreviousPage);
    EXPECT_EQ(steps, 1);

    EXPECT_FALSE(frame->close());
    EXPECT_FALSE(frame->panes().previewOpen());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->menuBar()->isVisibleTo(frame.get()));
    EXPECT_FALSE(frame->findChild<QWidget*>(QStringLiteral("FakePreview")));
    EXPECT_TRUE(frame->commands().action(Cmd::ViewInfo)->isEnabled());

    // Esc leaves the preview too.
    frame->OnCommand(Cmd::PrintPreview);
    QApplication::setActiveWindow(frame.get());
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    EXPECT_FALSE(frame->panes().previewOpen());
    registerReportPrinting(nullptr);
    EXPECT_TRUE(frame->close());
}

// A view that replays like the trace view: it answers that it is replaying until told to stop.
struct ReplayingView : RecordingView {
    using RecordingView::RecordingView;
    bool replaying = false;
    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override
    {
        RecordingView::OnDocumentUpdate(sender, hint, payload);
        if (hint == KavroHint::ReplayStarts)
            replaying = true;
        if (hint == KavroHint::ReplayStopped)
            replaying = false;
    }
    bool IsReplayRunning(CView* sender) override
    {
        RecordingView::IsReplayRunning(sender);
        return replaying;
    }
};

TEST_F(FrameTest, ReplayAllPausesThenReplaysTheNextShotWrappingToTheFirst)
{
    ReplayingView* trace = nullptr;
    registerView(ViewId::Trace, Cmd::ViewTrace, [&](CKavroDoc& doc, QWidget* parent) -> QWidget* {
        trace = new ReplayingView(doc, parent);
        return trace;
    });
    kavro::theAppOptions().ReplayAllPause = 3;
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame && trace);
    CKavroDoc& doc = frame->doc();
    ASSERT_FALSE(doc.includeSightings());
    doc.SetSelectedShot(listShot(doc, 3).get(), nullptr); // the last match shot

    frame->OnCommand(Cmd::ReplayAll);
    EXPECT_TRUE(frame->commands().action(Cmd::ReplayAll)->isChecked());
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPlaying);
    EXPECT_EQ(frame->panes().visibleView(), Cmd::ViewTrace);

    auto* pause = frame->findChild<QTimer*>(QStringLiteral("replayAllTimer"));
    ASSERT_TRUE(pause);
    doc.StopReplay(); // the replay of the last shot ends
    EXPECT_TRUE(pause->isActive());
    EXPECT_EQ(pause->interval(), 3000);

    QMetaObject::invokeMethod(pause, "timeout"); // the pause is over
    ComPtr<IShot> selected;
    ASSERT_TRUE(doc.GetSelectedShot(&selected));
    EXPECT_EQ(listIndex(doc, selected.get()), 1);
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayPlaying);

    frame->OnCommand(Cmd::ReplayAll); // off again
    EXPECT_FALSE(pause->isActive());
    EXPECT_EQ(doc.GetReplayState(), CKavroDoc::ReplayStopped);
    unregisterView(ViewId::Trace);
}

// Each row changes one thing a command depends on, the way the program changes it, and reads the
// command at once: states follow their inputs, not a clock. Rows run in order on one practice.
TEST_F(FrameTest, CommandStatesFollowWhatTheyDependOnWithoutAClock)
{
    registerView(ViewId::Trace, Cmd::ViewTrace,
                 [](CKavroDoc& doc, QWidget* parent) -> QWidget* { return new ReplayingView(doc, parent); });
    const QString model = savedPractice(QStringLiteral("model.kavro"));
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame);
    CKavroDoc& doc = frame->doc();
    auto* mainBar = frame->findChild<QToolBar*>(QStringLiteral("MainToolBar"));
    ASSERT_TRUE(mainBar);
    struct Row {
        const char* change;
        std::function<void()> act;
        int command;
        bool enabled;
        bool checked;
    };
    const Row rows[] = {
        {"sightings included", [&] { doc.SetIncludeSightings(true); }, Cmd::Sightings, true, true},
        {"model opened", [&] { ASSERT_TRUE(doc.OpenModel(model)); }, Cmd::CloseModel, true, false},
        {"replay started", [&] { ASSERT_TRUE(doc.StartReplay()); }, Cmd::Replay, true, true},
        {"replay ended in its view", [&] { doc.StopReplay(); }, Cmd::Replay, true, false},
        {"tool bar hidden from the window's bar menu", [&] { mainBar->hide(); }, Cmd::ToolBar, true, false},
        {"full screen", [&] { frame->OnCommand(Cmd::FullScreen); }, Cmd::FullScreen, true, true},
        {"selection cleared", [&] { doc.SetSelectedShot(nullptr, nullptr); }, Cmd::HideRestoreShot, false, false},
        {"shots deleted", [&] { doc.ClearAllShots(); }, Cmd::DeleteAllShots, false, false},
    };
    for (const Row& row : rows) {
        row.act();
        // Once the broadcast is over; a turn of the loop runs no 100 ms timer.
        QCoreApplication::processEvents();
        const QAction* a = frame->commands().action(row.command);
        EXPECT_EQ(a->isEnabled(), row.enabled) << row.change;
        EXPECT_EQ(a->isChecked(), row.checked) << row.change;
    }
    unregisterView(ViewId::Trace);
}

// The series table as a test double: its two modes.
struct FakeSeriesTable : QWidget, CSeriesTableMode {
    using QWidget::QWidget;
    bool series = false;
    bool allTraces = false;
    bool IsSeriesMode() const override { return series; }
    void SetSeriesMode(bool s) override { series = s; }
    void SetAllTraces(bool on) override { allTraces = on; }
};

TEST_F(FrameTest, ShotListAndSeriesCommandsShowHideAndSwitchTheLeftPane)
{
    FakeSeriesTable* table = nullptr;
    registerView(ViewId::SeriesTable, 0, [&](CKavroDoc&, QWidget* parent) -> QWidget* {
        table = new FakeSeriesTable(parent);
        return table;
    });
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame && table);
    // Advanced mode with a document: the default view shows both panes.
    EXPECT_TRUE(frame->panes().shotListPaneShown());
    auto* title = frame->findChild<QLabel*>(QStringLiteral("ShotListPaneTitle"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), QStringLiteral("Shot list"));
    EXPECT_TRUE(frame->commands().action(Cmd::ShotList)->isChecked());

    frame->OnCommand(Cmd::Series); // both shown, other mode: switch the mode
    EXPECT_TRUE(frame->panes().shotListPaneShown());
    EXPECT_TRUE(table->series);
    EXPECT_EQ(title->text(), QStringLiteral("Series"));
    EXPECT_TRUE(frame->commands().action(Cmd::Series)->isChecked());
    EXPECT_FALSE(frame->commands().action(Cmd::ShotList)->isChecked());

    frame->OnCommand(Cmd::Series); // same mode again: right pane only
    EXPECT_FALSE(frame->panes().shotListPaneShown());
    EXPECT_FALSE(frame->commands().action(Cmd::Series)->isChecked());

    frame->OnCommand(Cmd::ShotList);
    EXPECT_TRUE(frame->panes().shotListPaneShown());
    EXPECT_FALSE(table->series);
    frame->OnCommand(Cmd::ClosePane);
    EXPECT_FALSE(frame->panes().shotListPaneShown());

    // All traces reaches the table's targets and is ticked while on.
    frame->OnCommand(Cmd::AllTraces);
    EXPECT_TRUE(table->allTraces);
    EXPECT_TRUE(frame->commands().action(Cmd::AllTraces)->isChecked());
    frame->OnCommand(Cmd::AllTraces);
    EXPECT_FALSE(table->allTraces);
    EXPECT_FALSE(frame->commands().action(Cmd::AllTraces)->isChecked());
    unregisterView(ViewId::SeriesTable);
}

// A view that counts how often it is told to reload its settings.
struct ReloadingView : QWidget, CFrameViewExtras {
    using QWidget::QWidget;
    int reloads = 0;
    void ReloadSettings() override { ++reloads; }
};

struct ReloadingSeriesTable : ReloadingView, CSeriesTableMode {
    using ReloadingView::ReloadingView;
    bool IsSeriesMode() const override { return false; }
    void SetSeriesMode(bool) override { }
    void SetAllTraces(bool) override { }
};

TEST_F(FrameTest, ChangedOptionsReachTheViewsThatShowThem)
{
    ReloadingView *info = nullptr, *trace = nullptr;
    ReloadingSeriesTable* table = nullptr;
    registerView(ViewId::Info, Cmd::ViewInfo,
                 [&](CKavroDoc&, QWidget* parent) -> QWidget* { return info = new ReloadingView(parent); });
    registerView(ViewId::Trace, Cmd::ViewTrace,
                 [&](CKavroDoc&, QWidget* parent) -> QWidget* { return trace = new ReloadingView(parent); });
    registerView(ViewId::SeriesTable, 0,
                 [&](CKavroDoc&, QWidget* parent) -> QWidget* { return table = new ReloadingSeriesTable(parent); });
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame && info && trace && table);
    const auto reloads = [&] { return std::vector<int>{info->reloads, trace->reloads, table->reloads}; };

    frame->settings().ApplyOptionsChange(kavro::kChangeShotList); // the table's columns: it is rebuilt
    EXPECT_EQ(reloads(), (std::vector<int>{0, 0, 1}));
    frame->settings().ApplyOptionsChange(kavro::kChangeReplaySpeed); // the trace view's replay
    EXPECT_EQ(reloads(), (std::vector<int>{0, 1, 1}));
    frame->settings().ApplyOptionsChange(kavro::kChangeTraceColors); // colours: all three
    EXPECT_EQ(reloads(), (std::vector<int>{1, 2, 2}));
    frame->settings().ApplyOptionsChange(kavro::kChangePrint | kavro::kChangeFiringPoint);
    EXPECT_EQ(reloads(), (std::vector<int>{1, 2, 2}));
    frame.reset();
    unregisterView(ViewId::Trace);
    unregisterView(ViewId::SeriesTable);
}

TEST_F(FrameTest, DeletingShotsAsksFirst)
{
    auto frame = frameFor({savedPractice()});
    ASSERT_TRUE(frame);
    answer = QMessageBox::No;
    frame->OnCommand(Cmd::DeleteSightingShots);
    EXPECT_EQ(frame->doc().SightingShotCount(), 2);
    answer = QMessageBox::Yes;
    frame->OnCommand(Cmd::DeleteSightingShots);
    EXPECT_EQ(frame->doc().SightingShotCount(), 0);
    EXPECT_EQ(frame->doc().MatchShotCount(), 3);
    EXPECT_EQ(messages.last(), QStringLiteral("Do you want to delete all sighting shots?"));
    frame->OnCommand(Cmd::DeleteAllShots);
    EXPECT_EQ(frame->doc().MatchShotCount(), 0);
    EXPECT_TRUE(frame->doc().IsModified());
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->commands().action(Cmd::Save)->isEnabled());
    EXPECT_EQ(messages.last(), QStringLiteral("Do you want to delete all shots?"));
}

TEST_F(FrameTest, SendToFolderCopiesAndSendToEmailAttachesTheSavedFile)
{
    // A stand-in for the desktop's mail helper records its arguments.
    const QString bin = env.path() + QStringLiteral("/bin");
    QDir().mkpath(bin);
    const QString record = env.path() + QStringLiteral("/mail-args");
    QFile script(bin + QStringLiteral("/xdg-email"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // Written aside and renamed, so the test never reads a half-written record.
    script.write(
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && mv '%1.part' '%1'\n").arg(record).toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ':' + path);

    auto frame = frameFor({savedPractice()});
    qputenv("PATH", path);
    ASSERT_TRUE(frame);
    const QString copies = env.path() + QStringLiteral("/copies");
    QDir().mkpath(copies);
    DocumentCommands::setFolderDialogHook([&] { return copies; });
    frame->OnCommand(Cmd::SendToFolder);
    EXPECT_EQ(QDir(copies).entryList(QDir::Files).size(), 1);
    DocumentCommands::setFolderDialogHook(nullptr);

    addAiming(frame->doc(), true, 1, 500); // unsaved: saved before it is sent
    frame->UpdateCommandUI();
    ASSERT_TRUE(frame->commands().action(Cmd::SendToEmail)->isEnabled());
    frame->OnCommand(Cmd::SendToEmail);
    EXPECT_FALSE(frame->doc().IsModified());
    QString file;
    frame->doc().GetFileName(&file);
    QFile args(record);
    for (int i = 0; i < 800 && !args.exists(); ++i)
        QTest::qWait(25); // the mail helper runs on its own
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()), QStringLiteral("--attach\n") + file + QLatin1Char('\n'));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FrameTest, DialogsKeepTheirRectangles)
{
    QWidget dialog;
    dialog.setGeometry(40, 50, 300, 200);
    using kavro::trainer::RestoreWindowRect;
    ASSERT_TRUE(kavro::trainer::SaveWindowRect(&dialog, QStringLiteral("WindowRectOptions")));
    QWidget again;
    ASSERT_TRUE(RestoreWindowRect(&again, QStringLiteral("WindowRectOptions")));
    EXPECT_EQ(again.geometry(), QRect(40, 50, 300, 200));
    EXPECT_FALSE(again.isVisible());
    kavro::OpenAppRegistryKey().writeBinary(QStringLiteral("WindowRectBroken"), QByteArray(12, '\0'));
    EXPECT_FALSE(RestoreWindowRect(&again, QStringLiteral("WindowRectBroken")));
    EXPECT_FALSE(RestoreWindowRect(&again, QStringLiteral("WindowRectMissing")));
}

TEST_F(FrameTest, FullScreenComesAndGoesWithF12AndEsc)
{
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    ShowMainFrame(*frame);
    QApplication::setActiveWindow(frame.get());
    EXPECT_FALSE(frame->windowIcon().isNull());
    QTest::keyClick(frame.get(), Qt::Key_F12);
    EXPECT_TRUE(frame->panes().fullScreen());
    EXPECT_TRUE(frame->commands().action(Cmd::FullScreen)->isChecked());
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    EXPECT_FALSE(frame->panes().fullScreen());
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->commands().action(Cmd::FullScreen)->isChecked());
}

TEST_F(FrameTest, TheFrameHearsHintsBeforeTheViews)
{
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    ASSERT_FALSE(frame->doc().views().empty());
    EXPECT_EQ(frame->doc().views().front(), static_cast<CView*>(frame.get()));
}

} // namespace

TEST_F(FrameTest, TheLanguageMenuRetranslatesMenusTipsAndTheLayoutDirection)
{
    auto& module = kavro::LanguageModule::instance();
    const QString savedFolder = module.languageFolder();
    module.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    const auto statusShows = [&](const QString& text) {
        for (QLabel* l : frame->statusBar()->findChildren<QLabel*>())
            if (l->text() == text)
                return true;
        return false;
    };
    const auto menuTitles = [&] {
        QStringList titles;
        for (QAction* top : frame->menuBar()->actions())
            titles.append(top->text());
        return titles;
    };

    frame->OnCommand(32880);
    EXPECT_EQ(menuTitles().value(0), QStringLiteral("&Datei"));
    EXPECT_TRUE(menuTitles().contains(QStringLiteral("E&xtras")));
    EXPECT_EQ(frame->commands().action(Cmd::StartPractice)->text(), QStringLiteral("&Training starten"));
    EXPECT_EQ(frame->commands().action(Cmd::StartPractice)->toolTip(), QStringLiteral("Training starten (Strg+N)"));
    EXPECT_EQ(frame->commands().action(Cmd::SwitchToMatch)->statusTip(),
              QStringLiteral("Probeschüsse beenden und die Wertung beginnen"));
    EXPECT_TRUE(statusShows(QStringLiteral("Drücken Sie F1, um Hilfe zu erhalten")));
    EXPECT_EQ(frame->layoutDirection(), Qt::LeftToRight);

    frame->OnCommand(32876);
    EXPECT_EQ(menuTitles().value(0), QStringLiteral("&ملف"));
    EXPECT_EQ(frame->layoutDirection(), Qt::RightToLeft);
    QDir().mkpath(QStringLiteral(KAVRO_SCREENS_DIR));
    frame->grab().save(QStringLiteral(KAVRO_SCREENS_DIR "/frame_arabic.png"));

    frame->OnCommand(32809);
    EXPECT_EQ(menuTitles().value(0), QStringLiteral("&File"));
    EXPECT_EQ(frame->commands().action(Cmd::StartPractice)->toolTip(), QStringLiteral("Start practice (Ctrl+N)"));
    EXPECT_TRUE(statusShows(QStringLiteral("Press F1 for help")));
    EXPECT_EQ(frame->layoutDirection(), Qt::LeftToRight);
    module.setLanguageFolder(savedFolder);
}

TEST_F(FrameTest, TheStatusBarShowsOneTextAtATime)
{
    auto frame = frameFor({});
    ASSERT_TRUE(frame);
    ShowMainFrame(*frame);
    QApplication::processEvents();
    QStatusBar* bar = frame->statusBar();
    // Every text the bar draws: its own message and its visible labels.
    const auto drawn = [&] {
        QApplication::processEvents();
        QStringList texts;
        if (!bar->currentMessage().isEmpty())
            texts << bar->currentMessage();
        for (QLabel* l : bar->findChildren<QLabel*>())
            if (l->isVisible() && !l->text().isEmpty())
                texts << l->text();
        return texts.join(QStringLiteral(" | ")).toStdString();
    };
    QWidget* button = nullptr;
    for (QToolButton* b : frame->findChildren<QToolButton*>())
        if (!button && b->isVisible() && !b->statusTip().isEmpty())
            button = b;
    ASSERT_NE(button, nullptr);
    QAction* start = frame->commands().action(Cmd::StartPractice);
    const QString idle = QStringLiteral("Press F1 for help");
    const struct {
        const char* road;
        std::function<void()> prompt;
        QString prompted, own;
    } rows[] = {
        {"menu item", [&] { start->showStatusText(frame->menuBar()); }, start->statusTip(), idle},
        {"tool button",
         [&] {
             QTest::mouseMove(frame->centralWidget());
             QTest::mouseMove(button);
         },
         button->statusTip(), idle},
        {"bar shown again",
         [&] {
             frame->OnCommand(Cmd::StatusBar);
             start->showStatusText(frame->menuBar());
             frame->OnCommand(Cmd::StatusBar);
         },
         start->statusTip(), idle},
        {"progress",
         [&] {
             frame->BeginProgress(32845);
             start->showStatusText(frame->menuBar());
         },
         start->statusTip(), QStringLiteral("Calculating time shift graph...")},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(drawn(), idle.toStdString()) << row.road;
        row.prompt();
        EXPECT_EQ(drawn(), row.prompted.toStdString()) << row.road;
        QStatusTipEvent ended{QString()};
        QApplication::sendEvent(frame->menuBar(), &ended);
        EXPECT_EQ(drawn(), row.own.toStdString()) << row.road;
        frame->EndProgress();
    }
}
