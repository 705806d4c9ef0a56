#include "main_frame.h"

#include "about_dialog.h"
#include "app_options.h"
#include "desktop_registration.h"
#include "doc_helpers.h"
#include "help.h"
#include "language_module.h"
#include "ui_text.h"

#include "com/oledate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

namespace {

QString shotTimeText(DATE d)
{
    kavro::DateFields f;
    if (!kavro::dateToFields(d, &f))
        return QString();
    const QDateTime t(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second));
    return QLocale().toString(t, QLocale::ShortFormat);
}

QString firstLocalFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return QString();
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return QString();
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("KavroMainFrame"));
    ensureProgramResources();
    setWindowIcon(QIcon(QStringLiteral(":/kavropro/kavropro.svg")));
    // The frame hears every hint first: it was the document's first view.
    doc_.AddView(this);
    commands_ = std::make_unique<FrameCommands>(
        this, doc_, [this] { return currentState(); }, [this](int command) { OnCommand(command); });
    replay_ = std::make_unique<ReplayController>(this, doc_, *commands_);
    panes_ = std::make_unique<FramePanes>(*this, doc_, *commands_, *replay_);
    buildToolBars();
    buildStatusBar();
    panes_->build();
    commands_->buildMenus(menuBar());
    reloadTexts();

    titleRefreshTimer_ = new QTimer(this);
    titleRefreshTimer_->setObjectName(QStringLiteral("titleRefreshTimer"));
    connect(titleRefreshTimer_, &QTimer::timeout, this, &CMainFrame::UpdateTitle);
    titleRefreshTimer_->start(500);
    connect(&kavro::LanguageModule::instance(), &kavro::LanguageModule::languageChanged, this,
            &CMainFrame::OnLanguageChanged);

    sounds_ = std::make_unique<FrameSounds>(this);
    practice_ = std::make_unique<PracticeController>(PracticeController::Parts{
        doc_, this, *this, *panes_, *replay_, *sounds_, [this] { commands_->inputsChanged(CommandInput::Practice); }});
    documents_ = std::make_unique<DocumentCommands>(*this, doc_, *panes_, *replay_, *practice_);
    settings_ = std::make_unique<SettingsCommands>(
        SettingsCommands::Parts{*this, menuBar(), doc_, *commands_, *panes_, practice_->deviceOptions(), *sounds_});
    doc_.UpdateAllViews(nullptr, KavroHint::Everything);
    setAcceptDrops(true);
    keys_ = std::make_unique<FrameKeys>(*this, *commands_, *panes_, practice_->session(), practice_->deviceOptions());
    setLayoutDirection(kavro::LanguageModule::instance().layoutDirection());
}

CMainFrame::~CMainFrame()
{
    keys_.reset();
    // The practice goes first: stopping it still tells the views, sounds and commands.
    practice_.reset();
    sounds_.reset();
    if (CMainFrameBase::current() == this)
        CMainFrameBase::setCurrent(nullptr);
    panes_.reset();
    doc_.RemoveView(this);
}

// --- window ----------------------------------------------------------------------------------

void CMainFrame::buildToolBars()
{
    mainBar_ = new QToolBar(this);
    mainBar_->setObjectName(QStringLiteral("MainToolBar"));
    for (int id :
         std::initializer_list<int>{Cmd::StartPractice, Cmd::Open, Cmd::Save, 0, Cmd::StopPractice, Cmd::SwitchToMatch,
                                    Cmd::Continue, Cmd::AdjustSensor, 0, Cmd::OpenModel, Cmd::Series,
                                    Cmd::ShotsParameters, 0, Cmd::Print, Cmd::SoundOff, Cmd::HelpContents}) {
        if (id == 0)
            mainBar_->addSeparator();
        else
            commands_->addButton(mainBar_, id);
    }
    addToolBar(Qt::TopToolBarArea, mainBar_);
    // The window's own menu of bars may hide it too.
    connect(mainBar_, &QToolBar::visibilityChanged, this, [this] { commands_->inputsChanged(CommandInput::Bars); });

    previewBar_ = new QToolBar(this);
    previewBar_->setObjectName(QStringLiteral("PreviewToolBar"));
    for (int id : {Cmd::Print, Cmd::PreviousPage, Cmd::NextPage, Cmd::ClosePreview})
        commands_->addButton(previewBar_, id);
    addToolBar(Qt::TopToolBarArea, previewBar_);
    previewBar_->hide();
    panes_->setWindowBars(mainBar_, previewBar_);
}

void CMainFrame::buildStatusBar()
{
    statusText_ = new QLabel(this);
    statusBar()->addWidget(statusText_, 1);
}

void CMainFrame::showPaneText()
{
    statusText_->setText(prompt_.isEmpty() ? paneText_ : prompt_);
}

