#include "main_frame.h"

#include "about_dialog.h"
#include "app_options.h"
#include "app_registry.h"
#include "catalog_dialog.h"
#include "desktop_registration.h"
#include "device_event_sink.h"
#include "doc_helpers.h"
#include "frame_message.h"
#include "help.h"
#include "live_server.h"
#include "sequencer.h"
#include "language_module.h"
#include "menu_layout.h"
#include "ui_text.h"

#include "com/classregistry.h"
#include "com/oledate.h"
#include "thread/clock.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>

namespace {

std::function<QString()>& openDialogHook()
{
    static std::function<QString()> h;
    return h;
}

std::function<QString()>& folderDialogHook()
{
    static std::function<QString()> h;
    return h;
}

// The status prompt is the text before the first line break of a command's string; the tool
// tip the text after it.
QString promptOf(const QString& s)
{
    return s.section(QLatin1Char('\n'), 0, 0);
}

QString tipOf(const QString& s)
{
    const QString tip = s.section(QLatin1Char('\n'), 1, 1);
    return tip.isEmpty() ? promptOf(s) : tip;
}

QKeySequence shortcutOf(int command)
{
    switch (command) {
    case Cmd::StartPractice: return QKeySequence(Qt::CTRL | Qt::Key_N);
    case Cmd::Open: return QKeySequence(Qt::CTRL | Qt::Key_O);
    case Cmd::Save: return QKeySequence(Qt::CTRL | Qt::Key_S);
    case Cmd::AdjustSensor: return QKeySequence(Qt::Key_F2);
    case Cmd::SwitchToMatch: return QKeySequence(Qt::Key_F3);
    case Cmd::ViewInfo: return QKeySequence(Qt::Key_F4);
    case Cmd::ViewTrace: return QKeySequence(Qt::Key_F5);
    case Cmd::ViewDistance: return QKeySequence(Qt::Key_F6);
    case Cmd::ViewCoordination: return QKeySequence(Qt::Key_F7);
    case Cmd::ViewShift: return QKeySequence(Qt::Key_F8);
    case Cmd::ViewSpeed: return QKeySequence(Qt::Key_F9);
    case Cmd::ViewIntervals: return QKeySequence(Qt::Key_F10);
    case Cmd::ViewProbability: return QKeySequence(Qt::Key_F11);
    case Cmd::FullScreen: return QKeySequence(Qt::Key_F12);
    case Cmd::ResetHardware: return QKeySequence(Qt::CTRL | Qt::Key_H);
    case Cmd::HelpContents: return QKeySequence(Qt::Key_F1);
    default: return QKeySequence();
    }
}

bool isCheckable(int command)
{
    switch (command) {
    case Cmd::Replay:
    case Cmd::ReplayAll:
    case Cmd::Prone:
    case Cmd::Standing:
    case Cmd::Kneeling:
    case Cmd::ExpertMode:
    case Cmd::Sightings:
    case Cmd::ShotList:
    case Cmd::Series:
    case Cmd::ToolBar:
    case Cmd::StatusBar:
    case Cmd::ShowHidden:
    case Cmd::AllTraces:
    case Cmd::ViewInfo:
    case Cmd::ViewTrace:
    case Cmd::ViewDistance:
    case Cmd::ViewCoordination:
    case Cmd::ViewShift:
    case Cmd::ViewSpeed:
    case Cmd::ViewIntervals:
    case Cmd::ViewProbability:
    case Cmd::FullScreen:
    case Cmd::SoundOff: return true;
    default: return languageOfCommand(command) != 0;
    }
}

const int kViewCommands[] = {Cmd::ViewInfo,  Cmd::ViewTrace, Cmd::ViewDistance,  Cmd::ViewCoordination,
                             Cmd::ViewShift, Cmd::ViewSpeed, Cmd::ViewIntervals, Cmd::ViewProbability};

// The desktop's mail helper: it opens the user's mail program with the file attached.
QString mailHelper()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

QString shotTimeText(DATE d)
{
    kavro::DateFields f;
    if (!kavro::dateToFields(d, &f))
        return QString();
    const QDateTime t(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second));
    return QLocale().toString(t, QLocale::ShortFormat);
}

} // namespace

void CMainFrame::setOpenDialogHook(std::function<QString()> hook)
{
    openDialogHook() = std::move(hook);
}

void CMainFrame::setFolderDialogHook(std::function<QString()> hook)
{
    folderDialogHook() = std::move(hook);
}

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("KavroMainFrame"));
    ensureProgramResources();
    setWindowIcon(QIcon(QStringLiteral(":/kavropro/kavropro.svg")));
    m_deviceSink = makeDeviceEventSink(this);
    // The frame hears every hint first: it was the document's first view.
    m_doc.AddView(this);
    createActions();
    buildToolBars();
    buildStatusBar();
    buildPanes();
    buildMenus();
    reloadTexts();
    m_mailer = mailHelper();

    auto timer = [this](const char* name, bool singleShot) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setSingleShot(singleShot);
        return t;
    };
    m_timer1 = timer("uiTimer", false);
    m_timer2 = timer("replayAllTimer", true);
    m_timer3 = timer("resultShownTimer", true);
    m_timer5 = timer("announceTimer", true);
    m_timer4 = timer("autoReplayTimer", true);
    connect(m_timer4, &QTimer::timeout, this, &CMainFrame::OnAutoReplayTimer);
    connect(m_timer1, &QTimer::timeout, this, &CMainFrame::OnTimer1);
    connect(m_timer2, &QTimer::timeout, this, &CMainFrame::OnReplayAllTimer);
    connect(m_timer3, &QTimer::timeout, this, [this] {
        m_resultShown = true;
        UpdateCommandUI();
    });
    connect(m_timer5, &QTimer::timeout, this, [this] {
        kavro::AnnounceResult(m_pendingAnnounceShot.get());
        m_pendingAnnounceShot = nullptr;
    });
    connect(&kavro::LanguageModule::instance(), &kavro::LanguageModule::languageChanged, this,
            &CMainFrame::OnLanguageChanged);
    m_timer1->start(100);

    m_sequencerHost = makeSequencerHost(this);
    m_sequencer = std::make_unique<kavro::trainer::RangeSequencer>(*m_sequencerHost, kavro::realClock());
    m_live = new kavro::live::LiveServer(this);
    QString livePath;
    if (FAILED(kavro::live::socketPath(&livePath)))
        qWarning("Live notifications are off: the per-user runtime folder is not private");
    else if (!m_live->listen(livePath))
        qWarning("Live notifications are off: %s", qPrintable(m_live->errorString()));

    m_doc.UpdateAllViews(nullptr, KavroHint::Everything);
    createSounds();
    setAcceptDrops(true);
    qApp->installEventFilter(this);
    setLayoutDirection(kavro::LanguageModule::instance().layoutDirection());
}

