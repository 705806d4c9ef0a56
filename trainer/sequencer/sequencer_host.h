#pragma once
// What the range procedure needs from the program around it. The main frame implements it over
// the device, the document and the sounds; tests implement it with a recorder.
#include "kavrodev.h"

#include <QString>

namespace kavro::trainer {

class SequencerHost {
public:
    virtual ~SequencerHost() = default;

    // Runs on the ticker thread: hand one tick to the user-interface thread (which then calls
    // RangeSequencer::onTickMessage) and do nothing else. False when the tick could not be posted.
    virtual bool postTick() = 0;

    // The range light. Failures (no device, a device without a light) are the host's to swallow.
    virtual void setRangeLight(enumSemaphoreMode mode) = 0;
    // The device concludes the aiming in progress, so that no aiming straddles a window's edge.
    virtual void concludeCurrentAiming() = 0;
    // A spoken command or a beep, by its sound name.
    virtual void playSound(const QString& name) = 0;
    // Status-bar pane 0.
    virtual void setStatusText(const QString& text) = 0;
    // The Continue command is offered exactly while `asked` is true.
    virtual void continueAskedChanged(bool asked) = 0;

    // Shots in the document: match shots or sighting shots.
    virtual int shotCount(bool match) = 0;
    // Adds one missed shot and selects it; false when it could not be added.
    virtual bool addMissedShot(bool match) = 0;

    // The modal calibration dialog; no tick reaches the procedure while it runs.
    virtual void runCalibration() = 0;
    virtual void switchToMatch() = 0;
    // Ends the practice; the host stops the sequencer from inside this call.
    virtual void stopPractice() = 0;
};

} // namespace kavro::trainer
