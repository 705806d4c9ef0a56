#pragma once
// The range officer of the timed events: commands, the range light, the shooting windows, missed
// shots for windows that closed too early, and the Continue handshake between series. It advances
// one step per tick message; the ticker posts at most one tick at a time.
#include "sequencer_host.h"

#include "target_kind.h"

#include "com/oledate.h"
#include "thread/clock.h"
#include "thread/coalescing_ticker.h"

#include <cstdint>

namespace kavro::trainer {

// Practice kinds of the timed procedures (the document wrapper's target kind).
constexpr int kFirstTimedKind = TargetKind::SP1;
constexpr int kLastTimedKind = TargetKind::Moving6;

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
    int rangeState() const { return rangeState_; }
    int seriesTarget() const { return seriesTarget_; }
    int practiceKind() const { return kind_; }

private:
    // One pass over the states of the running kind, in increasing order.
    void pass();
    void passSp1();
    void passSingleShots();
    void passGroupsOfFour();
    void passWindowsOfFour();
    void passMovingTarget();

    // Shared steps, each acting only in `state`. stepPrepare is false when the practice ended
    // during the calibration it runs.
    bool stepPrepare(int state);
    void stepRedAfter(int state, uint32_t ms, const char* sound = nullptr);
    void stepGreenAfter(int state, uint32_t ms, const char* sound = nullptr);
    void stepSeriesTarget(int state, int target);
    void stepContinue(int state, const char* sound = nullptr);
    void stepStop(int state);
    // A window that closes after `ms` or at `shots` shots: shots are no longer taken, the light goes
    // off, `sound` plays, and a match window counts the shots it missed.
    void stepCloseWindow(int state, uint32_t ms, int shots, bool match, const char* sound = nullptr);

    void setRangeState(int next);
    void next() { setRangeState(-1); }
    bool hasElapsed(uint32_t ms);
    bool waitTime(uint32_t ms);
    bool waitTimeOrShots(uint32_t ms, int shots, bool match);
    bool waitContinue();
    void clearStateClock() { stateClockStarted_ = false; }

    void lightGreen();
    void lightRed();
    void lightOff();
    void setAcceptShots(bool on);
    void fillMissedShots(bool match);
    // False when the practice ended while the dialog ran.
    bool runCalibration();
    void play(const char* name);
    void setStatus(const QString& text);
    void setContinueAsked(bool asked);

    SequencerHost& host_;
    Clock& clock_;
    CoalescingTicker ticker_;

    int kind_ = 0;
    bool active_ = false;
    bool tickEnabled_ = false;
    int rangeState_ = 1;
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
