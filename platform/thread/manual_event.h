#pragma once
// A manual-reset event: once set it stays set until reset, and every waiter sees it.
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace kavro {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// One blocked thread. Events and the virtual clock wake it; it then looks again at what it
// waits for, so a wake-up that races with the look is never lost.
class EventWaiter {
public:
    void wake();
    // Blocks until woken or until `timeoutMs` of real time pass; consumes the wake-up.
    void waitForWake(uint32_t timeoutMs);

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool woken_ = false;
};

class ManualEvent {
public:
    explicit ManualEvent(bool initiallySet = false) : set_(initiallySet) { }
    ManualEvent(const ManualEvent&) = delete;
    ManualEvent& operator=(const ManualEvent&) = delete;

    void set();
    void reset();
    bool isSet() const;

    // True when the event is set within `timeoutMs` (kInfinite waits without limit).
    bool wait(uint32_t timeoutMs = kInfinite) const;

    // The index in `events` of one that is set, or -1 when none is set within `timeoutMs`.
    // Null entries are never set.
    static int waitAny(std::initializer_list<const ManualEvent*> events, uint32_t timeoutMs = kInfinite);

    void addWaiter(EventWaiter* w) const;
    void removeWaiter(EventWaiter* w) const;

private:
    mutable std::mutex m_;
    bool set_;
    mutable std::vector<EventWaiter*> waiters_;
};

} // namespace kavro
