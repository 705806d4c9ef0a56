#include "thread/clock.h"

#include "com/oledate.h"

#include <chrono>
#include <thread>

namespace kavro {
namespace {

class RealClock final : public Clock {
public:
    uint32_t tickMs() const override
    {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<uint32_t>(ms.count());
    }

    DATE localNow() const override { return localNowAsDate(); }

    bool sleep(uint32_t ms, const ManualEvent* stop) override
    {
        if (stop)
            return stop->wait(ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return false;
    }
};

} // namespace

Clock& realClock()
{
    static RealClock clock;
    return clock;
}

} // namespace kavro
