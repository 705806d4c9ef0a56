#include "device/control/device_environment.h"

#include "thread/qt_control_queue.h"

#include <mutex>

namespace kavro {
namespace {
std::mutex lock;
Clock* testClock = nullptr;
QueueFactory testFactory;
} // namespace

DeviceEnvironment deviceEnvironment()
{
    std::lock_guard g(lock);
    DeviceEnvironment env;
    env.clock = testClock ? testClock : &realClock();
    env.makeQueue = testFactory ? testFactory : QueueFactory([](QueueHandler handler) -> std::unique_ptr<ControlQueue> {
        return std::make_unique<QtControlQueue>(std::move(handler));
    });
    return env;
}

void setDeviceEnvironmentForTesting(Clock* clock, QueueFactory makeQueue)
{
    std::lock_guard g(lock);
    testClock = clock;
    testFactory = std::move(makeQueue);
}

} // namespace kavro
