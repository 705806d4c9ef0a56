#include "trace_zoom.h"

#include "trace_model.h"

namespace kavro::trace {

namespace {
constexpr int kFirstStepMs = 10;
constexpr int kNextStepMs = 50;
} // namespace

ZoomAnimation::ZoomAnimation(std::function<void()> step)
{
    stepTimer_.setInterval(kFirstStepMs);
    QObject::connect(&stepTimer_, &QTimer::timeout, std::move(step));
}

void ZoomAnimation::start(float from, float goal, uint32_t nowTick)
{
    from_ = from;
    goal_ = goal;
    startTick_ = nowTick;
    running_ = true;
    stepTimer_.start(kFirstStepMs);
}

void ZoomAnimation::stop()
{
    stepTimer_.stop();
    running_ = false;
}

float ZoomAnimation::levelAt(uint32_t nowTick)
{
    const int64_t elapsed = uint32_t(nowTick - startTick_);
    const float level = zoomAnimationLevel(from_, goal_, elapsed);
    if (level == goal_)
        stop();
    else if (stepTimer_.interval() != kNextStepMs)
        stepTimer_.setInterval(kNextStepMs);
    return level;
}

} // namespace kavro::trace
