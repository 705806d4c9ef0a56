#pragma once
// A queue that its owner pumps by hand, with timers in a clock's time: deterministic tests of
// code that talks through a ControlQueue.
#include "thread/clock.h"
#include "thread/control_queue.h"

#include <chrono>
#include <map>
#include <mutex>

namespace kavro {

class PumpedControlQueue final : public ControlQueue {
public:
    // The calling thread owns the queue; timers count `clock`'s ticks.
    PumpedControlQueue(QueueHandler handler, Clock& clock);
    ~PumpedControlQueue() override;

    // Timers may be set from any thread here. A timer that has fallen behind by several periods
    // fires once and counts its next period from the pump.
    bool setTimer(uint32_t timerId, uint32_t periodMs) override;
    void killTimer(uint32_t timerId) override;

    // Owning thread: handles everything due (posted messages and timers whose time has come,
    // and what those post in turn); returns how many messages were handled.
    size_t pump();
    size_t queuedCount() const;
    // Waits in real time until a message is queued; false when none came within `realLimit`.
    bool waitForMessages(std::chrono::milliseconds realLimit = std::chrono::seconds(10)) const;

private:
    void teardown() override;
    // Ids of the timers due now, their next time counted from now.
    std::vector<uint32_t> takeDueTimers();

    struct Timer {
        uint32_t periodMs;
        uint32_t startTick;
    };
    Clock& clock_;
    mutable std::mutex m_;
    std::map<uint32_t, Timer> timers_;
};

} // namespace kavro
