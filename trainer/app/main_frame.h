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
#include "frame_window.h"
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

class CMainFrame : public QMainWindow, public CMainFrameBase, public CView, public FrameWindow {
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
    DocumentCommands& documents() { return *documents_; }
    SettingsCommands& settings() { return *settings_; }

    // --- CMainFrameBase ------------------------------------------------------------------
    QWidget* GetWindow() override { return this; }
    QStatusBar* GetStatusBar() override;
    QProgressBar* GetProgressBar() override { return progress_; }
    void BeginProgress(int stringId) override;
    void EndProgress() override;
    uint32_t* GetActivityTick() override { return practice_->session().activityTick(); }
    TargetKind::Kind GetTargetKind() override { return doc_.GetTargetKind(); }
    bool IsDeviceConnected() override { return practice_->session().IsDeviceConnected(); }
    bool IsMatchStarted() override { return practice_->recorder().matchStarted(); }
    ComPtr<IKavroDevice> GetDevice() override { return practice_->session().device(); }
    void ShowShotContextMenu(const QPoint& globalPos) override { commands_->showShotMenu(globalPos); }

    // --- the document's hints ------------------------------------------------------------
    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override;
    // No replay while an aiming is under way.
    bool MayReplayStart(CView* sender) override;
    std::optional<KavroHint::ShiftArgs> ShiftCorrection(CView* sender, const KavroHint::ShiftArgs& shift) override;

    // --- the window ----------------------------------------------------------------------
    void SetStatusText(const QString& text) override;
    void UpdateTitle() override;
    void UpdateToolbarButtons() override;
    void UpdateCommandUI() { commands_->updateAll(); }
    void OnCommand(int command) override;
    void ShowView(int command) { panes_->ShowView(command); }
    void ShowDefaultView(bool rightPaneOnly) { panes_->ShowDefaultView(rightPaneOnly); }
    // Opens without asking anything; false leaves the frame without a document.
    bool OpenDocumentFile(const QString& path) { return documents_->OpenDocumentFile(path); }
    void OnOptions() { settings_->OnOptions(); }

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

    // --- practice -------------------------------------------------------------------------
    // Starts a practice; false when none started (cancelled or failed). The hints (event and
    // shooter name) go to the start-practice dialog unchanged.
    bool NewPractice(const QString& hint1, const QString& hint2) { return practice_->NewPractice(hint1, hint2); }
    void StopPractice() { practice_->StopPractice(); }
    bool OnCalibration() { return practice_->OnCalibration(); }
    bool SwitchToMatch() { return practice_->SwitchToMatch(); }
    void SelectSubTarget(int value, const QString& positionName)
    {
        practice_->position().SelectSubTarget(value, positionName);
    }

    // --- device events (the practice's recorder is the device's event sink) -----------------
    void OnDeviceStartAiming(int32_t sub, IAiming* aiming) { practice_->recorder().OnStartAiming(sub, aiming); }
    void OnDeviceNewCoordinates(int32_t sub, IAiming* aiming, int32_t count)
    {
        practice_->recorder().OnNewCoordinates(sub, aiming, count);
    }
    void OnDeviceShot(int32_t sub, IAiming* aiming, IShot* shot) { practice_->recorder().OnShot(sub, aiming, shot); }
    void OnDeviceConcludeAiming(int32_t sub, IAiming* aiming) { practice_->recorder().OnConcludeAiming(sub, aiming); }
    void OnDeviceFinalConcludeAiming(int32_t sub) { practice_->recorder().OnFinalConcludeAiming(sub); }
    void OnDeviceHeartBeat(int32_t sub, DATE dateMin, DATE dateMax)
    {
        practice_->recorder().OnHeartBeat(sub, dateMin, dateMax);
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;

private:
    FrameState currentState();
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
