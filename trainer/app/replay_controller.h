#pragma once
// The frame's replays: Replay of the selected shot, Replay all with its pause between shots, and
// the automatic replay after a shot with its delay.
class CKavroDoc;
class FrameCommands;
class QObject;
class QTimer;

class ReplayController {
public:
    // The timers belong to `owner`.
    ReplayController(QObject* owner, CKavroDoc& doc, FrameCommands& commands);

    bool replayAllRunning() const { return replayAllRunning_; }
    // Anything the user or the device does in between ends Replay all.
    void stopReplayAll() { setReplayAllRunning(false); }
    void OnReplay();
    void ReplayAll();
    // The replay of one shot ended: Replay all goes on after its pause.
    void replayStopped();

    void armAutoReplay() { autoReplayPending_ = true; }
    void cancelAutoReplay() { autoReplayPending_ = false; }
    void StartAutoReplay();

private:
    void setReplayAllRunning(bool running);
    void replayNextShot();
    void autoReplayDue();

    CKavroDoc& doc_;
    FrameCommands& commands_;
    bool replayAllRunning_ = false;
    bool autoReplayPending_ = false;
    QTimer* pauseBeforeNextShotTimer_;
    QTimer* autoReplayDelayTimer_;
};