CMainFrame::~CMainFrame()
{
    StopPractice();
    m_sequencer.reset();
    releaseSounds();
    qApp->removeEventFilter(this);
    if (CMainFrameBase::current() == this)
        CMainFrameBase::setCurrent(nullptr);
    // Views are widgets the frame owns; they leave the document before it goes.
    m_views.clear();
    delete m_splitter;
    m_splitter = nullptr;
    m_doc.RemoveView(this);
}

// --- building --------------------------------------------------------------------------------

void CMainFrame::createActions()
{
    for (int command : frameCommands()) {
        auto* a = new QAction(this);
        a->setData(command);
        a->setCheckable(isCheckable(command));
        a->setShortcut(shortcutOf(command));
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, command] { OnCommand(command); });
        addAction(a); // shortcuts work with the menu bar hidden too
        m_actions[command] = a;
    }
}

QAction* CMainFrame::addButton(QToolBar* bar, int command)
{
    auto* button = new QAction(bar);
    button->setData(command);
    button->setCheckable(isCheckable(command));
    connect(button, &QAction::triggered, this, [this, command] { OnCommand(command); });
    bar->addAction(button);
    m_buttons.emplace_back(button, command);
    return button;
}

void CMainFrame::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->clear();
    const bool simple = !kavro::theAppOptions().AdvancedMode;
    for (const MenuLayout& sub : fullMainMenu()) {
        const std::vector<int> items = simple ? prunedForSimpleMode(sub.items) : sub.items;
        if (items.empty())
            continue;
        QMenu* menu = bar->addMenu(uiText(int(menuTextId(kMainMenu, uint16_t(sub.position)))));
        for (int id : items) {
            if (id == 0) {
                menu->addSeparator();
            } else if (id == Cmd::LanguagePlaceholder) {
                QMenu* languages = menu->addMenu(uiText(int(menuTextId(kMainMenu, uint16_t(id)))));
                connect(languages, &QMenu::aboutToShow, this, [this, languages] { fillLanguageMenu(languages); });
                fillLanguageMenu(languages);
            } else {
                menu->addAction(action(id));
            }
        }
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
    if (!m_shotMenu) {
        m_shotMenu = new QMenu(this);
        for (int id : shotContextMenu()) {
            // Its captions are its own (menu 256), so the items are actions of their own too.
            auto* item = m_shotMenu->addAction(uiText(int(menuTextId(kShotMenu, uint16_t(id)))));
            item->setData(id);
            connect(item, &QAction::triggered, this, [this, id] { OnCommand(id); });
            // Replay is what a double click on a shot does: the menu shows it as its default.
            if (id == Cmd::Replay)
                m_shotMenu->setDefaultAction(item);
        }
        connect(m_shotMenu, &QMenu::aboutToShow, this, [this] {
            for (QAction* item : m_shotMenu->actions()) {
                const int id = item->data().toInt();
                item->setText(shownCaption(id, uiText(int(menuTextId(kShotMenu, uint16_t(id))))));
                item->setEnabled(action(id)->isEnabled());
            }
        });
    }
}

void CMainFrame::ShowShotContextMenu(const QPoint& globalPos)
{
    UpdateCommandUI();
    m_shotMenu->popup(globalPos);
}

void CMainFrame::fillLanguageMenu(QMenu* menu)
{
    menu->clear();
    bool first = true;
    for (const LanguageMenuItem& l : kLanguageMenu) {
        menu->addAction(action(l.command));
        if (first)
            menu->addSeparator();
        first = false;
    }
}

void CMainFrame::buildToolBars()
{
    m_mainBar = new QToolBar(this);
    m_mainBar->setObjectName(QStringLiteral("MainToolBar"));
    for (int id :
         std::initializer_list<int>{Cmd::StartPractice, Cmd::Open, Cmd::Save, 0, Cmd::StopPractice, Cmd::SwitchToMatch,
                                    Cmd::Continue, Cmd::AdjustSensor, 0, Cmd::OpenModel, Cmd::Series,
                                    Cmd::ShotsParameters, 0, Cmd::Print, Cmd::SoundOff, Cmd::HelpContents}) {
        if (id == 0)
            m_mainBar->addSeparator();
        else
            addButton(m_mainBar, id);
    }
    addToolBar(Qt::TopToolBarArea, m_mainBar);

    m_previewBar = new QToolBar(this);
    m_previewBar->setObjectName(QStringLiteral("PreviewToolBar"));
    for (int id : {Cmd::Print, Cmd::PreviousPage, Cmd::NextPage, Cmd::ClosePreview})
        addButton(m_previewBar, id);
    addToolBar(Qt::TopToolBarArea, m_previewBar);
    m_previewBar->hide();
}

void CMainFrame::buildStatusBar()
{
    m_statusText = new QLabel(this);
    statusBar()->addWidget(m_statusText, 1);
}

void CMainFrame::showPaneText()
{
    m_statusText->setText(m_prompt.isEmpty() ? m_paneText : m_prompt);
}

// Prompts go into pane 0 rather than the bar's own message, which Qt draws over the pane's label
// whenever the label was not visible at the moment the message came (a bar shown again, a pane
// rebuilt after a progress bar).
bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        m_prompt = static_cast<QStatusTipEvent*>(event)->tip();
        showPaneText();
        return true;
    }
    return QMainWindow::event(event);
}

