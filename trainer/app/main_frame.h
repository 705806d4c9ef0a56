#pragma once
// The trainer's main window: menus, tool bars, status bar, the shot list beside the analysis
// views, print preview, and every command. It owns the document and is its first view; it is
// the sink of the device's events while a practice runs.
#include "command_state.h"
#include "document_base.h"
#include "frame_layout.h"
#include "kavro_doc.h"
#include "main_frame_base.h"
#include "sequencer.h"
#include "view_registry.h"

#include "sounds/blind_tone.h"
#include "sounds/sound_manager.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

namespace kavro::live {
class LiveServer;
}
class CMainFrame;
// The range procedure's view of the frame.
std::unique_ptr<kavro::trainer::SequencerHost> makeSequencerHost(CMainFrame* frame);

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QStackedWidget;
class QToolBar;

class CMainFrame : public QMainWindow, public CMainFrameBase, public CView {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKavroDoc& doc() { return m_doc; }

    // --- CMainFrameBase ------------------------------------------------------------------
    QWidget* GetWindow() override { return this; }
    QStatusBar* GetStatusBar() override;
    QProgressBar* GetProgressBar() override { return m_progress; }
    void BeginProgress(int stringId) override;
    void EndProgress() override;
    uint32_t* GetActivityTick() override { return &m_lastSignalTime; }
    TargetKind::Kind GetTargetKind() override { return m_doc.GetTargetKind(); }
    bool IsDeviceConnected() override;
    bool IsMatchStarted() override { return m_matchStarted; }
    ComPtr<IKavroDevice> GetDevice() override { return m_device; }
    void ShowShotContextMenu(const QPoint& globalPos) override;
    // The shot context menu's items, as ShowShotContextMenu shows them.
    QMenu* shotMenu() const { return m_shotMenu; }

    // --- the document's hints ------------------------------------------------------------
    void OnUpdate(CView* sender, int hint, void* p1, void* p2, intptr_t value) override;

    // --- documents -----------------------------------------------------------------------
    // Opens without asking anything; false leaves the frame without a document.
    bool OpenDocumentFile(const QString& path);
    // The user's road (menu, drop): asks to save, stops the practice, opens, tells a failure.
    bool OpenFromUser(const QString& path);
    void ShowOpenFailure(const QString& path);

    // --- commands ------------------------------------------------------------------------
    // Gives the document what the views hold typed but not yet taken (see CFrameViewExtras).
    void CommitPendingEdits();
    FrameState currentState();
    void UpdateCommandUI();
    void UpdateTitle();
    void UpdateToolbarButtons();
    QAction* action(int command) const;
    void OnCommand(int command);
    void ShowView(int command);
    void ShowDefaultView(bool rightPaneOnly);
    int visibleViewCommand() const { return m_visibleView; }
    bool isPreviewOpen() const { return m_previewOpen; }
    bool isFullScreenMode() const { return m_fullScreen; }
    bool shotListPaneShown() const;

    // --- ending ----------------------------------------------------------------------------
    // Ends the program in order without asking anything (a signal to end, a logout that allows
    // no questions): the practice stops, a modified document holding shots is saved as the
    // automatic save does, the layout is stored and the window closes. False when that save
    // failed; the reason went to standard error.
    bool EndWithoutQuestions();
    // The desktop's logout asks first, as closing the window does: true when it may go on (saved,
    // not to be saved, or nothing to save) and the layout is stored; false when the user cancelled
    // or the save failed. Without the right to ask, the document is kept as EndWithoutQuestions
    // keeps it.
    bool CommitDataForLogout(bool mayAsk);

    // --- layout --------------------------------------------------------------------------
    // Reads the saved layout, applies it before the window is shown.
    void RestoreLayout();
    void SaveLayout();
    // The show state saved for the next start ("Zoomed").
    bool startsZoomed() const { return m_startZoomed; }

    // --- practice -------------------------------------------------------------------------
    // Starts a practice; false when none started (cancelled or failed). The hints (event and
    // shooter name) go to the start-practice dialog unchanged.
    bool NewPractice(const QString& hint1, const QString& hint2);
    void StopPractice();
    bool OnCalibration();
    bool SwitchToMatch();
    void SelectSubTarget(int value, const QString& positionName);
    void OnOptions();
    // Acts on what the options dialog changed (its change mask) and stores the options.
    void ApplyOptionsChange(uint32_t mask);
    void OnShotsParameters();
    // Numeric-pad + and - on the trace view: the interval by a tenth, never below 0.
    void ChangePiezoRejectInterval(float step);
    void ShowPiezoRejectInterval();
    kavro::live::LiveServer* liveServer() const { return m_live; }
    kavro::trainer::RangeSequencer& sequencer() { return *m_sequencer; }
    int matchShotsSinceSave() const { return m_matchShotsSinceSave; }
    IAiming* currentAiming() const { return m_currentAiming.get(); }
    // Creates the device object of a new practice (tests put a stand-in in place).
    static void setDeviceFactory(std::function<ComPtr<IKavroDevice>()> factory);
    // Status-bar pane 0.
    void SetStatusText(const QString& text);
    // Plays one of the trainer's sounds by name.
    void playSound(const QString& name);
    // Where the frames made from now on send their sound (tests record it); empty: the desktop's
    // audio device, or silence without one.
    static void setSoundOutputFactory(kavro::SoundManager::OutputFactory factory);
    kavro::SoundManager* soundManager() const { return m_sounds.get(); }
    kavro::BlindTone* blindTone() const { return m_tone.get(); }

