#pragma once
// A practice run with a connected device: starting and stopping it, the device's events into the
// document, the views and the live notifications, the automatic save, the range procedure it
// hosts, the biathlon sub-target and the commands that act on the device.
#include "kavro_hints.h"
#include "kavrodev.h"
#include "sequencer.h"
#include "target_kind.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kavro::live {
class LiveServer;
}
class CMainFrame;
class QTimer;

class PracticeController {
public:
    explicit PracticeController(CMainFrame& frame);
    ~PracticeController();

    bool NewPractice(const QString& hint1, const QString& hint2);
    void StopPractice();
    bool OnCalibration();
    bool SwitchToMatch();
    void SelectSubTarget(int value, const QString& positionName);
    void OnResetTraceTarget();
    void OnResetHardware();
    // Ctrl+Q on the trace view: the device adds a shot as if the sensor had fired.
    void addShotByHand();
    // The options the device holds (seconds kept around a shot, reject interval, firing point).
    void ApplyOptionsChange(uint32_t mask);
    void ChangePiezoRejectInterval(float step);
    void ShowPiezoRejectInterval();

    // --- device events ------------------------------------------------------------------------
    void OnStartAiming(int32_t sub, IAiming* aiming);
    void OnNewCoordinates(int32_t sub, IAiming* aiming, int32_t count);
    void OnShot(int32_t sub, IAiming* aiming, IShot* shot);
    void OnConcludeAiming(int32_t sub, IAiming* aiming);
    void OnFinalConcludeAiming(int32_t sub);
    void OnPulseChanged(int32_t sub, int32_t pulse);
    void OnHeartBeat(int32_t sub, DATE dateMin, DATE dateMax);
    void OnTrigger(int32_t sub, int32_t count);

    // --- what the frame's hints do to the practice ------------------------------------------
    // The result of the newest shot counts as shown a second after it (Reset trace target).
    void shotAdded();
    void clearResultShown() { setResultShown(false); }
    // Forced replay: the aiming counts as over at its conclusion.
    void releaseCurrentAiming() { currentAiming_ = nullptr; }
    // Adds the view's shift to the device's correction: the new totals, none without a device.
    std::optional<KavroHint::ShiftArgs> correctShift(const KavroHint::ShiftArgs& shift);

    bool hasDevice() const { return device_ != nullptr; }
    bool IsDeviceConnected();
    ComPtr<IKavroDevice> device() const { return device_; }
    bool timedPractice();
    bool matchStarted() const { return matchStarted_; }
    BiathlonTarget::Kind subTarget() const { return subTarget_; }
    bool resultShown() const { return resultShown_; }
    int matchShotsSinceSave() const { return matchShotsSinceSave_; }
    IAiming* currentAiming() const { return currentAiming_.get(); }
    uint32_t* activityTick() { return &lastSignalTime_; }
    // A sensor saw a signal within the last second.
    bool signalSeenLately() const;
    kavro::live::LiveServer* liveServer() const { return live_; }
    kavro::trainer::RangeSequencer& sequencer() { return *sequencer_; }

    static void setDeviceFactory(std::function<ComPtr<IKavroDevice>()> factory);

private:
    void AdviseDeviceSink();
    void UnadviseDeviceSink();
    bool BeginAimingEvent(int32_t sub, IAiming* aiming);
    void postLive(int message, int32_t wParam, uint32_t lParam);
    void postTracePoints(IAiming* aiming, int32_t count);
    void setResultShown(bool shown);
    void setMatchStarted(bool started);

    CMainFrame& frame_;
    ComPtr<IKavroDevice> device_;
    ComPtr<IUnknown> deviceSink_;
    uint32_t sinkCookie_ = 0;
    bool sinkAdvised_ = false;
    uint32_t lastSignalTime_ = 0;
    ComPtr<IAiming> currentAiming_;
    int matchShotsSinceSave_ = 0;
    bool matchStarted_ = false;
    BiathlonTarget::Kind subTarget_ = BiathlonTarget::None;
    bool resultShown_ = false;
    QTimer* resultShownDelayTimer_;
    kavro::live::LiveServer* live_ = nullptr;
    std::unique_ptr<kavro::trainer::SequencerHost> sequencerHost_;
    std::unique_ptr<kavro::trainer::RangeSequencer> sequencer_;
};