QStatusBar* CMainFrame::GetStatusBar()
{
    return statusBar();
}

void CMainFrame::buildPanes()
{
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("MainSplitter"));
    m_splitter->setChildrenCollapsible(false);

    m_leftPane = new QWidget(m_splitter);
    auto* left = new QVBoxLayout(m_leftPane);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    m_leftTitle = new QLabel(m_leftPane);
    m_leftTitle->setObjectName(QStringLiteral("ShotListPaneTitle"));
    m_leftTitle->setMargin(3);
    left->addWidget(m_leftTitle);
    m_contentsBar = new QToolBar(m_leftPane);
    for (int id : {Cmd::Replay, Cmd::Sightings, Cmd::AllTraces})
        addButton(m_contentsBar, id);
    left->addWidget(m_contentsBar);

    auto* right = new QWidget(m_splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    m_viewBar = new QToolBar(right);
    for (int id : kViewCommands)
        addButton(m_viewBar, id);
    rightLayout->addWidget(m_viewBar);
    m_viewStack = new QStackedWidget(right);
    // Shown while no view is visible: an empty area, not a view.
    m_emptyView = new QWidget(m_viewStack);
    m_viewStack->addWidget(m_emptyView);
    rightLayout->addWidget(m_viewStack, 1);

    // A view that did not attach itself to the document is attached here.
    auto attach = [this](QWidget* view) {
        if (auto* v = dynamic_cast<CView*>(view); v && !v->document())
            m_doc.AddView(v);
    };
    for (const ViewRegistration& r : registeredViews()) {
        if (r.id == ViewId::SeriesTable) {
            m_seriesTable = r.create(m_doc, m_leftPane);
            if (m_seriesTable) {
                attach(m_seriesTable);
                left->addWidget(m_seriesTable, 1);
            }
            continue;
        }
        QWidget* view = r.create(m_doc, m_viewStack);
        if (!view)
            continue;
        attach(view);
        view->hide();
        m_viewStack->addWidget(view);
        m_views[r.commandId] = view;
    }
    if (!m_seriesTable)
        left->addStretch(1);
    m_splitter->setStretchFactor(1, 1);
    m_leftPane->hide();
    setCentralWidget(m_splitter);
}

void CMainFrame::applyActionTexts(int command)
{
    QAction* a = action(command);
    const QString strings = uiText(command);
    QString caption = uiText(int(menuTextId(kMainMenu, uint16_t(command))));
    if (languageOfCommand(command) != 0) {
        for (const LanguageMenuItem& l : kLanguageMenu)
            if (l.command == command)
                caption = QString::fromUtf8(l.caption);
    }
    caption = shownCaption(command, caption);
    if (caption.isEmpty())
        caption = tipOf(strings);
    // The menu caption carries the shortcut after a tab; the action shows its own.
    a->setText(caption.section(QLatin1Char('\t'), 0, 0));
    a->setStatusTip(promptOf(strings));
    a->setToolTip(tipOf(strings));
    const QString buttonText = tipOf(strings).section(QStringLiteral(" ("), 0, 0);
    for (auto& [button, id] : m_buttons) {
        if (id != command)
            continue;
        button->setText(buttonText);
        button->setToolTip(tipOf(strings));
        button->setStatusTip(promptOf(strings));
    }
}

QString CMainFrame::shownCaption(int command, const QString& caption)
{
    if (command != Cmd::HideRestoreShot)
        return caption;
    // Two captions: the second while the selected shot is hidden.
    ComPtr<IShot> shot;
    VARIANT_BOOL hidden = VARIANT_FALSE;
    if (m_doc.GetSelectedShot(&shot))
        shot->get_Hidden(&hidden);
    const int part = hidden == VARIANT_TRUE ? 1 : 0;
    return caption.section(QLatin1Char('\n'), part, part);
}

void CMainFrame::reloadTexts()
{
    for (const auto& [command, a] : m_actions)
        applyActionTexts(command);
    m_mainBar->setWindowTitle(tipOf(uiText(Cmd::ToolBar)));
    SetStatusText(uiText(57345));
    SetShotListPaneTitle();
    UpdateTitle();
}

void CMainFrame::SetShotListPaneTitle()
{
    const bool series = m_seriesTable && dynamic_cast<CSeriesTableMode*>(m_seriesTable)
        && dynamic_cast<CSeriesTableMode*>(m_seriesTable)->IsSeriesMode();
    const QString s = uiText(series ? Cmd::Series : Cmd::ShotList);
    if (s.count(QLatin1Char('\n')) >= 2)
        m_leftTitle->setText(s.section(QLatin1Char('\n'), 1, 1));
}

