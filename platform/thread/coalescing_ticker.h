#pragma once
// A thread that asks for a tick every period but keeps at most one tick pending: a slow consumer
// loses ticks instead of piling them up. The consumer calls acknowledge() when it takes a tick.
#include "thread/clock.h"
#include "thread/cthread.h"

#include <functional>
#include <mutex>

namespace kavro {

class CoalescingTicker {
public:
    // `post` hands one tick to the consumer (typically a post to its ControlQueue) and returns
    // false when it could not; it runs on the ticker thread.
    CoalescingTicker(Clock& clock, std::function<bool()> post);
    ~CoalescingTicker();
    CoalescingTicker(const CoalescingTicker&) = delete;
    CoalescingTicker& operator=(const CoalescingTicker&) = delete;

    // Starts ticking every `periodMs` (at least 1) with no tick pending. False when running.
    bool start(uint32_t periodMs);
    // Ends the thread; nothing is posted once this returns.
    void stop();
    bool isRunning() const;

    // The consumer has taken the pending tick; the next period may post again.
    void acknowledge();
    bool isTickPending() const;

private:
    class Worker final : public CThread {
    public:
        explicit Worker(CoalescingTicker& owner) : owner_(owner) { }
        ~Worker() override { Stop(); }

    protected:
        void Run() override { owner_.loop(); }

    private:
        CoalescingTicker& owner_;
    };

    void loop();

    Clock& clock_;
    std::function<bool()> post_;
    mutable std::mutex m_;
    bool pending_ = false;
    uint32_t periodMs_ = 1;
    Worker worker_{*this};
};

} // namespace kavro
