#pragma once
// A practice run with a connected device, from its start to its stop: the start-practice dialog
// and the new document, the calibration, the switch to the match, the result a shot leaves on
// the trace view. It owns the practice's pieces, each with its own concern: the device session,
// the recording of the device's events, the live notifications, the automatic save, the range
// procedure, the shooting position and the options the device holds.
#include "device_options.h"
#include "device_session.h"
#include "live_notifier.h"
#include "practice_autosave.h"
#include "practice_position.h"
#include "practice_recorder.h"
#include "sequencer.h"

#include <QString>

#include <functional>
#include <memory>

class CKavroDoc;
class CView;
class FramePanes;
class FrameSounds;
class FrameWindow;
class QTimer;
class ReplayController;

class PracticeController {
public:
    struct Parts {
        CKavroDoc& doc;
        CView* view; // the frame as the document's view: the hints it sends skip it
        FrameWindow& window;
        FramePanes& panes;
        ReplayController& replay;
        FrameSounds& sounds;
        std::function<void()> changed; // what the practice's commands depend on changed
    };
    explicit PracticeController(Parts parts);
    ~PracticeController();

    bool NewPractice(const QString& hint1, const QString& hint2);
    void StopPractice();
    bool OnCalibration();
    bool SwitchToMatch();
    void OnResetTraceTarget();

    // The result of the newest shot counts as shown a second after it (Reset trace target).
    void shotAdded();
    void clearResultShown() { setResultShown(false); }
    bool resultShown() const { return resultShown_; }
    bool timedPractice();

    DeviceSession& session() { return session_; }
    PracticeRecorder& recorder() { return *recorder_; }
    PracticePosition& position() { return *position_; }
    DeviceOptions& deviceOptions() { return *deviceOptions_; }
    LiveNotifier& live() { return live_; }
    PracticeAutosave& autosave() { return autosave_; }
    kavro::trainer::RangeSequencer& sequencer() { return *sequencer_; }

private:
    void setResultShown(bool shown);

    Parts p_;
    DeviceSession session_;
    PracticeAutosave autosave_;
    QTimer* resultShownDelayTimer_;
    bool resultShown_ = false;
    std::unique_ptr<kavro::trainer::SequencerHost> sequencerHost_;
    std::unique_ptr<kavro::trainer::RangeSequencer> sequencer_;
    LiveNotifier live_;
    std::unique_ptr<PracticeRecorder> recorder_;
    std::unique_ptr<PracticePosition> position_;
    std::unique_ptr<DeviceOptions> deviceOptions_;
    // Declared after the recorder it calls, so that it goes first.
    ComPtr<IUnknown> deviceSink_;
};