QAction* CMainFrame::action(int command) const
{
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

// --- progress ----------------------------------------------------------------------------------

void CMainFrame::BeginProgress(int stringId)
{
    SetStatusText(uiText(stringId));
    if (!m_progress) {
        m_progress = new QProgressBar(this);
        m_progress->setFixedWidth(150);
        m_progress->setTextVisible(false);
        statusBar()->insertWidget(1, m_progress);
    }
    m_progress->show();
    m_progress->setRange(0, 0);
}

void CMainFrame::EndProgress()
{
    delete m_progress;
    m_progress = nullptr;
    SetStatusText(uiText(57345));
}

bool CMainFrame::IsDeviceConnected()
{
    VARIANT_BOOL c = VARIANT_FALSE;
    return m_device && SUCCEEDED(m_device->get_Connected(&c)) && c == VARIANT_TRUE;
}

// --- state -----------------------------------------------------------------------------------

FrameState CMainFrame::currentState()
{
    const kavro::AppOptions& options = kavro::theAppOptions();
    FrameState s;
    s.document = m_doc.HasDocument();
    s.preview = m_previewOpen;
    s.matchShots = m_doc.MatchShotCount();
    s.sightingShots = m_doc.SightingShotCount();
    s.shotsWithHidden = m_doc.ShotCountWithHidden();
    s.device = m_device != nullptr;
    s.timed = timedPractice();
    s.matchStarted = m_matchStarted;
    s.waitsForContinue = m_sequencer && m_sequencer->continueAsked();
    s.threePositions = m_doc.IsThreePositions();
    s.biathlon = m_doc.GetTargetKind() == TargetKind::Biathlon;
    if (m_doc.document()) {
        Variant v;
        if (SUCCEEDED(m_doc.document()->get_Value(QStringLiteral("_position"), &v)) && v.vt() == VT_BSTR)
            s.position = v.bstr();
    }
    s.subTarget = m_subTarget;
    s.resultShown = m_resultShown;
    s.advancedMode = options.AdvancedMode;
    s.includeSightings = m_doc.includeSightings();
    s.showHidden = m_doc.showHidden();
    s.allTraces = m_allTraces;
    ComPtr<IShot> selected;
    s.shotSelected = m_doc.GetSelectedShot(&selected);
    s.replayState = m_doc.GetReplayState();
    s.replayAllRunning = m_replayAllRunning;
    s.validModel = m_doc.HasModel();
    s.mailAvailable = !m_mailer.isEmpty();
    s.validShotTimes = s.matchShots > 0 && m_doc.HasValidShotTimes();
    s.toolBarShown = m_mainBar->isVisibleTo(this) || (m_previewOpen && !m_barsBeforePreview.isEmpty());
    s.statusBarShown = statusBar()->isVisibleTo(this);
    s.fullScreen = m_fullScreen;
    s.soundEnabled = options.SoundEnabled;
    s.bothPanes = shotListPaneShown();
    s.seriesMode = m_seriesTable && dynamic_cast<CSeriesTableMode*>(m_seriesTable)
        && dynamic_cast<CSeriesTableMode*>(m_seriesTable)->IsSeriesMode();
    s.visibleView = m_visibleView;
    s.languageId = kavro::LanguageModule::instance().langId();
    for (const auto& [command, view] : m_views)
        if (view)
            s.availableViews.insert(command);
    s.seriesTableAvailable = m_seriesTable != nullptr;
    s.practiceAvailable = true;
    s.printingAvailable = reportPrinting() != nullptr;
    s.optionsAvailable = true;
    s.shotsParametersAvailable = true;
    s.helpAvailable = !kavro::helpContentsUrl().isEmpty();
    return s;
}

bool CMainFrame::shotListPaneShown() const
{
    return m_leftPane && m_leftPane->isVisibleTo(const_cast<CMainFrame*>(this));
}

void CMainFrame::UpdateCommandUI()
{
    const FrameState s = currentState();
    for (const auto& [command, a] : m_actions) {
        const CommandState c = commandState(command, s);
        a->setEnabled(c.enabled);
        if (a->isCheckable())
            a->setChecked(c.checked);
    }
    for (auto& [button, command] : m_buttons) {
        QAction* a = action(command);
        button->setEnabled(a->isEnabled());
        if (button->isCheckable())
            button->setChecked(a->isChecked());
    }
    applyActionTexts(Cmd::HideRestoreShot);
}

void CMainFrame::UpdateToolbarButtons()
{
    const FrameState s = currentState();
    for (auto& [button, command] : m_buttons)
        button->setVisible(toolbarButtonVisible(command, s));
    // A separator shows only between groups that still have a button.
    for (QToolBar* bar : {m_mainBar, m_contentsBar, m_viewBar}) {
        const QList<QAction*> items = bar->actions();
        QAction* pending = nullptr;
        bool buttonBefore = false;
        for (QAction* a : items) {
            if (a->isSeparator()) {
                a->setVisible(false);
                if (buttonBefore)
                    pending = a;
                buttonBefore = false;
            } else if (a->isVisible()) {
                if (pending)
                    pending->setVisible(true);
                pending = nullptr;
                buttonBefore = true;
            }
        }
    }
    if (!shotListPaneAllowed(s) || !m_seriesTable)
        setBothPanes(false);
}

void CMainFrame::UpdateTitle()
{
    QString title;
    const QString program = uiText(128);
    if (m_doc.HasDocument()) {
        QString name;
        m_doc.GetShooterName(&name);
        title = name.isEmpty() ? uiText(32816) : name;
        QString event;
        if (m_doc.GetEventDisplayName(&event) && !event.isEmpty())
            title += QStringLiteral(" - ") + event;
        ComPtr<IShotCollection> match;
        if (m_doc.GetMatchShots(&match) && countOf(match.get()) > 0) {
            ComPtr<IAimingAttr> attr;
            DATE entered = 0;
            if (ComPtr<IShot> first = shotAt(match.get(), 1);
                first && SUCCEEDED(first->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_EnterTime(&entered)))
                title += QStringLiteral(" - ") + shotTimeText(entered);
        }
        if (m_doc.IsModified())
            title += QLatin1Char('*');
        const bool signal = m_device && kavro::realClock().tickMs() - m_lastSignalTime < 1000;
        title += signal ? QStringLiteral(" + ") : QStringLiteral(" - ");
        title += program;
    } else {
        title = program;
    }
    if (windowTitle() != title)
        setWindowTitle(title);
}

void CMainFrame::OnTimer1()
{
    UpdateCommandUI();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastTitleUpdate >= 500) {
        m_lastTitleUpdate = now;
        UpdateTitle();
    }
}

void CMainFrame::refreshPreview()
{
    // Without an open preview the laid-out report is still dropped, or the next preview would
    // show the practice as it was.
    if (reportPrinting())
        reportPrinting()->RefreshPreview(m_previewOpen ? m_preview : nullptr);
}

// --- hints -----------------------------------------------------------------------------------

