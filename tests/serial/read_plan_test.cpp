#include "serial/read_plan.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

constexpr uint32_t Max = SerialTimeouts::Max;

SerialTimeouts reads(uint32_t interval, uint32_t multiplier, uint32_t constant)
{
    SerialTimeouts t;
    t.ReadIntervalTimeout = interval;
    t.ReadTotalTimeoutMultiplier = multiplier;
    t.ReadTotalTimeoutConstant = constant;
    return t;
}

} // namespace

TEST(ReadPlan, AllZeroWaitsForEveryByte)
{
    const ReadPlan p = planRead(reads(0, 0, 0), 10);
    EXPECT_FALSE(p.returnAtOnce);
    EXPECT_FALSE(p.returnOnFirstBytes);
    EXPECT_FALSE(p.totalMs);
    EXPECT_FALSE(p.intervalMs);
}

TEST(ReadPlan, MaxIntervalWithoutTotalsReturnsAtOnce)
{
    EXPECT_TRUE(planRead(reads(Max, 0, 0), 10).returnAtOnce);
    // Nothing to wait for in the "first bytes" form either.
    EXPECT_TRUE(planRead(reads(Max, Max, 0), 10).returnAtOnce);
    // And an empty read never waits.
    EXPECT_TRUE(planRead(reads(0, 0, 0), 0).returnAtOnce);
}

TEST(ReadPlan, MaxIntervalAndMultiplierWaitForFirstBytesUpToConstant)
{
    const ReadPlan p = planRead(reads(Max, Max, 150), 64);
    EXPECT_FALSE(p.returnAtOnce);
    EXPECT_TRUE(p.returnOnFirstBytes);
    ASSERT_TRUE(p.totalMs);
    EXPECT_EQ(*p.totalMs, 150u); // the size does not scale it
    EXPECT_FALSE(p.intervalMs);

    const ReadPlan unbounded = planRead(reads(Max, Max, Max), 64);
    EXPECT_TRUE(unbounded.returnOnFirstBytes);
    EXPECT_FALSE(unbounded.totalMs);
}

TEST(ReadPlan, TotalIsMultiplierTimesSizePlusConstant)
{
    const ReadPlan p = planRead(reads(0, 10, 100), 7);
    ASSERT_TRUE(p.totalMs);
    EXPECT_EQ(*p.totalMs, 170u);
    EXPECT_FALSE(p.returnOnFirstBytes);
    // Large values do not wrap around 32 bits.
    const ReadPlan big = planRead(reads(0, 0xFFFFFFF0u, 5), 16);
    ASSERT_TRUE(big.totalMs);
    EXPECT_EQ(*big.totalMs, uint64_t(0xFFFFFFF0u) * 16 + 5);
}

TEST(ReadPlan, IntervalAloneAndWithTotals)
{
    // The identification poll: interval 250, totals 0/0.
    const ReadPlan p = planRead(reads(250, 0, 0), 282);
    ASSERT_TRUE(p.intervalMs);
    EXPECT_EQ(*p.intervalMs, 250u);
    EXPECT_FALSE(p.totalMs);

    const ReadPlan both = planRead(reads(20, 0, 300), 5);
    ASSERT_TRUE(both.intervalMs);
    EXPECT_EQ(*both.intervalMs, 20u);
    ASSERT_TRUE(both.totalMs);
    EXPECT_EQ(*both.totalMs, 300u);

    // Max outside the special forms means no limit for that field.
    const ReadPlan maxInterval = planRead(reads(Max, 0, 300), 5);
    EXPECT_FALSE(maxInterval.intervalMs);
    EXPECT_FALSE(maxInterval.returnAtOnce);
    ASSERT_TRUE(maxInterval.totalMs);
    EXPECT_EQ(*maxInterval.totalMs, 300u);
}

TEST(ReadPlan, WriteLimit)
{
    SerialTimeouts t;
    EXPECT_FALSE(planWrite(t, 10));
    // The model's open: 1000 ms per byte plus 1000 ms.
    t.WriteTotalTimeoutMultiplier = 1000;
    t.WriteTotalTimeoutConstant = 1000;
    ASSERT_TRUE(planWrite(t, 4));
    EXPECT_EQ(*planWrite(t, 4), 5000u);
    t.WriteTotalTimeoutMultiplier = 10;
    t.WriteTotalTimeoutConstant = 100;
    EXPECT_EQ(*planWrite(t, 0), 100u);
}
