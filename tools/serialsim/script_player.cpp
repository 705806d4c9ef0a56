#include "serialsim/script_player.h"

#include <cmath>
#include <numbers>

namespace kavro::serialsim {

using Kind = ScriptStep::Kind;

namespace {

// A pulse swing the host's beat detector takes for a beat.
constexpr double PulseCentre = 512;
constexpr double PulseSwing = 300;

} // namespace

ScriptPlayer::ScriptPlayer(std::vector<ScriptStep> steps) : steps_(std::move(steps))
{
}

SensorState ScriptPlayer::sampleNow(int rate)
{
    SensorState s = state_;
    if (pulseRate_ > 0 && rate > 0) {
        pulsePhase_ = std::fmod(pulsePhase_ + pulseRate_ / 60.0 / rate, 1.0);
        s.pulse = int(std::lround(PulseCentre + PulseSwing * std::sin(2 * std::numbers::pi * pulsePhase_)));
    }
    return s;
}

void ScriptPlayer::beginStep(const ScriptStep& step, int rate)
{
    stepStarted_ = true;
    stepDone_ = 0;
    stepSamples_ = int(std::lround(double(step.ms) * rate / 1000.0));
    startX_ = state_.x;
    startY_ = state_.y;
    if (step.kind == Kind::Aim)
        state_.signal = step.value;
    if (step.kind == Kind::Lose || step.kind == Kind::NoSignal)
        state_.signal = 0;
    if (step.kind == Kind::NoSignal)
        state_.x = state_.y = 0;
}

void ScriptPlayer::finishStep(const ScriptStep& step)
{
    if (step.kind == Kind::Aim) {
        state_.x = step.x;
        state_.y = step.y;
    }
    stepStarted_ = false;
    ++index_;
}

void ScriptPlayer::setLoop(bool loop)
{
    loop_ = false;
    if (!loop)
        return;
    for (const ScriptStep& step : steps_) {
        switch (step.kind) {
        case Kind::Trigger:
        case Kind::Pulse: break;
        case Kind::Shot:
        case Kind::End:
        case Kind::Silence:
        case Kind::Unplug: loop_ = true; break;
        default:
            if (step.ms > 0)
                loop_ = true;
            break;
        }
    }
}

PlayerAction ScriptPlayer::next(int rate)
{
    for (;;) {
        if (index_ >= steps_.size()) {
            if (!loop_)
                break;
            index_ = 0;
        }
        const ScriptStep& step = steps_[index_];
        switch (step.kind) {
        case Kind::Trigger:
            state_.trigger = step.value;
            ++index_;
            continue;
        case Kind::Pulse:
            pulseRate_ = step.value;
            if (pulseRate_ == 0)
                state_.pulse = int(PulseCentre);
            ++index_;
            continue;
        case Kind::End: return {PlayerAction::Kind::End, {}, 0};
        case Kind::Silence:
        case Kind::Unplug:
            ++index_;
            return {step.kind == Kind::Silence ? PlayerAction::Kind::Silence : PlayerAction::Kind::Unplug, {}, step.ms};
        case Kind::Shot: {
            ++index_;
            PlayerAction shot{PlayerAction::Kind::Sample, sampleNow(rate), 0};
            shot.sample.piezo = step.value;
            return shot;
        }
        case Kind::Wait:
        case Kind::NoSignal:
        case Kind::Aim:
        case Kind::Lose:
            if (!stepStarted_)
                beginStep(step, rate);
            if (stepDone_ >= stepSamples_) {
                finishStep(step);
                continue;
            }
            ++stepDone_;
            if (step.kind == Kind::Aim) {
                const double t = double(stepDone_) / stepSamples_;
                state_.x = startX_ + (step.x - startX_) * t;
                state_.y = startY_ + (step.y - startY_) * t;
            }
            return {PlayerAction::Kind::Sample, sampleNow(rate), 0};
        }
    }
    state_.signal = 0;
    return {PlayerAction::Kind::Sample, sampleNow(rate), 0};
}

} // namespace kavro::serialsim
