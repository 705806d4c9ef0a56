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
    return practiceKind >= kFirstTimedKind && practiceKind <= kLastTimedKind
        && modelVersion != ModelVersion::ImageSensor;
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
    rangeState_ = RangeState::Preparing;
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
    kind_ = TargetKind::Kind(practiceKind);
    procedure_ = rangeProcedure(kind_);
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
    rangeState_ = RangeState::Ended;
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
    RangeState::State before;
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
    for (const RangeStep& step : procedure_) {
        if (rangeState_ == step.state && !run(step))
            return;
    }
}

bool RangeSequencer::run(const RangeStep& step)
{
    switch (step.action) {
    case RangeAction::Prepare:
        lightOff();
        setAcceptShots(false);
        if (!runCalibration())
            return false;
        play(step.sound);
        seriesTarget_ = step.count;
        next();
        break;
    case RangeAction::Light:
        if (waitTime(step.ms)) {
            play(step.sound);
            setLight(step.light);
            if (step.light == RangeLight::Green)
                setAcceptShots(true);
            next();
        }
        break;
    case RangeAction::SetSeriesTarget:
        seriesTarget_ = step.count;
        next();
        break;
    case RangeAction::Continue:
        if (waitContinue()) {
            host_.switchToMatch();
            play(step.firstSound && seriesTarget_ == 1 ? step.firstSound : step.sound);
            next();
        }
        break;
    case RangeAction::CloseWindow: closeWindow(step); break;
    case RangeAction::SingleShot: singleShot(step); break;
    case RangeAction::NextSeries: nextSeries(step); break;
    case RangeAction::Stop:
        setRangeState(RangeState::Ended);
        host_.stopPractice();
        break;
    }
    return true;
}

void RangeSequencer::closeWindow(const RangeStep& step)
{
    if (!waitTimeOrShots(step.ms, step.match ? seriesTarget_ : step.count, step.match))
        return;
    setAcceptShots(false);
    setLight(step.light);
    play(step.sound);
    if (step.match)
        fillMissedShots(true);
    next();
}

void RangeSequencer::singleShot(const RangeStep& step)
{
    if (!waitTime(step.ms))
        return;
    setAcceptShots(false);
    fillMissedShots(step.match);
    if (seriesTarget_ % step.count == 0) {
        lightOff();
        play(step.sound);
        next();
    } else {
        lightRed();
        seriesTarget_ += 1;
        setRangeState(RangeState::State(step.state - 1));
    }
}

void RangeSequencer::nextSeries(const RangeStep& step)
{
    bool over = false;
    switch (step.end) {
    case SeriesEnd::Never: break;
    case SeriesEnd::MatchShotsReach: over = host_.shotCount(true) >= step.limit; break;
    case SeriesEnd::SeriesTargetIs: over = seriesTarget_ == step.limit; break;
    }
    if (over) {
        next();
    } else {
        seriesTarget_ += step.count;
        setRangeState(RangeState::AwaitingContinue);
    }
}

void RangeSequencer::setRangeState(RangeState::State next)
{
    rangeState_ = next;
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

void RangeSequencer::setLight(RangeLight colour)
{
    switch (colour) {
    case RangeLight::Off: lightOff(); break;
    case RangeLight::Red: lightRed(); break;
    case RangeLight::Green: lightGreen(); break;
    }
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
    if (name)
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
