#pragma once
// What the range procedure of a timed practice does through the trainer: its ticks back on the
// window's thread, the range light and the aimings on the device, sounds, status text, missed
// shots into the document, and the practice's own steps.
#include "sequencer_host.h"

#include <functional>

class CKavroDoc;
class DeviceSession;
class FrameSounds;
class FrameWindow;
class PracticeController;
class QObject;

class PracticeSequencerHost final : public kavro::trainer::SequencerHost {
public:
    PracticeSequencerHost(PracticeController& practice, CKavroDoc& doc, DeviceSession& session, FrameSounds& sounds,
                          FrameWindow& window, std::function<void()> changed);

    bool postTick() override;
    void setRangeLight(enumSemaphoreMode mode) override;
    void concludeCurrentAiming() override;
    void playSound(const QString& name) override;
    void setStatusText(const QString& text) override;
    void continueAskedChanged(bool) override { changed_(); }
    int shotCount(bool match) override;
    bool addMissedShot(bool match) override;
    void runCalibration() override;
    void switchToMatch() override;
    void stopPractice() override;

private:
    PracticeController& practice_;
    CKavroDoc& doc_;
    DeviceSession& session_;
    FrameSounds& sounds_;
    FrameWindow& window_;
    QObject* tickReceiver_; // lives on the window's thread
    std::function<void()> changed_;
};
