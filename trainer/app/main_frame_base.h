#pragma once
// What views, dialogs and the document wrapper may ask of the main frame, without knowing it.
// One frame instance is current while the program's main loop runs.
#include "kavrodev.h"
#include "target_kind.h"

#include <cstdint>

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

    // The frame of the running main loop, or null.
    static CMainFrameBase* current();
    static void setCurrent(CMainFrameBase* frame);
};
