#pragma once
// The range officer of the timed events: commands, the range light, the shooting windows, missed
// shots for windows that closed too early, and the Continue handshake between series. It advances
// one step per tick message; the ticker posts at most one tick at a time. What each state does is the
// kind's table (range_procedure.h).
#include "range_procedure.h"
#include "sequencer_host.h"

#include "target_kind.h"

#include "com/oledate.h"
#include "thread/clock.h"
#include "thread/coalescing_ticker.h"

#include <cstdint>
#include <span>

namespace kavro::trainer {

// Practice kinds of the timed procedures (the document wrapper's target kind).
constexpr TargetKind::Kind kFirstTimedKind = TargetKind::SP1;
constexpr TargetKind::Kind kLastTimedKind = TargetKind::Moving6;

// Image sensors run their own range procedure, so the trainer's ticks stay off for them.
bool wantsRangeProcedure(int practiceKind, int32_t modelVersion);

// Sets the device's range light when it has one; a device without a light or a failing call
// changes nothing.
void applyRangeLight(IKavroDevice* device, enumSemaphoreMode mode);

class RangeSequencer {
public:
    static constexpr uint32_t kTickPeriodMs = 10;

    RangeSequencer(SequencerHost& host, Clock& clock);
    ~RangeSequencer();
    RangeSequencer(const RangeSequencer&) = delete;
    RangeSequencer& operator=(const RangeSequencer&) = delete;

    // The state of a new practice: shots accepted, first state, nothing counted, no handshake.
    void reset();
    // Resets and starts ticking for a timed kind. False (and nothing done) while running or for
    // a kind without a procedure.
    bool start(int practiceKind, uint32_t periodMs = kTickPeriodMs);
    // Ends the procedure: no tick thread, no handshake, status text and range light cleared.
    // False when it was not running.
    bool stop();
    bool isRunning() const { return active_; }
    bool isTickerRunning() const { return ticker_.isRunning(); }

    // The handler of the tick message on the user-interface thread.
    void onTickMessage();
    // One step of the procedure (normally through onTickMessage).
    void step();

    // The Continue command; taken only while the procedure waits for it.
    bool giveContinue();
    bool continueAsked() const { return continueAsked_; }

    bool acceptShots() const { return acceptShots_; }
    DATE seriesStartTime() const { return seriesStartTime_; }
    RangeState::State rangeState() const { return rangeState_; }
    int seriesTarget() const { return seriesTarget_; }
    TargetKind::Kind practiceKind() const { return kind_; }

private:
    // One pass over the states of the running kind, in increasing order.
    void pass();
    // Does what `step` says once its wait is over; false when the practice ended during the
    // calibration it ran, which ends the pass.
    bool run(const RangeStep& step);
    void closeWindow(const RangeStep& step);
    void singleShot(const RangeStep& step);
    void nextSeries(const RangeStep& step);

    void setRangeState(RangeState::State next);
    void next() { setRangeState(RangeState::State(rangeState_ + 1)); }
    bool hasElapsed(uint32_t ms);
    bool waitTime(uint32_t ms);
    bool waitTimeOrShots(uint32_t ms, int shots, bool match);
    bool waitContinue();
    void clearStateClock() { stateClockStarted_ = false; }

    void setLight(RangeLight colour);
    void lightGreen();
    void lightRed();
    void lightOff();
    void setAcceptShots(bool on);
    void fillMissedShots(bool match);
    // False when the practice ended while the dialog ran.
    bool runCalibration();
    // Nothing for a step without a sound.
    void play(const char* name);
    void setStatus(const QString& text);
    void setContinueAsked(bool asked);

    SequencerHost& host_;
    Clock& clock_;
    CoalescingTicker ticker_;

    TargetKind::Kind kind_ = TargetKind::None;
    std::span<const RangeStep> procedure_;
    bool active_ = false;
    bool tickEnabled_ = false;
    RangeState::State rangeState_ = RangeState::Preparing;
    int seriesTarget_ = 0;
    // A started flag beside the tick: a clock that reads 0 is a valid start, not "never".
    uint32_t stateClock_ = 0;
    bool stateClockStarted_ = false;
    bool continueAsked_ = false;
    bool continueGiven_ = false;
    bool acceptShots_ = true;
    DATE seriesStartTime_ = 0;
    bool lightLit_ = false;
    QString status_;
};

} // namespace kavro::trainer
