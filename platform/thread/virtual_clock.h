#pragma once
// A clock for tests: time stands still until `advance`, and sleepers wake when the virtual time
// reaches their deadline (or their stop event is set).
#include "thread/clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kavro {

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startMs = 0, DATE startDate = 45000.0);

    uint32_t tickMs() const override;
    DATE localNow() const override;
    bool sleep(uint32_t ms, const ManualEvent* stop) override;

    uint64_t nowMs() const;
    void advance(uint64_t ms);

    // Threads asleep whose deadline lies in the future (woken ones no longer count).
    int sleepers() const;
    // Waits in real time until at least `count` threads sleep towards a future deadline; false
    // when that does not happen within `realLimit` (a test's safety net, not a timing).
    bool waitForSleepers(int count = 1, std::chrono::milliseconds realLimit = std::chrono::seconds(10)) const;

private:
    struct Sleeper {
        uint64_t deadline;
        EventWaiter* waiter;
    };
    int sleepersLocked() const;

    mutable std::mutex m_;
    mutable std::condition_variable changed_;
    uint64_t now_;
    DATE startDate_;
    std::vector<Sleeper> sleepers_;
};

} // namespace kavro
