#pragma once
// The queue of a thread that runs a Qt event loop: posts arrive as Qt events on the thread that
// made the queue, timers are Qt timers.
#include "thread/control_queue.h"

namespace kavro {

class QtControlQueue final : public ControlQueue {
public:
    // The calling thread owns the queue and must run a Qt event loop.
    explicit QtControlQueue(QueueHandler handler);
    ~QtControlQueue() override;

    bool setTimer(uint32_t timerId, uint32_t periodMs) override;
    void killTimer(uint32_t timerId) override;

private:
    void teardown() override;

    class Receiver;
    Receiver* receiver_;
};

} // namespace kavro