void CMainFrame::OnDocumentUpdate(CView*, int hint, const KavroHint::Payload& payload)
{
    switch (hint) {
    case KavroHint::Everything:
        m_replayAllRunning = false;
        m_resultShown = false;
        UpdateTitle();
        UpdateCommandUI();
        UpdateToolbarButtons();
        refreshPreview();
        break;
    case KavroHint::Language:
    case KavroHint::Saved:
    case KavroHint::ShooterName:
    case KavroHint::Comments:
        m_replayAllRunning = false;
        m_resultShown = false;
        UpdateTitle();
        UpdateCommandUI();
        if (hint != KavroHint::Saved)
            refreshPreview();
        break;
    case KavroHint::SelectedShot:
        m_replayAllRunning = false;
        m_autoReplayPending = false;
        break;
    case KavroHint::ShotParameters: refreshPreview(); break;
    case KavroHint::AimingStarted:
        m_replayAllRunning = false;
        m_autoReplayPending = false;
        m_resultShown = false;
        if (kavro::theAppOptions().AutoSwitchToTrace)
            ShowView(Cmd::ViewTrace);
        UpdateCommandUI();
        break;
    case KavroHint::ShotAdded:
        if (const auto* added = std::get_if<KavroHint::ShotAddedArgs>(&payload))
            m_pendingAnnounceShot = added->shot;
        else
            m_pendingAnnounceShot = nullptr;
        m_timer5->start(500);
        playSound(QStringLiteral("Shot"));
        m_replayAllRunning = false;
        m_timer3->start(1000);
        UpdateTitle();
        UpdateCommandUI();
        refreshPreview();
        break;
    case KavroHint::AimingConcluded:
        if (kavro::theAppOptions().ForceReplay) {
            m_currentAiming = nullptr;
            StartAutoReplay();
        }
        break;
    case KavroHint::AimingFinal:
        if (!kavro::theAppOptions().ForceReplay)
            StartAutoReplay();
        break;
    case KavroHint::ReplayStarts: ShowView(Cmd::ViewTrace); break;
    case KavroHint::ReplayStopped:
        if (m_replayAllRunning)
            m_timer2->start(kavro::theAppOptions().ReplayAllPause * 1000);
        UpdateCommandUI();
        break;
    default: break;
    }
}

bool CMainFrame::MayReplayStart(CView*)
{
    return !m_currentAiming;
}

std::optional<KavroHint::ShiftArgs> CMainFrame::ShiftCorrection(CView*, const KavroHint::ShiftArgs& shift)
{
    m_replayAllRunning = false;
    m_autoReplayPending = false;
    if (!m_device)
        return std::nullopt;
    KavroHint::ShiftArgs totals;
    m_device->get_CorrectionX(1, &totals.dx);
    m_device->get_CorrectionY(1, &totals.dy);
    totals.dx += shift.dx;
    totals.dy += shift.dy;
    m_device->put_CorrectionX(1, totals.dx);
    m_device->put_CorrectionY(1, totals.dy);
    return totals;
}

// --- documents -------------------------------------------------------------------------------

bool CMainFrame::OpenDocumentFile(const QString& path)
{
    const bool hadDocument = m_doc.HasDocument();
    if (!m_doc.OpenDocument(path))
        return false;
    m_replayAllRunning = false;
    if (!hadDocument)
        ShowDefaultView(false);
    if (shotListPaneShown() && m_viewStack->currentWidget())
        m_viewStack->currentWidget()->setFocus();
    if (!kavro::theAppOptions().AdvancedMode)
        m_doc.SetIncludeSightings(m_doc.SightingShotCount() > 0);
    UpdateToolbarButtons();
    return true;
}

void CMainFrame::ShowOpenFailure(const QString& path)
{
    ShowMessageBox(CKavroDoc::openFailureText(m_doc.lastReadError()), QMessageBox::Ok, QMessageBox::Critical, path,
                   this);
}

bool CMainFrame::OpenFromUser(const QString& path)
{
    CommitPendingEdits();
    if (path.isEmpty() || !m_doc.SaveModified())
        return false;
    StopPractice();
    m_doc.Reset();
    if (OpenDocumentFile(path))
        return true;
    ShowDefaultView(true);
    ShowOpenFailure(path);
    return false;
}

QString CMainFrame::choosePractice(const QString& title)
{
    if (openDialogHook())
        return openDialogHook()();
    kavro::trainer::CCatalogDlg dialog(this);
    dialog.setCaption(title);
    QString event, shooter;
    m_doc.GetShooterName(&shooter);
    ComPtr<IEventParams> current;
    if (m_doc.document() && SUCCEEDED(m_doc.document()->get_Event(current.put())) && current) {
        current->get_Name(&event);
        if (event.isEmpty())
            current->get_ShortName(&event);
    }
    dialog.setPreselection(event, shooter);
    ComPtr<IEventManager> events;
    createInstance(kavrodoc::CLSID_EventManager, &events);
    dialog.setEventNamer([events](const QString& folderName) {
        ComPtr<IEventParams> found;
        if (!events || events->Find(folderName, found.put()) != S_OK || !found)
            return QString();
        return FormatEventName(found.get(), uiLanguageId());
    });
    return dialog.exec() == QDialog::Accepted ? dialog.chosenFile() : QString();
}

void CMainFrame::OnFileOpen()
{
    const QString path = choosePractice(tipOf(uiText(Cmd::Open)).section(QStringLiteral(" ("), 0, 0));
    if (!path.isEmpty())
        OpenFromUser(path);
}

void CMainFrame::OnOpenModel()
{
    const QString path = choosePractice(uiText(61221));
    if (path.isEmpty())
        return;
    if (!m_doc.OpenModel(path))
        ShowMessageBox(CKavroDoc::openFailureText(m_doc.lastReadError()), QMessageBox::Ok, QMessageBox::Critical, path,
                       this);
}

// --- commands --------------------------------------------------------------------------------

