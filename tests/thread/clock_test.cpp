#include "thread/virtual_clock.h"

#include "com/oledate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace kavro;

TEST(VirtualClock, SleeperWakesWhenTheVirtualTimeReachesItsDeadline)
{
    VirtualClock clock;
    std::atomic<bool> woke{false};
    bool stopped = true;
    std::thread t([&] {
        stopped = clock.sleep(100, nullptr);
        woke = true;
    });
    ASSERT_TRUE(clock.waitForSleepers(1));
    clock.advance(99);
    ASSERT_TRUE(clock.waitForSleepers(1)); // still asleep: its deadline is in the future
    EXPECT_FALSE(woke.load());
    clock.advance(1);
    t.join();
    EXPECT_TRUE(woke.load());
    EXPECT_FALSE(stopped);
    EXPECT_EQ(clock.sleepers(), 0);
}

TEST(VirtualClock, StopEventInterruptsASleep)
{
    VirtualClock clock;
    ManualEvent stop;
    bool stopped = false;
    std::thread t([&] { stopped = clock.sleep(1000, &stop); });
    ASSERT_TRUE(clock.waitForSleepers(1));
    stop.set();
    t.join();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(clock.sleep(5, &stop)); // already set: returns at once
    EXPECT_FALSE(clock.sleep(0, nullptr));
}

TEST(VirtualClock, TickWrapsLikeTheSystemTickCountAndDatesFollowTime)
{
    VirtualClock clock(0xFFFFFFF0ull, 45000.5);
    const uint32_t before = clock.tickMs();
    clock.advance(0x20);
    EXPECT_EQ(clock.tickMs(), 0x10u);
    EXPECT_EQ(static_cast<uint32_t>(clock.tickMs() - before), 0x20u);

    VirtualClock day(0, 45000.0);
    day.advance(86400000 / 2);
    EXPECT_DOUBLE_EQ(day.localNow(), 45000.5);
}

TEST(RealClock, LocalTimeIsNowAndSleepHonoursTheStopEvent)
{
    const DATE a = realClock().localNow();
    const DATE b = localNowAsDate();
    EXPECT_LT(std::fabs(b - a), 1.0 / 86400.0 * 5);
    ManualEvent stop(true);
    EXPECT_TRUE(realClock().sleep(60000, &stop));
}
