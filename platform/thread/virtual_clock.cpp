#include "thread/virtual_clock.h"

#include <algorithm>

namespace kavro {

VirtualClock::VirtualClock(uint64_t startMs, DATE startDate) : now_(startMs), startDate_(startDate)
{
}

uint32_t VirtualClock::tickMs() const
{
    std::lock_guard lock(m_);
    return static_cast<uint32_t>(now_);
}

DATE VirtualClock::localNow() const
{
    std::lock_guard lock(m_);
    return startDate_ + static_cast<double>(now_) / 86400000.0;
}

uint64_t VirtualClock::nowMs() const
{
    std::lock_guard lock(m_);
    return now_;
}

bool VirtualClock::sleep(uint32_t ms, const ManualEvent* stop)
{
    EventWaiter waiter;
    bool stopped = false;
    {
        std::lock_guard lock(m_);
        sleepers_.push_back({now_ + ms, &waiter});
        changed_.notify_all();
    }
    if (stop)
        stop->addWaiter(&waiter);
    for (;;) {
        if (stop && stop->isSet()) {
            stopped = true;
            break;
        }
        {
            std::lock_guard lock(m_);
            const auto it = std::find_if(sleepers_.begin(), sleepers_.end(),
                                         [&](const Sleeper& s) { return s.waiter == &waiter; });
            if (now_ >= it->deadline)
                break;
        }
        waiter.waitForWake(kInfinite);
    }
    if (stop)
        stop->removeWaiter(&waiter);
    std::lock_guard lock(m_);
    sleepers_.erase(
        std::remove_if(sleepers_.begin(), sleepers_.end(), [&](const Sleeper& s) { return s.waiter == &waiter; }),
        sleepers_.end());
    changed_.notify_all();
    return stopped;
}

void VirtualClock::advance(uint64_t ms)
{
    std::lock_guard lock(m_);
    now_ += ms;
    for (const Sleeper& s : sleepers_)
        if (s.deadline <= now_)
            s.waiter->wake();
    changed_.notify_all();
}

int VirtualClock::sleepersLocked() const
{
    return static_cast<int>(
        std::count_if(sleepers_.begin(), sleepers_.end(), [&](const Sleeper& s) { return s.deadline > now_; }));
}

int VirtualClock::sleepers() const
{
    std::lock_guard lock(m_);
    return sleepersLocked();
}

bool VirtualClock::waitForSleepers(int count, std::chrono::milliseconds realLimit) const
{
    std::unique_lock lock(m_);
    return changed_.wait_for(lock, realLimit, [&] { return sleepersLocked() >= count; });
}

} // namespace kavro
