#pragma once
// The clock and the kind of hidden window that the device controls of this process use: the
// machine's clock and a Qt event-loop queue, unless a test puts a virtual clock and a hand-pumped
// queue in their place before it creates a control.
#include "thread/clock.h"
#include "thread/control_queue.h"

#include <functional>
#include <memory>

namespace kavro {

using QueueFactory = std::function<std::unique_ptr<ControlQueue>(QueueHandler)>;

struct DeviceEnvironment {
    Clock* clock = nullptr;
    QueueFactory makeQueue;
};

// What a control made now will use (taken once, when it is made).
DeviceEnvironment deviceEnvironment();

// Replaces the clock and queue factory for controls made from now on; an empty factory or a
// null clock restores the real one.
void setDeviceEnvironmentForTesting(Clock* clock, QueueFactory makeQueue);

} // namespace kavro