void CMainFrame::SetStatusText(const QString& text)
{
    paneText_ = text;
    showPaneText();
}

// Prompts go into pane 0 rather than the bar's own message, which Qt draws over the pane's label
// whenever the label was not visible at the moment the message came (a bar shown again, a pane
// rebuilt after a progress bar).
bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        prompt_ = static_cast<QStatusTipEvent*>(event)->tip();
        showPaneText();
        return true;
    }
    return QMainWindow::event(event);
}

QStatusBar* CMainFrame::GetStatusBar()
{
    return statusBar();
}

void CMainFrame::BeginProgress(int stringId)
{
    SetStatusText(uiText(stringId));
    if (!progress_) {
        progress_ = new QProgressBar(this);
        progress_->setFixedWidth(150);
        progress_->setTextVisible(false);
        statusBar()->insertWidget(1, progress_);
    }
    progress_->show();
    progress_->setRange(0, 0);
}

void CMainFrame::EndProgress()
{
    delete progress_;
    progress_ = nullptr;
    SetStatusText(uiText(TextId::IdleStatus));
}

void CMainFrame::reloadTexts()
{
    commands_->reloadTexts();
    mainBar_->setWindowTitle(FrameCommands::tipOf(uiText(Cmd::ToolBar)));
    SetStatusText(uiText(TextId::IdleStatus));
    panes_->SetShotListPaneTitle();
    UpdateTitle();
}

void CMainFrame::OnLanguageChanged()
{
    reloadTexts();
    commands_->buildMenus(menuBar());
    setLayoutDirection(kavro::LanguageModule::instance().layoutDirection());
    doc_.UpdateAllViews(nullptr, KavroHint::Language);
}

void CMainFrame::UpdateTitle()
{
    QString title;
    const QString program = uiText(TextId::ProgramTitle);
    if (doc_.HasDocument()) {
        QString name;
        doc_.GetShooterName(&name);
        title = name.isEmpty() ? uiText(32816) : name;
        QString event;
        if (doc_.GetEventDisplayName(&event) && !event.isEmpty())
            title += QStringLiteral(" - ") + event;
        ComPtr<IShotCollection> match;
        if (doc_.GetMatchShots(&match) && countOf(match.get()) > 0) {
            ComPtr<IAimingAttr> attr;
            DATE entered = 0;
            if (ComPtr<IShot> first = shotAt(match.get(), 1);
                first && SUCCEEDED(first->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_EnterTime(&entered)))
                title += QStringLiteral(" - ") + shotTimeText(entered);
        }
        if (doc_.IsModified())
            title += QLatin1Char('*');
        title += practice_ && practice_->session().signalSeenLately() ? QStringLiteral(" + ") : QStringLiteral(" - ");
        title += program;
    } else {
        title = program;
    }
    if (windowTitle() != title)
        setWindowTitle(title);
}

// --- state -----------------------------------------------------------------------------------

FrameState CMainFrame::currentState()
{
    const kavro::AppOptions& options = kavro::theAppOptions();
    FrameState s;
    s.document = doc_.HasDocument();
    s.preview = panes_->previewOpen();
    s.matchShots = doc_.MatchShotCount();
    s.sightingShots = doc_.SightingShotCount();
    s.shotsWithHidden = doc_.ShotCountWithHidden();
    if (practice_) {
        s.device = practice_->session().hasDevice();
        s.timed = practice_->timedPractice();
        s.matchStarted = practice_->recorder().matchStarted();
        s.waitsForContinue = practice_->sequencer().continueAsked();
        s.subTarget = practice_->position().subTarget();
        s.resultShown = practice_->resultShown();
    }
    s.threePositions = doc_.IsThreePositions();
    s.biathlon = doc_.GetTargetKind() == TargetKind::Biathlon;
    if (doc_.document()) {
        Variant v;
        if (SUCCEEDED(doc_.document()->get_Value(QStringLiteral("_position"), &v)) && v.vt() == VT_BSTR)
            s.position = v.bstr();
    }
    s.advancedMode = options.AdvancedMode;
    s.includeSightings = doc_.includeSightings();
    s.showHidden = doc_.showHidden();
    s.allTraces = panes_->allTraces();
    ComPtr<IShot> selected;
    s.shotSelected = doc_.GetSelectedShot(&selected);
    s.replayState = doc_.GetReplayState();
    s.replayAllRunning = replay_->replayAllRunning();
    s.validModel = doc_.HasModel();
    s.mailAvailable = documents_ && documents_->mailAvailable();
    s.validShotTimes = s.matchShots > 0 && doc_.HasValidShotTimes();
    s.toolBarShown = panes_->toolBarShown();
    s.statusBarShown = statusBar()->isVisibleTo(this);
    s.fullScreen = panes_->fullScreen();
    s.soundEnabled = options.SoundEnabled;
    s.bothPanes = panes_->shotListPaneShown();
    s.seriesMode = panes_->seriesMode();
    s.visibleView = panes_->visibleView();
    s.languageId = kavro::LanguageModule::instance().langId();
    for (int command : frameCommands())
        if (panes_->viewForCommand(command))
            s.availableViews.insert(command);
    s.seriesTableAvailable = panes_->seriesTable() != nullptr;
    s.practiceAvailable = true;
    s.printingAvailable = reportPrinting() != nullptr;
    s.optionsAvailable = true;
    s.shotsParametersAvailable = true;
    s.helpAvailable = !kavro::helpContentsUrl().isEmpty();
    return s;
}

