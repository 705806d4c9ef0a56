#include "thread/coalescing_ticker.h"
#include "thread/virtual_clock.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace kavro;

TEST(CoalescingTicker, KeepsAtMostOneTickPendingAndPostsNothingAfterStop)
{
    VirtualClock clock;
    std::atomic<int> posted{0};
    CoalescingTicker ticker(clock, [&] {
        ++posted;
        return true;
    });
    ASSERT_TRUE(ticker.start(10));
    EXPECT_FALSE(ticker.start(10));

    ASSERT_TRUE(clock.waitForSleepers(1));
    clock.advance(9);
    ASSERT_TRUE(clock.waitForSleepers(1));
    EXPECT_EQ(posted.load(), 0);
    clock.advance(1);
    ASSERT_TRUE(clock.waitForSleepers(1)); // back asleep after the period
    EXPECT_EQ(posted.load(), 1);
    EXPECT_TRUE(ticker.isTickPending());

    // A consumer that does not take its tick gets no second one.
    for (int i = 0; i < 5; ++i) {
        clock.advance(10);
        ASSERT_TRUE(clock.waitForSleepers(1));
    }
    EXPECT_EQ(posted.load(), 1);

    ticker.acknowledge();
    clock.advance(10);
    ASSERT_TRUE(clock.waitForSleepers(1));
    EXPECT_EQ(posted.load(), 2);

    ticker.acknowledge();
    ticker.stop();
    EXPECT_FALSE(ticker.isRunning());
    clock.advance(1000);
    EXPECT_EQ(posted.load(), 2);
    EXPECT_EQ(clock.sleepers(), 0);
}

TEST(CoalescingTicker, FailedPostLeavesNoTickPendingAndRestartClearsIt)
{
    VirtualClock clock;
    std::atomic<bool> accept{false};
    std::atomic<int> attempts{0};
    CoalescingTicker ticker(clock, [&] {
        ++attempts;
        return accept.load();
    });
    ASSERT_TRUE(ticker.start(0)); // a zero period still sleeps between ticks
    ASSERT_TRUE(clock.waitForSleepers(1));
    clock.advance(1);
    ASSERT_TRUE(clock.waitForSleepers(1));
    EXPECT_EQ(attempts.load(), 1);
    EXPECT_FALSE(ticker.isTickPending()); // the consumer is gone: try again next period

    accept = true;
    clock.advance(1);
    ASSERT_TRUE(clock.waitForSleepers(1));
    EXPECT_TRUE(ticker.isTickPending());
    ticker.stop();
    ASSERT_TRUE(ticker.start(5));
    EXPECT_FALSE(ticker.isTickPending());
}
