#pragma once
// The trainer's main window: it owns the document and is its first view, and hands each concern
// to a collaborator of its own: the command table, the panes and views, the practice with its
// device, the replays, the sounds and the document's file commands. It keeps the window itself:
// status bar, title, keys, closing, dropped files, and the wiring between them.
#include "command_state.h"
#include "document_base.h"
#include "document_commands.h"
#include "frame_commands.h"
#include "frame_keys.h"
#include "frame_panes.h"
#include "frame_sounds.h"
#include "kavro_doc.h"
#include "main_frame_base.h"
#include "practice_controller.h"
#include "replay_controller.h"
#include "settings_commands.h"
#include "view_registry.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QProgressBar;
class QTimer;

class CMainFrame : public QMainWindow, public CMainFrameBase, public CView {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKavroDoc& doc() { return doc_; }
    FrameCommands& commands() { return *commands_; }
    FramePanes& panes() { return *panes_; }
    PracticeController& practice() { return *practice_; }
    ReplayController& replay() { return *replay_; }
    FrameSounds& sounds() { return *sounds_; }

    // --- CMainFrameBase ------------------------------------------------------------------
    QWidget* GetWindow() override { return this; }
    QStatusBar* GetStatusBar() override;
    QProgressBar* GetProgressBar() override { return progress_; }
    void BeginProgress(int stringId) override;
    void EndProgress() override;
    uint32_t* GetActivityTick() override { return practice_->activityTick(); }
    TargetKind::Kind GetTargetKind() override { return doc_.GetTargetKind(); }
    bool IsDeviceConnected() override { return practice_->IsDeviceConnected(); }
    bool IsMatchStarted() override { return practice_->matchStarted(); }
    ComPtr<IKavroDevice> GetDevice() override { return practice_->device(); }
    void ShowShotContextMenu(const QPoint& globalPos) override { commands_->showShotMenu(globalPos); }
    // The shot context menu's items, as ShowShotContextMenu shows them.
    QMenu* shotMenu() const { return commands_->shotMenu(); }

    // --- the document's hints ------------------------------------------------------------
    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override;
    // No replay while an aiming is under way.
    bool MayReplayStart(CView* sender) override;
    std::optional<KavroHint::ShiftArgs> ShiftCorrection(CView* sender, const KavroHint::ShiftArgs& shift) override;

    // --- documents -----------------------------------------------------------------------
    bool OpenDocumentFile(const QString& path) { return documents_->OpenDocumentFile(path); }
    bool OpenFromUser(const QString& path) { return documents_->OpenFromUser(path); }
    void ShowOpenFailure(const QString& path) { documents_->ShowOpenFailure(path); }

    // --- commands ------------------------------------------------------------------------
    // Gives the document what the views hold typed but not yet taken (see CFrameViewExtras).
    void CommitPendingEdits() { panes_->CommitPendingEdits(); }
    FrameState currentState();
    void UpdateCommandUI() { commands_->updateAll(); }
    void UpdateTitle();
    void UpdateToolbarButtons();
    QAction* action(int command) const { return commands_->action(command); }
    void OnCommand(int command) override;
    void ShowView(int command) { panes_->ShowView(command); }
    void ShowDefaultView(bool rightPaneOnly) { panes_->ShowDefaultView(rightPaneOnly); }
    int visibleViewCommand() const { return panes_->visibleView(); }
    bool isPreviewOpen() const { return panes_->previewOpen(); }
    bool isFullScreenMode() const { return panes_->fullScreen(); }
    bool shotListPaneShown() const { return panes_->shotListPaneShown(); }

    // --- ending ----------------------------------------------------------------------------
    // Ends the program in order without asking anything (a signal to end, a logout that allows
    // no questions): the practice stops, a modified document holding shots is saved as the
    // automatic save does, the layout is stored and the window closes. False when that save
    // failed; the reason went to standard error.
    bool EndWithoutQuestions() override;
    // The desktop's logout asks first, as closing the window does: true when it may go on (saved,
    // not to be saved, or nothing to save) and the layout is stored; false when the user cancelled
    // or the save failed. Without the right to ask, the document is kept as EndWithoutQuestions
    // keeps it.
    bool CommitDataForLogout(bool mayAsk);

    // --- layout --------------------------------------------------------------------------
    // Reads the saved layout, applies it before the window is shown.
    void RestoreLayout() { panes_->RestoreLayout(); }
    void SaveLayout() { panes_->SaveLayout(); }
    // The show state saved for the next start ("Zoomed").
    bool startsZoomed() const { return panes_->startsZoomed(); }

