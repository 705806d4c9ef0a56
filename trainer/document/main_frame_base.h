#pragma once
// What views, dialogs and the document wrapper may ask of the main frame, without knowing it.
// One frame instance is current while the program's main loop runs.
#include "kavrodev.h"
#include "target_kind.h"

#include <cstdint>

class CDocumentBase;
class QPoint;
class QWidget;
class QStatusBar;
class QProgressBar;

class CMainFrameBase {
public:
    virtual ~CMainFrameBase() = default;

    virtual QWidget* GetWindow() = 0;
    virtual QStatusBar* GetStatusBar() = 0;
    virtual QProgressBar* GetProgressBar() = 0; // null outside BeginProgress/EndProgress
    // Shows the text of stringId in the first status pane with a progress bar beside it.
    virtual void BeginProgress(int stringId) = 0;
    virtual void EndProgress() = 0;
    // When a sensor last saw a signal, as a tick of the machine's clock (realClock().tickMs());
    // the calibration dialog sets it too.
    virtual uint32_t* GetActivityTick() = 0;
    virtual TargetKind::Kind GetTargetKind() = 0;
    virtual bool IsDeviceConnected() = 0;
    virtual bool IsMatchStarted() = 0;
    virtual ComPtr<IKavroDevice> GetDevice() = 0;
    // The shot context menu (Replay, Hide / restore shot, Print) at a screen position, for the
    // views that list or draw shots; its commands act on the selected shot.
    virtual void ShowShotContextMenu(const QPoint& globalPos) = 0;
    // A command of the frame's menus and tool bars, as if the user had chosen it. A frame without
    // menus has nothing to run.
    virtual void OnCommand(int command);
    // Ends as a request from outside ends the program: false when a practice could not be kept.
    // A frame without a document has nothing to keep.
    virtual bool EndWithoutQuestions();

    // The progress bar since BeginProgress, if any, at `done` of `total` (a negative total is 0).
    void ShowProgress(int done, int total);

    // The frame that shows `doc`: the one among the document's views, else the frame of the
    // running main loop (a document printed or read on its own has no frame among its views).
    static CMainFrameBase* of(const CDocumentBase& doc);
    // The frame of the running main loop, or null.
    static CMainFrameBase* current();
    static void setCurrent(CMainFrameBase* frame);
};