void CMainFrame::OnCommand(int command)
{
    // Ctrl+S right after typing saves the typed text; any other command may leave the page.
    CommitPendingEdits();
    // A command arriving from a shortcut or a stale menu obeys the same rules as the menus.
    if (!commandState(command, currentState()).enabled) {
        UpdateCommandUI();
        return;
    }
    if (languageOfCommand(command) != 0) {
        kavro::SwitchLanguage(uint32_t(command), this);
        UpdateCommandUI();
        return;
    }
    switch (command) {
    case Cmd::StartPractice: NewPractice(QString(), QString()); break;
    case Cmd::Open: OnFileOpen(); break;
    case Cmd::OpenModel: OnOpenModel(); break;
    case Cmd::CloseModel: m_doc.CloseModel(); break;
    case Cmd::Save: OnSave(); break;
    case Cmd::SendToFolder: OnSendToFolder(); break;
    case Cmd::SendToEmail: SendResultsByMail(); break;
    case Cmd::ClosePreview: ClosePreview(); break;
    case Cmd::PrintPreview: OpenPreview(); break;
    case Cmd::PreviousPage:
    case Cmd::NextPage:
        if (m_preview)
            reportPrinting()->ShowPage(m_preview, command == Cmd::NextPage ? 1 : -1);
        break;
    case Cmd::Print: reportPrinting()->Print(m_doc, this); break;
    case Cmd::PageSetup: reportPrinting()->PageSetup(this); break;
    case Cmd::PrintTarget: reportPrinting()->PrintTarget(m_doc, this); break;
    case Cmd::PrintShot: reportPrinting()->PrintShot(m_doc, this); break;
    case Cmd::Exit: close(); break;
    case Cmd::HideRestoreShot: ToggleShotHidden(); break;
    case Cmd::DeleteSightingShots: OnDeleteSightingShots(); break;
    case Cmd::DeleteAllShots: OnDeleteAllShots(); break;
    case Cmd::Replay: OnReplay(); break;
    case Cmd::ReplayAll: ReplayAll(); break;
    case Cmd::StopPractice: StopPractice(); break;
    case Cmd::ResetTraceTarget: OnResetTraceTarget(); break;
    case Cmd::ExpertMode: ToggleAdvancedMode(); break;
    case Cmd::ToolBar: m_mainBar->setVisible(!m_mainBar->isVisible()); break;
    case Cmd::StatusBar: statusBar()->setVisible(!statusBar()->isVisible()); break;
    case Cmd::ShowHidden: m_doc.SetShowHidden(!m_doc.showHidden()); break;
    case Cmd::AllTraces: ToggleAllTraces(); break;
    case Cmd::FullScreen: ToggleFullScreen(); break;
    case Cmd::ResetHardware: OnResetHardware(); break;
    case Cmd::ShotsParameters: OnShotsParameters(); break;
    case Cmd::Options: OnOptions(); break;
    case Cmd::SwitchToMatch: SwitchToMatch(); break;
    case Cmd::AdjustSensor: OnCalibration(); break;
    case Cmd::Continue: m_sequencer->giveContinue(); break;
    case Cmd::Prone: SelectSubTarget(2, QStringLiteral("prone")); break;
    case Cmd::Standing: SelectSubTarget(1, QStringLiteral("standing")); break;
    case Cmd::Kneeling: SelectSubTarget(-1, QStringLiteral("kneeling")); break;
    case Cmd::HelpContents: kavro::ShowHelpContents(); break;
    case Cmd::About: kavro::CAboutDlg(this).exec(); break;
    case Cmd::Sightings: m_doc.SetIncludeSightings(!m_doc.includeSightings()); break;
    case Cmd::ShotList:
    case Cmd::Series: OnShotListCommand(command); break;
    case Cmd::ClosePane: setBothPanes(false); break;
    case Cmd::SoundOff: ToggleSound(); break;
    default:
        if (command >= Cmd::ViewInfo && command <= Cmd::ViewProbability)
            ShowView(command);
        break;
    }
    UpdateCommandUI();
}

void CMainFrame::OnSave()
{
    if (!m_doc.HasDocument() || !m_doc.IsModified() || m_doc.ShotCountWithHidden() == 0)
        return;
    if (!m_doc.Save())
        m_doc.ShowLastSaveFailure(this);
}

void CMainFrame::OnSendToFolder()
{
    QString folder;
    if (folderDialogHook())
        folder = folderDialogHook()();
    else
        folder = QFileDialog::getExistingDirectory(this, uiText(32847));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!m_doc.SaveCopyTo(folder))
        m_doc.ShowLastSaveFailure(this);
}

void CMainFrame::SendResultsByMail()
{
    int32_t version = 0;
    m_doc.GetFileVersion(&version);
    if ((m_doc.IsModified() || version <= 9) && !m_doc.Save()) {
        m_doc.ShowLastSaveFailure(this);
        return;
    }
    QString path;
    if (!m_doc.GetFileName(&path) || path.isEmpty()) {
        ShowMessageBox(32818, QMessageBox::Ok, QMessageBox::Critical, this);
        return;
    }
    if (m_mailer.isEmpty() || !QProcess::startDetached(m_mailer, {QStringLiteral("--attach"), path}))
        ShowMessageBox(32867, QMessageBox::Ok, QMessageBox::Critical, this);
}

void CMainFrame::ToggleShotHidden()
{
    ComPtr<IShot> shot;
    if (!m_doc.GetSelectedShot(&shot))
        return;
    VARIANT_BOOL hidden = VARIANT_FALSE;
    shot->get_Hidden(&hidden);
    const bool isHidden = hidden == VARIANT_TRUE;
    if (ShowMessageBox(isHidden ? 32849 : 32848, QMessageBox::Yes | QMessageBox::No, QMessageBox::Critical, this)
        == QMessageBox::Yes)
        m_doc.SetShotHidden(shot.get(), !isHidden);
}

void CMainFrame::OnDeleteSightingShots()
{
    if (ShowMessageBox(32851, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, this) != QMessageBox::Yes)
        return;
    m_doc.ClearSightingShots();
    if (m_doc.MatchShotCount() == 0)
        ShowDefaultView(false);
}

void CMainFrame::OnDeleteAllShots()
{
    if (ShowMessageBox(32850, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, this) != QMessageBox::Yes)
        return;
    m_doc.ClearAllShots();
    ShowDefaultView(false);
}

void CMainFrame::OnReplay()
{
    if (m_doc.GetReplayState() != CKavroDoc::ReplayStopped)
        m_doc.StopReplay();
    else
        m_doc.StartReplay();
}

