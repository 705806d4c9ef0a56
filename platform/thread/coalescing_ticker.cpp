#include "thread/coalescing_ticker.h"

#include <algorithm>

namespace kavro {

CoalescingTicker::CoalescingTicker(Clock& clock, std::function<bool()> post) : clock_(clock), post_(std::move(post))
{
}

CoalescingTicker::~CoalescingTicker()
{
    stop();
}

bool CoalescingTicker::start(uint32_t periodMs)
{
    if (worker_.IsStarted())
        return false;
    {
        std::lock_guard lock(m_);
        pending_ = false;
        // A zero period would spin the thread without ever sleeping.
        periodMs_ = std::max<uint32_t>(periodMs, 1);
    }
    return worker_.Start();
}

void CoalescingTicker::stop()
{
    worker_.Stop();
}

bool CoalescingTicker::isRunning() const
{
    return worker_.IsStarted();
}

void CoalescingTicker::acknowledge()
{
    std::lock_guard lock(m_);
    pending_ = false;
}

bool CoalescingTicker::isTickPending() const
{
    std::lock_guard lock(m_);
    return pending_;
}

void CoalescingTicker::loop()
{
    uint32_t period;
    {
        std::lock_guard lock(m_);
        period = periodMs_;
    }
    while (!clock_.sleep(period, &worker_.StopEvent())) {
        std::lock_guard lock(m_);
        if (!pending_ && post_())
            pending_ = true;
    }
}

} // namespace kavro