void CMainFrame::UpdateToolbarButtons()
{
    const FrameState s = currentState();
    commands_->updateButtons(s);
    if (!shotListPaneAllowed(s) || !panes_->seriesTable())
        panes_->setBothPanes(false);
}

// --- hints -----------------------------------------------------------------------------------

void CMainFrame::OnDocumentUpdate(CView*, int hint, const KavroHint::Payload& payload)
{
    const kavro::AppOptions& options = kavro::theAppOptions();
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::Language:
    case KavroHint::Saved:
    case KavroHint::ShooterName:
    case KavroHint::Comments:
        replay_->stopReplayAll();
        practice_->clearResultShown();
        UpdateTitle();
        if (hint == KavroHint::Everything)
            UpdateToolbarButtons();
        if (hint != KavroHint::Saved)
            panes_->refreshPreview();
        break;
    case KavroHint::SelectedShot:
        replay_->stopReplayAll();
        replay_->cancelAutoReplay();
        break;
    case KavroHint::ShotParameters: panes_->refreshPreview(); break;
    case KavroHint::AimingStarted:
        replay_->stopReplayAll();
        replay_->cancelAutoReplay();
        practice_->clearResultShown();
        if (options.AutoSwitchToTrace)
            panes_->ShowView(Cmd::ViewTrace);
        break;
    case KavroHint::ShotAdded: {
        const auto* added = KavroHint::payloadOf<KavroHint::ShotAdded>(payload);
        sounds_->shotAdded(added ? added->shot : nullptr);
        replay_->stopReplayAll();
        practice_->shotAdded();
        UpdateTitle();
        panes_->refreshPreview();
        break;
    }
    case KavroHint::AimingConcluded:
        if (options.ForceReplay) {
            practice_->recorder().releaseCurrentAiming();
            replay_->StartAutoReplay();
        }
        break;
    case KavroHint::AimingFinal:
        if (!options.ForceReplay)
            replay_->StartAutoReplay();
        break;
    case KavroHint::ReplayStarts: panes_->ShowView(Cmd::ViewTrace); break;
    case KavroHint::ReplayStopped: replay_->replayStopped(); break;
    default: break;
    }
    commands_->hintArrived(hint);
}

bool CMainFrame::MayReplayStart(CView*)
{
    return !practice_->recorder().currentAiming();
}

std::optional<KavroHint::ShiftArgs> CMainFrame::ShiftCorrection(CView*, const KavroHint::ShiftArgs& shift)
{
    replay_->stopReplayAll();
    replay_->cancelAutoReplay();
    return practice_->session().correctShift(shift);
}

// --- commands --------------------------------------------------------------------------------

void CMainFrame::OnCommand(int command)
{
    // Ctrl+S right after typing saves the typed text; any other command may leave the page.
    panes_->CommitPendingEdits();
    // A command arriving from a shortcut or a stale menu obeys the same rules as the menus.
    if (!commandState(command, currentState()).enabled) {
        commands_->updateAll();
        return;
    }
    if (languageOfCommand(command) != 0)
        kavro::SwitchLanguage(uint32_t(command), this);
    else if (!runWindowCommand(command))
        runDocumentCommand(command);
    // A click flips a check mark by itself, whether the command changed anything or not.
    commands_->inputsChanged(commandInputs(command));
}