void CMainFrame::ReplayAll()
{
    m_replayAllRunning = !m_replayAllRunning;
    if (!m_replayAllRunning) {
        m_timer2->stop();
        m_doc.StopReplay();
        return;
    }
    ComPtr<IShot> selected;
    if (!m_doc.GetSelectedShot(&selected)) {
        ComPtr<IShot> first;
        if (!m_doc.Navigate(nullptr, &first, 1)) {
            m_replayAllRunning = false;
            return;
        }
        m_doc.SetSelectedShot(first.get(), nullptr);
        m_replayAllRunning = true; // the selection hint switched it off
    }
    if (m_doc.GetReplayState() == CKavroDoc::ReplayPaused)
        m_doc.ResumeReplay();
    else if (!m_doc.StartReplay())
        m_replayAllRunning = false;
}

void CMainFrame::OnReplayAllTimer()
{
    if (!m_replayAllRunning)
        return;
    ComPtr<IShotCollection> list;
    if (!(m_doc.includeSightings() ? m_doc.GetShots(&list) : m_doc.GetMatchShots(&list)) || countOf(list.get()) < 2) {
        m_replayAllRunning = false;
        UpdateCommandUI();
        return;
    }
    ComPtr<IShot> selected, next;
    m_doc.GetSelectedShot(&selected);
    if (!selected || !m_doc.Navigate(selected.get(), &next, 1))
        next = shotAt(list.get(), 1); // after the last shot comes the first again
    m_doc.SetSelectedShot(next.get(), nullptr);
    m_replayAllRunning = true; // the selection hint switched it off
    if (!m_doc.StartReplay())
        m_replayAllRunning = false;
    UpdateCommandUI();
}

void CMainFrame::ToggleAllTraces()
{
    m_allTraces = !m_allTraces;
    if (auto* modes = dynamic_cast<CSeriesTableMode*>(m_seriesTable))
        modes->SetAllTraces(m_allTraces);
}

void CMainFrame::OnShotListCommand(int command)
{
    auto* modes = dynamic_cast<CSeriesTableMode*>(m_seriesTable);
    if (!modes)
        return;
    const bool wantSeries = command == Cmd::Series;
    if (shotListPaneShown() && modes->IsSeriesMode() == wantSeries) {
        setBothPanes(false);
    } else {
        setBothPanes(true);
        modes->SetSeriesMode(wantSeries);
    }
    UpdateCommandUI();
    if (m_seriesTable)
        m_seriesTable->setFocus();
    SetShotListPaneTitle();
}

void CMainFrame::setBothPanes(bool both)
{
    if (!m_leftPane)
        return;
    if (both && !m_seriesTable)
        return;
    if (both == shotListPaneShown())
        return;
    if (!both && m_leftPane->width() > 0)
        m_splitterPos = m_leftPane->width();
    m_leftPane->setVisible(both);
    if (both)
        m_splitter->setSizes({m_splitterPos, std::max(1, m_splitter->width() - m_splitterPos)});
}

void CMainFrame::ToggleAdvancedMode()
{
    kavro::AppOptions& options = kavro::theAppOptions();
    options.AdvancedMode = !options.AdvancedMode;
    kavro::SaveOptions();
    buildMenus();
    UpdateToolbarButtons();
    if (!options.AdvancedMode) {
        setBothPanes(false);
        m_doc.SetIncludeSightings(m_doc.SightingShotCount() > 0);
        if (m_visibleView != Cmd::ViewTrace && m_visibleView != Cmd::ViewDistance)
            ShowView(Cmd::ViewInfo);
    }
    m_doc.UpdateAllViews(nullptr, KavroHint::AdvancedMode);
}

void CMainFrame::ToggleFullScreen()
{
    if (!m_fullScreen) {
        m_wasMaximized = isMaximized();
        m_fullScreen = true;
        showFullScreen();
    } else {
        m_fullScreen = false;
        if (m_wasMaximized)
            showMaximized();
        else
            showNormal();
    }
}

void CMainFrame::ToggleSound()
{
    kavro::AppOptions& options = kavro::theAppOptions();
    options.SoundEnabled = !options.SoundEnabled;
    kavro::SaveOptions();
    // The next aiming point starts the tone again when sound is on.
    if (m_tone)
        m_tone->Stop();
}

void CMainFrame::OnResetTraceTarget()
{
    if (!m_resultShown)
        return;
    m_resultShown = false;
    if (m_device)
        m_device->ConcludeCurrentAiming(1);
    UpdateCommandUI();
}

void CMainFrame::OnResetHardware()
{
    if (!m_device)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_device->put_Connected(VARIANT_FALSE);
    m_device->put_Connected(VARIANT_TRUE);
    QApplication::restoreOverrideCursor();
}

void CMainFrame::OpenPreview()
{
    if (m_previewOpen || !reportPrinting())
        return;
    m_preview = reportPrinting()->CreatePreview(m_doc, this);
    if (!m_preview)
        return;
    m_previewOpen = true;
    // The preview takes the place of the panes and its bar that of the menu and the tool bar.
    m_barsBeforePreview = saveState();
    m_splitter->hide();
    takeCentralWidget(); // still owned through m_splitter
    setCentralWidget(m_preview);
    menuBar()->hide();
    m_mainBar->hide();
    m_previewBar->show();
    UpdateCommandUI();
}

void CMainFrame::ClosePreview()
{
    if (!m_previewOpen)
        return;
    m_previewOpen = false;
    delete takeCentralWidget(); // the preview
    m_preview = nullptr;
    setCentralWidget(m_splitter);
    m_splitter->show();
    m_previewBar->hide();
    menuBar()->show();
    if (!m_barsBeforePreview.isEmpty())
        restoreState(m_barsBeforePreview);
    m_barsBeforePreview.clear();
    UpdateCommandUI();
}

// --- views -----------------------------------------------------------------------------------

QWidget* CMainFrame::viewForCommand(int command) const
{
    auto it = m_views.find(command);
    return it == m_views.end() ? nullptr : it->second.data();
}

void CMainFrame::ShowView(int command)
{
    CommitPendingEdits();
    if (command != Cmd::ViewTrace)
        m_replayAllRunning = false;
    if (!kavro::theAppOptions().AdvancedMode && (command < Cmd::ViewInfo || command > Cmd::ViewDistance))
        return;
    QWidget* view = viewForCommand(command);
    if (!view)
        return;
    if (QWidget* previous = m_viewStack->currentWidget(); previous && previous != view)
        previous->hide();
    m_viewStack->setCurrentWidget(view);
    view->show(); // a view marked stale refreshes itself when shown
    m_visibleView = command;
    UpdateCommandUI();
}