    // --- practice -------------------------------------------------------------------------
    // Starts a practice; false when none started (cancelled or failed). The hints (event and
    // shooter name) go to the start-practice dialog unchanged.
    bool NewPractice(const QString& hint1, const QString& hint2) { return practice_->NewPractice(hint1, hint2); }
    void StopPractice() { practice_->StopPractice(); }
    bool OnCalibration() { return practice_->OnCalibration(); }
    bool SwitchToMatch() { return practice_->SwitchToMatch(); }
    void SelectSubTarget(int value, const QString& positionName) { practice_->SelectSubTarget(value, positionName); }
    void OnOptions() { settings_->OnOptions(); }
    // Acts on what the options dialog changed (its change mask) and stores the options.
    void ApplyOptionsChange(uint32_t mask) { settings_->ApplyOptionsChange(mask); }
    void OnShotsParameters() { settings_->OnShotsParameters(); }
    // Numeric-pad + and - on the trace view: the interval by a tenth, never below 0.
    void ChangePiezoRejectInterval(float step) { practice_->ChangePiezoRejectInterval(step); }
    void ShowPiezoRejectInterval() { practice_->ShowPiezoRejectInterval(); }
    kavro::live::LiveServer* liveServer() const { return practice_->liveServer(); }
    kavro::trainer::RangeSequencer& sequencer() { return practice_->sequencer(); }
    int matchShotsSinceSave() const { return practice_->matchShotsSinceSave(); }
    IAiming* currentAiming() const { return practice_->currentAiming(); }
    // Creates the device object of a new practice (tests put a stand-in in place).
    static void setDeviceFactory(std::function<ComPtr<IKavroDevice>()> factory)
    {
        PracticeController::setDeviceFactory(std::move(factory));
    }
    // Status-bar pane 0.
    void SetStatusText(const QString& text);
    // Plays one of the trainer's sounds by name.
    void playSound(const QString& name) { sounds_->play(name); }
    // Where the frames made from now on send their sound (tests record it); empty: the desktop's
    // audio device, or silence without one.
    static void setSoundOutputFactory(kavro::SoundManager::OutputFactory factory)
    {
        FrameSounds::setOutputFactory(std::move(factory));
    }
    kavro::SoundManager* soundManager() const { return sounds_->manager(); }
    kavro::BlindTone* blindTone() const { return sounds_->tone(); }

    // --- device events (the practice is the device's event sink) -----------------------------
    void OnDeviceStartAiming(int32_t sub, IAiming* aiming) { practice_->OnStartAiming(sub, aiming); }
    void OnDeviceNewCoordinates(int32_t sub, IAiming* aiming, int32_t count)
    {
        practice_->OnNewCoordinates(sub, aiming, count);
    }
    void OnDeviceShot(int32_t sub, IAiming* aiming, IShot* shot) { practice_->OnShot(sub, aiming, shot); }
    void OnDeviceConcludeAiming(int32_t sub, IAiming* aiming) { practice_->OnConcludeAiming(sub, aiming); }
    void OnDeviceFinalConcludeAiming(int32_t sub) { practice_->OnFinalConcludeAiming(sub); }
    void OnDeviceHeartBeat(int32_t sub, DATE dateMin, DATE dateMax) { practice_->OnHeartBeat(sub, dateMin, dateMax); }

    // --- seams for tests -----------------------------------------------------------------
    // Answers the Open command instead of the file chooser: the path, or empty for Cancel.
    static void setOpenDialogHook(std::function<QString()> hook)
    {
        DocumentCommands::setOpenDialogHook(std::move(hook));
    }
    static void setFolderDialogHook(std::function<QString()> hook)
    {
        DocumentCommands::setFolderDialogHook(std::move(hook));
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildToolBars();
    void buildStatusBar();
    void showPaneText();
    void reloadTexts();
    bool runWindowCommand(int command);
    void runDocumentCommand(int command);
    void OnLanguageChanged();
    bool KeepDocumentWithoutQuestions();

    CKavroDoc doc_;
    std::unique_ptr<FrameCommands> commands_;
    std::unique_ptr<FramePanes> panes_;
    std::unique_ptr<ReplayController> replay_;
    std::unique_ptr<FrameSounds> sounds_;
    std::unique_ptr<PracticeController> practice_;
    std::unique_ptr<DocumentCommands> documents_;
    std::unique_ptr<FrameKeys> keys_;
    std::unique_ptr<SettingsCommands> settings_;
    QToolBar* mainBar_ = nullptr;
    QToolBar* previewBar_ = nullptr;
    // Status pane 0: its own text (idle, progress, settings) and the prompt of the command under
    // the pointer, which stands in its place while it lasts.
    QLabel* statusText_ = nullptr;
    QString paneText_;
    QString prompt_;
    QProgressBar* progress_ = nullptr;
    bool endingWithoutQuestions_ = false;
    // The title tells whether the sensor saw a signal lately, which no event announces.
    QTimer* titleRefreshTimer_;
};
