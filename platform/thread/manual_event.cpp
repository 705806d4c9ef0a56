#include "thread/manual_event.h"

#include <algorithm>
#include <chrono>

namespace kavro {

void EventWaiter::wake()
{
    std::lock_guard lock(m_);
    woken_ = true;
    cv_.notify_all();
}

void EventWaiter::waitForWake(uint32_t timeoutMs)
{
    std::unique_lock lock(m_);
    if (timeoutMs == kInfinite)
        cv_.wait(lock, [this] { return woken_; });
    else
        cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return woken_; });
    woken_ = false;
}

void ManualEvent::set()
{
    // Waiters are woken under our lock: a waiter removes itself under the same lock before it
    // goes away, so none is touched after its wait has ended.
    std::lock_guard lock(m_);
    set_ = true;
    for (EventWaiter* w : waiters_)
        w->wake();
}

void ManualEvent::reset()
{
    std::lock_guard lock(m_);
    set_ = false;
}

bool ManualEvent::isSet() const
{
    std::lock_guard lock(m_);
    return set_;
}

bool ManualEvent::wait(uint32_t timeoutMs) const
{
    return waitAny({this}, timeoutMs) == 0;
}

void ManualEvent::addWaiter(EventWaiter* w) const
{
    std::lock_guard lock(m_);
    waiters_.push_back(w);
}

void ManualEvent::removeWaiter(EventWaiter* w) const
{
    std::lock_guard lock(m_);
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), w), waiters_.end());
}

int ManualEvent::waitAny(std::initializer_list<const ManualEvent*> events, uint32_t timeoutMs)
{
    const auto findSet = [&]() -> int {
        int i = 0;
        for (const ManualEvent* e : events) {
            if (e && e->isSet())
                return i;
            ++i;
        }
        return -1;
    };
    int found = findSet();
    if (found >= 0 || timeoutMs == 0)
        return found;

    EventWaiter waiter;
    for (const ManualEvent* e : events)
        if (e)
            e->addWaiter(&waiter);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        found = findSet();
        if (found >= 0)
            break;
        uint32_t left = kInfinite;
        if (timeoutMs != kInfinite) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                break;
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            left = static_cast<uint32_t>(std::min<long long>(ms, kInfinite - 1));
        }
        waiter.waitForWake(left);
    }
    for (const ManualEvent* e : events)
        if (e)
            e->removeWaiter(&waiter);
    return found;
}

} // namespace kavro