void CMainFrame::ShowDefaultView(bool rightPaneOnly)
{
    setBothPanes(!rightPaneOnly && shotListPaneAllowed(currentState()));
    if (viewForCommand(Cmd::ViewInfo)) {
        ShowView(Cmd::ViewInfo);
    } else {
        m_viewStack->setCurrentWidget(m_emptyView);
        m_visibleView = 0;
    }
}

// --- layout ----------------------------------------------------------------------------------

void CMainFrame::RestoreLayout()
{
    const FrameLayout l = loadFrameLayout(kavro::OpenAppRegistryKey());
    m_startZoomed = l.zoomed;
    m_splitterPos = l.splitterPos;
    if (!l.barState.isEmpty())
        restoreState(l.barState); // a damaged state is refused whole
    m_mainBar->setVisible(l.toolBar);
    statusBar()->setVisible(l.statusBar);
    if (l.windowRect)
        setGeometry(clampToCurrentScreens(*l.windowRect));
    else if (const QScreen* s = QGuiApplication::primaryScreen())
        setGeometry(defaultFrameRect(s->availableGeometry()));
}

void CMainFrame::SaveLayout()
{
    FrameLayout l;
    l.zoomed = m_fullScreen ? m_wasMaximized : isMaximized();
    if (!m_fullScreen)
        l.windowRect = normalGeometry().isValid() ? normalGeometry() : geometry();
    else
        l.windowRect = loadFrameLayout(kavro::OpenAppRegistryKey()).windowRect;
    if (m_previewOpen)
        ClosePreview();
    l.toolBar = m_mainBar->isVisibleTo(this);
    l.statusBar = statusBar()->isVisibleTo(this);
    l.splitterPos = shotListPaneShown() && m_leftPane->width() > 0 ? m_leftPane->width() : m_splitterPos;
    l.barState = saveState();
    saveFrameLayout(kavro::OpenAppRegistryKey(), l);
}

// --- events ----------------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_endingWithoutQuestions) {
        event->accept();
        return;
    }
    if (m_previewOpen) {
        ClosePreview();
        event->ignore();
        return;
    }
    CommitPendingEdits();
    if (!m_doc.SaveModified()) {
        event->ignore();
        return;
    }
    SaveLayout();
    StopPractice();
    m_timer1->stop();
    event->accept();
}

void CMainFrame::CommitPendingEdits()
{
    for (const auto& [command, view] : m_views)
        if (auto* extras = dynamic_cast<CFrameViewExtras*>(view.data()))
            extras->CommitPendingEdits();
    if (auto* extras = dynamic_cast<CFrameViewExtras*>(m_seriesTable))
        extras->CommitPendingEdits();
}

bool CMainFrame::KeepDocumentWithoutQuestions()
{
    if (!m_doc.HasDocument() || !m_doc.IsModified() || m_doc.ShotCountWithHidden() == 0)
        return true;
    if (m_doc.Save())
        return true;
    std::fprintf(stderr, "kavropro: the practice could not be kept: %s\n",
                 qPrintable(m_doc.lastSaveFailureText().replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return false;
}

bool CMainFrame::EndWithoutQuestions()
{
    CommitPendingEdits();
    ClosePreview();
    StopPractice();
    const bool kept = KeepDocumentWithoutQuestions();
    SaveLayout();
    m_timer1->stop();
    m_endingWithoutQuestions = true;
    close();
    return kept;
}

bool CMainFrame::CommitDataForLogout(bool mayAsk)
{
    CommitPendingEdits();
    const bool mayGo = mayAsk ? m_doc.SaveModified() : KeepDocumentWithoutQuestions();
    // The session may end without closing the window: the layout is kept now.
    if (mayGo)
        SaveLayout();
    return mayGo;
}

namespace {
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
    OpenFromUser(path);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        // F1 on a highlighted menu item opens the help about its command.
        auto* key = static_cast<QKeyEvent*>(event);
        if (auto* menu = qobject_cast<QMenu*>(watched);
            menu && key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && menu->activeAction()) {
            const int command = menu->activeAction()->data().toInt();
            if (action(command) == menu->activeAction()) {
                menu->close();
                kavro::ShowHelpForCommand(uint32_t(command));
                return true;
            }
        }
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && handleKey(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::handleKey(QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        if (m_previewOpen) {
            OnCommand(Cmd::ClosePreview);
            return true;
        }
        if (m_fullScreen) {
            OnCommand(Cmd::FullScreen);
            return true;
        }
        return false;
    }
    if (mods == Qt::ControlModifier && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 && !m_previewOpen) {
        const int digit = key->key() - Qt::Key_0;
        const int zoom = digit == 0 ? 10 : digit;
        for (QWidget* w : {viewForCommand(Cmd::ViewInfo), m_seriesTable})
            if (auto* extras = dynamic_cast<CFrameViewExtras*>(w))
                extras->SetTargetZoom(zoom);
        return true;
    }
    if (m_visibleView == Cmd::ViewTrace && m_device) {
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
            OnCommand(Cmd::ResetTraceTarget);
            return true;
        }
        if (key->key() == Qt::Key_Q && mods == Qt::ControlModifier) {
            m_device->AddShot(VARIANT_FALSE);
            return true;
        }
        const bool keypad = key->modifiers().testFlag(Qt::KeypadModifier);
        if ((key->key() == Qt::Key_Plus || key->key() == Qt::Key_Minus) && keypad && mods == Qt::NoModifier) {
            ChangePiezoRejectInterval(key->key() == Qt::Key_Plus ? 0.1f : -0.1f);
            return true;
        }
    }
    return false;
}

void CMainFrame::OnLanguageChanged()
{
    reloadTexts();
    buildMenus();
    setLayoutDirection(kavro::LanguageModule::instance().layoutDirection());
    m_doc.UpdateAllViews(nullptr, KavroHint::Language);
}

// --- practice --------------------------------------------------------------------------------
