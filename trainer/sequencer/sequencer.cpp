#include "sequencer.h"

#include "res_strings.h"

#include <algorithm>

namespace kavro::trainer {

namespace {

constexpr int kContinueText = 61283;
constexpr int kSecondsLeftText = 61284;
constexpr int kSecondsOrShotsLeftText = 61285;

QString statusTemplate(int id)
{
    return LoadResString(static_cast<uint32_t>(id));
}

// The templates come from translation files: numbers go into "%i"/"%d" in order, and nothing a
// translator writes can make the formatting read arguments that are not there.
QString formatInts(const QString& pattern, std::initializer_list<int64_t> values)
{
    QString out;
    auto value = values.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size()) {
            const QChar f = pattern[i + 1];
            if (f == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if ((f == u'i' || f == u'd') && value != values.end()) {
                out += QString::number(*value++);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace

bool wantsRangeProcedure(int practiceKind, int32_t modelVersion)
{
    return practiceKind >= kFirstTimedKind && practiceKind <= kLastTimedKind && modelVersion != 600;
}

void applyRangeLight(IKavroDevice* device, enumSemaphoreMode mode)
{
    if (!device)
        return;
    VARIANT_BOOL available = VARIANT_FALSE;
    if (FAILED(device->get_SemaphoreAvailable(&available)) || available != VARIANT_TRUE)
        return;
    device->put_Semaphore(mode);
}

RangeSequencer::RangeSequencer(SequencerHost& host, Clock& clock)
    : host_(host), clock_(clock), ticker_(clock, [this] { return host_.postTick(); })
{
}

RangeSequencer::~RangeSequencer()
{
    ticker_.stop();
}

void RangeSequencer::reset()
{
    rangeState_ = 1;
    seriesTarget_ = 0;
    clearStateClock();
    continueGiven_ = false;
    setContinueAsked(false);
    acceptShots_ = true;
    seriesStartTime_ = 0;
}

bool RangeSequencer::start(int practiceKind, uint32_t periodMs)
{
    if (active_ || practiceKind < kFirstTimedKind || practiceKind > kLastTimedKind)
        return false;
    reset();
    kind_ = practiceKind;
    active_ = true;
    tickEnabled_ = true;
    lightLit_ = false;
    ticker_.start(periodMs);
    return true;
}

bool RangeSequencer::stop()
{
    if (!active_)
        return false;
    tickEnabled_ = false;
    active_ = false;
    ticker_.stop();
    rangeState_ = 0;
    clearStateClock();
    continueGiven_ = false;
    setContinueAsked(false);
    setStatus({});
    // A light left green would tell the shooter the range is still open.
    if (lightLit_)
        lightOff();
    return true;
}

void RangeSequencer::onTickMessage()
{
    ticker_.acknowledge();
    if (tickEnabled_)
        step();
}

void RangeSequencer::step()
{
    if (!active_)
        return;
    // A pass that went back (the next series) is continued at once; "before" is taken anew on
    // every pass, so only a pass that goes back again can repeat, and each such pass waits.
    int before;
    do {
        before = rangeState_;
        pass();
    } while (active_ && rangeState_ < before);
}

bool RangeSequencer::giveContinue()
{
    if (!continueAsked_)
        return false;
    continueGiven_ = true;
    setContinueAsked(false);
    return true;
}

void RangeSequencer::pass()
{
    switch (kind_) {
    case TargetKind::SP1: passSp1(); break;
    case TargetKind::SP2:
    case TargetKind::SPF: passSingleShots(); break;
    case TargetKind::N4TL3: passGroupsOfFour(); break;
    case TargetKind::N4TL15: passWindowsOfFour(); break;
    case TargetKind::Moving10:
    case TargetKind::Moving8:
    case TargetKind::Moving6: passMovingTarget(); break;
    }
}

// The steps that several procedures share; each acts only in its own state.

bool RangeSequencer::stepPrepare(int state)
{
    if (rangeState_ != state)
        return true;
    lightOff();
    setAcceptShots(false);
    return runCalibration();
}

void RangeSequencer::stepRedAfter(int state, uint32_t ms, const char* sound)
{
    if (rangeState_ == state && waitTime(ms)) {
        if (sound)
            play(sound);
        lightRed();
        next();
    }
}

void RangeSequencer::stepGreenAfter(int state, uint32_t ms, const char* sound)
{
    if (rangeState_ == state && waitTime(ms)) {
        if (sound)
            play(sound);
        lightGreen();
        setAcceptShots(true);
        next();
    }
}

void RangeSequencer::stepSeriesTarget(int state, int target)
{
    if (rangeState_ == state) {
        seriesTarget_ = target;
        next();
    }
}

void RangeSequencer::stepContinue(int state, const char* sound)
{
    if (rangeState_ == state && waitContinue()) {
        host_.switchToMatch();
        if (sound)
            play(sound);
        next();
    }
}

void RangeSequencer::stepCloseWindow(int state, uint32_t ms, int shots, bool match, const char* sound)
{
    if (rangeState_ == state && waitTimeOrShots(ms, shots, match)) {
        setAcceptShots(false);
        lightOff();
        if (sound)
            play(sound);
        if (match)
            fillMissedShots(true);
        next();
    }
}

void RangeSequencer::stepStop(int state)
{
    if (rangeState_ == state) {
        setRangeState(0);
        host_.stopPractice();
    }
}

// Sighting window of 5 shots, then match windows of 5 shots up to 30, each 5 minutes at most.
void RangeSequencer::passSp1()
{
    if (!stepPrepare(1))
        return;
    if (rangeState_ == 1) {
        play("Load");
        next();
    }
    stepRedAfter(2, 5000, "Attention");
    stepGreenAfter(3, 7000);
    stepCloseWindow(4, 300000, 5, false, "Unload");
    stepSeriesTarget(5, 5);
    stepContinue(6, "Load");
    stepRedAfter(7, 5000, "Attention");
    stepGreenAfter(8, 7000);
    stepCloseWindow(9, 300000, seriesTarget_, true, "Unload");
    if (rangeState_ == 10) {
        if (host_.shotCount(true) >= 30) {
            next();
        } else {
            seriesTarget_ += 5;
            setRangeState(6);
        }
    }
    stepStop(11);
}

// Single shots, each in a window of 3.2 s after red light: five sighting shots, then series of
// five up to 30 shots (kind 5) or 10 shots (kind 6, with its own announcements).
void RangeSequencer::passSingleShots()
{
    const bool isFinal = kind_ == TargetKind::SPF;
    if (!stepPrepare(1))
        return;
    if (rangeState_ == 1) {
        play(isFinal ? "For the sighting series - load" : "Load");
        seriesTarget_ = 1;
        next();
    }
    stepRedAfter(2, 5000, "Attention");
    stepGreenAfter(3, 7000);
    if (rangeState_ == 4 && waitTime(3200)) {
        setAcceptShots(false);
        fillMissedShots(false);
        if (seriesTarget_ == 5) {
            lightOff();
            play("Unload");
            next();
        } else {
            lightRed();
            seriesTarget_ += 1;
            setRangeState(3);
        }
    }
    stepSeriesTarget(5, 1);
    stepContinue(6,
                 !isFinal                 ? "Load"
                     : seriesTarget_ == 1 ? "For the first competion series - load"
                                          : "For the next competition series - load");
    stepRedAfter(7, 5000, "Attention");
    stepGreenAfter(8, 7000);
    if (rangeState_ == 9 && waitTime(3200)) {
        setAcceptShots(false);
        fillMissedShots(true);
        if (seriesTarget_ % 5 != 0) {
            lightRed();
            seriesTarget_ += 1;
            setRangeState(8);
        } else {
            lightOff();
            play("Unload");
            next();
        }
    }
    if (rangeState_ == 10) {
        if (seriesTarget_ == (isFinal ? 10 : 30)) {
            next();
        } else {
            seriesTarget_ += 1;
            setRangeState(6);
        }
    }
    stepStop(11);
}

// Single shots in groups of four, without spoken commands; repeats until stopped.
void RangeSequencer::passGroupsOfFour()
{
    if (!stepPrepare(1))
        return;
    stepSeriesTarget(1, 1);
    stepRedAfter(2, 5000);
    stepGreenAfter(3, 7000);
    if (rangeState_ == 4 && waitTime(3000)) {
        setAcceptShots(false);
        fillMissedShots(false);
        if (seriesTarget_ == 4) {
            lightOff();
            next();
        } else {
            lightRed();
            seriesTarget_ += 1;
            setRangeState(3);
        }
    }
    stepSeriesTarget(5, 1);
    stepContinue(6);
    stepRedAfter(7, 3000);
    stepGreenAfter(8, 3000);
    if (rangeState_ == 9 && waitTime(3000)) {
        setAcceptShots(false);
        fillMissedShots(true);
        if (seriesTarget_ % 4 == 0) {
            lightOff();
            next();
        } else {
            lightRed();
            seriesTarget_ += 1;
            setRangeState(8);
        }
    }
    if (rangeState_ == 10) {
        seriesTarget_ += 1;
        setRangeState(6);
    }
}

// Windows of 15 s for four shots; repeats until stopped.
void RangeSequencer::passWindowsOfFour()
{
    if (!stepPrepare(1))
        return;
    if (rangeState_ == 1)
        next();
    stepRedAfter(2, 5000, "Attention");
    stepGreenAfter(3, 7000);
    stepCloseWindow(4, 15000, 4, false);
    stepSeriesTarget(5, 4);
    stepContinue(6);
    stepRedAfter(7, 5000);
    stepGreenAfter(8, 7000);
    stepCloseWindow(9, 15000, seriesTarget_, true);
    if (rangeState_ == 10) {
        seriesTarget_ += 4;
        setRangeState(6);
    }
}

// Series of five runs of the moving target, the run's time set by the kind; repeats until stopped.
void RangeSequencer::passMovingTarget()
{
    if (!stepPrepare(1))
        return;
    if (rangeState_ == 1)
        next();
    stepRedAfter(2, 5000);
    stepGreenAfter(3, 7000);
    stepCloseWindow(4, 15000, 5, false);
    stepSeriesTarget(5, 5);
    stepContinue(6);
    stepRedAfter(7, 5000, "Attention");
    stepGreenAfter(8, 7000, "beep-start");
    const uint32_t runMs = kind_ == TargetKind::Moving10 ? 10000 : kind_ == TargetKind::Moving8 ? 8000 : 6000;
    if (rangeState_ == 9 && waitTimeOrShots(runMs, seriesTarget_, true)) {
        setAcceptShots(false);
        lightRed();
        play("beep-stop");
        fillMissedShots(true);
        next();
    }
    if (rangeState_ == 10 && waitTime(7000)) {
        play("Unload");
        lightRed();
        next();
    }
    if (rangeState_ == 11) {
        seriesTarget_ += 5;
        setRangeState(6);
    }
}

void RangeSequencer::setRangeState(int next)
{
    rangeState_ = next < 0 ? rangeState_ + 1 : next;
    clearStateClock();
    continueGiven_ = false;
    setContinueAsked(false);
}

bool RangeSequencer::hasElapsed(uint32_t ms)
{
    const uint32_t now = clock_.tickMs();
    if (!stateClockStarted_) {
        stateClock_ = now;
        stateClockStarted_ = true;
    }
    return now - stateClock_ >= ms; // uint32 arithmetic: the tick count may wrap
}

bool RangeSequencer::waitTime(uint32_t ms)
{
    const bool done = hasElapsed(ms);
    if (!done) {
        const int64_t left = int64_t(ms) - int64_t(clock_.tickMs() - stateClock_);
        setStatus(formatInts(statusTemplate(kSecondsLeftText), {left / 1000}));
    } else {
        setStatus({});
        clearStateClock();
    }
    return done;
}

bool RangeSequencer::waitTimeOrShots(uint32_t ms, int shots, bool match)
{
    const int count = host_.shotCount(match);
    const bool done = hasElapsed(ms) || count >= shots;
    if (!done) {
        const int64_t left = int64_t(ms) - int64_t(clock_.tickMs() - stateClock_);
        setStatus(formatInts(statusTemplate(kSecondsOrShotsLeftText), {left / 1000, std::max(0, shots - count)}));
    } else {
        setStatus({});
        clearStateClock();
    }
    return done;
}

bool RangeSequencer::waitContinue()
{
    bool given;
    if (continueAsked_ || continueGiven_) {
        given = continueGiven_;
    } else {
        setContinueAsked(true);
        given = false;
    }
    setStatus(given ? QString() : statusTemplate(kContinueText));
    return given;
}

void RangeSequencer::lightGreen()
{
    seriesStartTime_ = clock_.localNow();
    lightLit_ = true;
    host_.setRangeLight(SemaphoreGreen);
}

void RangeSequencer::lightRed()
{
    lightLit_ = true;
    host_.setRangeLight(SemaphoreRed);
}

void RangeSequencer::lightOff()
{
    lightLit_ = false;
    host_.setRangeLight(SemaphoreOff);
}

void RangeSequencer::setAcceptShots(bool on)
{
    if (on == acceptShots_)
        return;
    host_.concludeCurrentAiming();
    acceptShots_ = on;
}

void RangeSequencer::fillMissedShots(bool match)
{
    const int count = host_.shotCount(match);
    for (int i = count; i < seriesTarget_; ++i) {
        if (!host_.addMissedShot(match))
            break; // the document refuses: a later window tries again, the procedure goes on
    }
}

bool RangeSequencer::runCalibration()
{
    tickEnabled_ = false;
    host_.runCalibration();
    // The practice may have been stopped while the dialog ran (its window closed, the file
    // dropped): then nothing may tick again.
    if (!active_)
        return false;
    tickEnabled_ = true;
    return true;
}

void RangeSequencer::play(const char* name)
{
    host_.playSound(QString::fromLatin1(name));
}

void RangeSequencer::setStatus(const QString& text)
{
    // Every tick would repaint the status bar otherwise.
    if (text == status_)
        return;
    status_ = text;
    host_.setStatusText(text);
}

void RangeSequencer::setContinueAsked(bool asked)
{
    if (asked == continueAsked_)
        return;
    continueAsked_ = asked;
    host_.continueAskedChanged(asked);
}

} // namespace kavro::trainer
