#include "thread/pumped_control_queue.h"

#include "thread/queue_core.h"

#include <algorithm>

namespace kavro {

PumpedControlQueue::PumpedControlQueue(QueueHandler handler, Clock& clock)
    : ControlQueue(std::move(handler)), clock_(clock)
{
}

PumpedControlQueue::~PumpedControlQueue()
{
    destroy();
}

bool PumpedControlQueue::setTimer(uint32_t timerId, uint32_t periodMs)
{
    if (isDestroyed())
        return false;
    std::lock_guard lock(m_);
    timers_[timerId] = Timer{std::max<uint32_t>(periodMs, 1), clock_.tickMs()};
    return true;
}

void PumpedControlQueue::killTimer(uint32_t timerId)
{
    std::lock_guard lock(m_);
    timers_.erase(timerId);
}

std::vector<uint32_t> PumpedControlQueue::takeDueTimers()
{
    std::lock_guard lock(m_);
    const uint32_t now = clock_.tickMs();
    std::vector<uint32_t> due;
    for (auto& [id, t] : timers_) {
        // Tick differences in uint32 arithmetic survive the wrap of the tick count.
        if (static_cast<uint32_t>(now - t.startTick) >= t.periodMs) {
            due.push_back(id);
            t.startTick = now;
        }
    }
    return due;
}

size_t PumpedControlQueue::pump()
{
    size_t handled = 0;
    for (;;) {
        size_t round = core_->dispatchQueued();
        for (uint32_t id : takeDueTimers()) {
            {
                // A handler earlier in this round may have killed it.
                std::lock_guard lock(m_);
                if (!timers_.count(id))
                    continue;
            }
            if (core_->deliver(QueueMessage{kTimerMessage, static_cast<intptr_t>(id), 0, {}}))
                ++round;
        }
        handled += round;
        if (round == 0 || isDestroyed())
            return handled;
    }
}

size_t PumpedControlQueue::queuedCount() const
{
    return core_->queuedCount();
}

bool PumpedControlQueue::waitForMessages(std::chrono::milliseconds realLimit) const
{
    return core_->waitForMessages(realLimit);
}

void PumpedControlQueue::teardown()
{
    std::lock_guard lock(m_);
    timers_.clear();
}

} // namespace kavro