    // --- device events (the frame is the device's event sink) --------------------------------
    // Handled in main_frame_practice.cpp.
    void OnDeviceStartAiming(int32_t subDevice, IAiming* aiming);
    void OnDeviceNewCoordinates(int32_t subDevice, IAiming* aiming, int32_t count);
    void OnDeviceShot(int32_t subDevice, IAiming* aiming, IShot* shot);
    void OnDeviceConcludeAiming(int32_t subDevice, IAiming* aiming);
    void OnDeviceFinalConcludeAiming(int32_t subDevice);
    void OnDevicePulseChanged(int32_t subDevice, int32_t pulse);
    void OnDeviceTrigger(int32_t subDevice, int32_t count);
    void OnDeviceHeartBeat(int32_t subDevice, DATE dateMin, DATE dateMax);
    void OnDeviceDisconnected();
    void OnDeviceReconnected();
    void OnDeviceTimeout(int32_t seconds);
    // The sink to advise on the device's _IKavroDeviceEvents connection point.
    IUnknown* deviceEventSink() const { return m_deviceSink.get(); }

    // --- seams for tests -----------------------------------------------------------------
    // Answers the Open command instead of the file chooser: the path, or empty for Cancel.
    static void setOpenDialogHook(std::function<QString()> hook);
    static void setFolderDialogHook(std::function<QString()> hook);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void createActions();
    QAction* addButton(QToolBar* bar, int command);
    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    void showPaneText();
    void buildPanes();
    void reloadTexts();
    void applyActionTexts(int command);
    QString shownCaption(int command, const QString& caption);
    void fillLanguageMenu(QMenu* menu);
    void SetShotListPaneTitle();
    void setBothPanes(bool both);
    QWidget* viewForCommand(int command) const;
    bool handleKey(QKeyEvent* key);
    void refreshPreview();

    // command handlers
    QString choosePractice(const QString& title);
    void OnFileOpen();
    void OnOpenModel();
    void OnSave();
    void OnSendToFolder();
    void SendResultsByMail();
    void ToggleShotHidden();
    void OnDeleteSightingShots();
    void OnDeleteAllShots();
    void OnReplay();
    void ReplayAll();
    void OnReplayAllTimer();
    void OnShotListCommand(int command);
    void ToggleAllTraces();
    void ToggleAdvancedMode();
    void ToggleFullScreen();
    void ToggleSound();
    void OnResetTraceTarget();
    void OnResetHardware();
    void OnTimer1();
    void OnAutoReplayTimer();
    void StartAutoReplay();
    void AdviseDeviceSink();
    void UnadviseDeviceSink();
    void postLive(int message, int32_t wParam, uint32_t lParam);
    bool BeginAimingEvent(int32_t sub, IAiming* aiming);
    bool timedPractice();
    void createSounds();
    void releaseSounds();
    void OnLanguageChanged();
    void OpenPreview();
    void ClosePreview();
    bool KeepDocumentWithoutQuestions();

    CKavroDoc m_doc;
    std::map<int, QAction*> m_actions;
    // Tool-bar buttons act through actions of their own, so that a button can be hidden while
    // its menu item stays.
    std::vector<std::pair<QAction*, int>> m_buttons;
    QMenu* m_shotMenu = nullptr;
    QToolBar* m_mainBar = nullptr;
    QToolBar* m_previewBar = nullptr;
    QToolBar* m_contentsBar = nullptr;
    QToolBar* m_viewBar = nullptr;
    // Status pane 0: its own text (idle, progress, settings) and the prompt of the command under
    // the pointer, which stands in its place while it lasts.
    QLabel* m_statusText = nullptr;
    QString m_paneText;
    QString m_prompt;
    QProgressBar* m_progress = nullptr;
    QSplitter* m_splitter = nullptr;
    QWidget* m_leftPane = nullptr;
    QLabel* m_leftTitle = nullptr;
    QWidget* m_seriesTable = nullptr;
    QStackedWidget* m_viewStack = nullptr;
    QWidget* m_emptyView = nullptr;
    std::map<int, QPointer<QWidget>> m_views; // by command id
    int m_visibleView = 0;
    int m_splitterPos = 250;
    bool m_startZoomed = false;
    bool m_previewOpen = false;
    bool m_fullScreen = false;
    bool m_wasMaximized = false;
    bool m_allTraces = false;
    bool m_endingWithoutQuestions = false;
    QByteArray m_barsBeforePreview;
    QWidget* m_preview = nullptr;

    // practice, replay and display state
    ComPtr<IKavroDevice> m_device;
    ComPtr<IUnknown> m_deviceSink;
    uint32_t m_lastSignalTime = 0;
    uint32_t m_sinkCookie = 0;
    bool m_sinkAdvised = false;
    ComPtr<IAiming> m_currentAiming;
    int m_matchShotsSinceSave = 0;
    kavro::live::LiveServer* m_live = nullptr;
    std::unique_ptr<kavro::trainer::SequencerHost> m_sequencerHost;
    std::unique_ptr<kavro::trainer::RangeSequencer> m_sequencer;
    QTimer* m_timer4; // automatic replay
    bool m_matchStarted = false;
    int m_subTarget = -1;
    bool m_replayAllRunning = false;
    bool m_autoReplayPending = false;
    bool m_resultShown = false;
    ComPtr<IShot> m_pendingAnnounceShot;
    QTimer* m_timer1;
    QTimer* m_timer2; // replay all: next shot
    QTimer* m_timer3; // result shown
    QTimer* m_timer5; // announce the shot
    qint64 m_lastTitleUpdate = 0;
    QString m_mailer; // found once, at start
    std::unique_ptr<kavro::SoundManager> m_sounds;
    std::unique_ptr<kavro::BlindTone> m_tone; // null when the generator could not be made
};