void CMainFrame::runDocumentCommand(int command)
{
    switch (command) {
    case Cmd::StartPractice: practice_->NewPractice(QString(), QString()); break;
    case Cmd::Open: documents_->OnFileOpen(); break;
    case Cmd::OpenModel: documents_->OnOpenModel(); break;
    case Cmd::CloseModel: doc_.CloseModel(); break;
    case Cmd::Save: documents_->OnSave(); break;
    case Cmd::SendToFolder: documents_->OnSendToFolder(); break;
    case Cmd::SendToEmail: documents_->SendResultsByMail(); break;
    case Cmd::HideRestoreShot: documents_->ToggleShotHidden(); break;
    case Cmd::DeleteSightingShots: documents_->OnDeleteSightingShots(); break;
    case Cmd::DeleteAllShots: documents_->OnDeleteAllShots(); break;
    case Cmd::Print: reportPrinting()->Print(doc_, this); break;
    case Cmd::PageSetup: reportPrinting()->PageSetup(this); break;
    case Cmd::PrintTarget: reportPrinting()->PrintTarget(doc_, this); break;
    case Cmd::PrintShot: reportPrinting()->PrintShot(doc_, this); break;
    case Cmd::Replay: replay_->OnReplay(); break;
    case Cmd::ReplayAll: replay_->ReplayAll(); break;
    case Cmd::StopPractice: practice_->StopPractice(); break;
    case Cmd::ResetTraceTarget: practice_->OnResetTraceTarget(); break;
    case Cmd::ResetHardware: practice_->session().OnResetHardware(); break;
    case Cmd::SwitchToMatch: practice_->SwitchToMatch(); break;
    case Cmd::AdjustSensor: practice_->OnCalibration(); break;
    case Cmd::Continue: practice_->sequencer().giveContinue(); break;
    case Cmd::Prone: SelectSubTarget(BiathlonTarget::Prone, QStringLiteral("prone")); break;
    case Cmd::Standing: SelectSubTarget(BiathlonTarget::Standing, QStringLiteral("standing")); break;
    case Cmd::Kneeling: SelectSubTarget(BiathlonTarget::None, QStringLiteral("kneeling")); break;
    case Cmd::ShowHidden: doc_.SetShowHidden(!doc_.showHidden()); break;
    case Cmd::Sightings: doc_.SetIncludeSightings(!doc_.includeSightings()); break;
    case Cmd::ShotsParameters: settings_->OnShotsParameters(); break;
    case Cmd::Options: settings_->OnOptions(); break;
    case Cmd::ExpertMode: settings_->ToggleAdvancedMode(); break;
    case Cmd::SoundOff: settings_->ToggleSound(); break;
    case Cmd::HelpContents: kavro::ShowHelpContents(); break;
    case Cmd::About: kavro::CAboutDlg(this).exec(); break;
    default: break;
    }
}

// The commands on the window and what it shows; false for any other.
bool CMainFrame::runWindowCommand(int command)
{
    switch (command) {
    case Cmd::Exit: close(); return true;
    case Cmd::ClosePreview: panes_->ClosePreview(); return true;
    case Cmd::PrintPreview: panes_->OpenPreview(); return true;
    case Cmd::PreviousPage:
    case Cmd::NextPage: panes_->showPreviewPage(command == Cmd::NextPage ? 1 : -1); return true;
    case Cmd::ToolBar: mainBar_->setVisible(!mainBar_->isVisible()); return true;
    case Cmd::StatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        commands_->inputsChanged(CommandInput::Bars);
        return true;
    case Cmd::AllTraces: panes_->ToggleAllTraces(); return true;
    case Cmd::FullScreen: panes_->ToggleFullScreen(); return true;
    case Cmd::ShotList:
    case Cmd::Series: panes_->OnShotListCommand(command); return true;
    case Cmd::ClosePane: panes_->setBothPanes(false); return true;
    default:
        if (command < Cmd::ViewInfo || command > Cmd::ViewProbability)
            return false;
        panes_->ShowView(command);
        return true;
    }
}

// --- ending ----------------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (endingWithoutQuestions_) {
        event->accept();
        return;
    }
    if (panes_->previewOpen()) {
        panes_->ClosePreview();
        event->ignore();
        return;
    }
    panes_->CommitPendingEdits();
    if (!doc_.SaveModified()) {
        event->ignore();
        return;
    }
    panes_->SaveLayout();
    practice_->StopPractice();
    titleRefreshTimer_->stop();
    event->accept();
}

bool CMainFrame::KeepDocumentWithoutQuestions()
{
    if (!doc_.HasDocument() || !doc_.IsModified() || doc_.ShotCountWithHidden() == 0)
        return true;
    if (doc_.Save())
        return true;
    std::fprintf(stderr, "kavropro: the practice could not be kept: %s\n",
                 qPrintable(doc_.lastSaveFailureText().replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return false;
}

bool CMainFrame::EndWithoutQuestions()
{
    panes_->CommitPendingEdits();
    panes_->ClosePreview();
    practice_->StopPractice();
    const bool kept = KeepDocumentWithoutQuestions();
    panes_->SaveLayout();
    titleRefreshTimer_->stop();
    endingWithoutQuestions_ = true;
    close();
    return kept;
}

bool CMainFrame::CommitDataForLogout(bool mayAsk)
{
    panes_->CommitPendingEdits();
    const bool mayGo = mayAsk ? doc_.SaveModified() : KeepDocumentWithoutQuestions();
    // The session may end without closing the window: the layout is kept now.
    if (mayGo)
        panes_->SaveLayout();
    return mayGo;
}

// --- dropped files ----------------------------------------------------------------------------

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!firstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QString path = firstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    documents_->OpenFromUser(path);
}
