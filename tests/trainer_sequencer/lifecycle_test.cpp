// Starting, stopping, the Continue handshake, the clock and the ticker of the range procedure.
#include "range_fixture.h"

#include "support/fake_device.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace kavro::trainer::test {
namespace {

// The states a procedure rests in between ticks while a steady shooter goes through it.
std::set<int> statesSeen(int kind)
{
    Range r;
    r.shooter.shotsInWindow = [](int) { return 2; };
    r.seq.start(kind);
    std::set<int> seen;
    r.runUntil(
        [&] {
            seen.insert(r.seq.rangeState());
            return !r.seq.isRunning() || r.host.times("continue?").size() == 3;
        },
        3'600'000);
    seen.erase(0);
    return seen;
}

void expectQuiet(Range& r, const std::string& where)
{
    SCOPED_TRACE(where);
    EXPECT_EQ(r.host.light, SemaphoreOff);
    EXPECT_FALSE(r.seq.isTickerRunning());
    EXPECT_FALSE(r.host.continueOffered);
    EXPECT_TRUE(r.host.status.isEmpty());
    EXPECT_FALSE(r.seq.giveContinue());
    const auto logged = r.host.log.size();
    for (int i = 0; i < 2000; ++i)
        r.tick();
    EXPECT_EQ(r.host.log.size(), logged) << "the procedure went on after the stop";
}

class StopInEveryState : public ::testing::TestWithParam<int> { };

TEST_P(StopInEveryState, LeavesTheLightOffAndNothingTicking)
{
    const int kind = GetParam();
    const auto states = statesSeen(kind);
    EXPECT_GE(states.size(), 5u);
    for (int state : states) {
        Range r;
        r.shooter.shotsInWindow = [](int) { return 2; };
        ASSERT_TRUE(r.seq.start(kind));
        ASSERT_TRUE(r.runUntil([&] { return r.seq.rangeState() == state; }, 3'600'000)) << state;
        // Stop at the first tick of the state and once more well into it.
        Range* range = &r;
        for (int i = 0; i < 250 && r.seq.rangeState() == state; ++i)
            r.tick();
        EXPECT_TRUE(range->seq.stop());
        EXPECT_FALSE(range->seq.stop());
        expectQuiet(r, "kind " + std::to_string(kind) + " state " + std::to_string(state));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, StopInEveryState, ::testing::Range(4, 12));

TEST(RangeLifecycle, OnlyTimedKindsStartAndOnlyOnce)
{
    Range r;
    for (int kind : {0, 1, 2, 3, 12, -1})
        EXPECT_FALSE(r.seq.start(kind)) << kind;
    EXPECT_FALSE(r.seq.isTickerRunning());
    ASSERT_TRUE(r.seq.start(8));
    EXPECT_TRUE(r.seq.isTickerRunning());
    EXPECT_FALSE(r.seq.start(8));
    EXPECT_TRUE(r.seq.stop());
    EXPECT_FALSE(r.seq.isTickerRunning());
    EXPECT_TRUE(r.seq.start(8)); // a new practice
    EXPECT_EQ(r.seq.rangeState(), 1);

    EXPECT_FALSE(wantsRangeProcedure(1, 300));
    EXPECT_FALSE(wantsRangeProcedure(2, 300));
    EXPECT_TRUE(wantsRangeProcedure(4, 300));
    EXPECT_TRUE(wantsRangeProcedure(11, ModelVersion::ImageSensor - 1));
    EXPECT_FALSE(wantsRangeProcedure(11, ModelVersion::ImageSensor));
    EXPECT_TRUE(wantsRangeProcedure(5, ModelVersion::ImageSensor + 1));
}

TEST(RangeLifecycle, ResetGivesTheStateOfANewPractice)
{
    Range r;
    r.shooter.shotsInWindow = [](int) { return 4; };
    ASSERT_TRUE(r.seq.start(8));
    r.runUntil([&] { return r.host.continueOffered; }, 100'000);
    EXPECT_FALSE(r.seq.acceptShots());
    EXPECT_NE(r.seq.seriesStartTime(), 0.0);
    r.seq.reset();
    EXPECT_EQ(r.seq.rangeState(), 1);
    EXPECT_EQ(r.seq.seriesTarget(), 0);
    EXPECT_TRUE(r.seq.acceptShots());
    EXPECT_EQ(r.seq.seriesStartTime(), 0.0);
    EXPECT_FALSE(r.seq.continueAsked());
    EXPECT_FALSE(r.host.continueOffered);
}

TEST(RangeLifecycle, ContinueCountsOnlyWhileTheProcedureWaitsForIt)
{
    Range r;
    r.shooter.shotsInWindow = [](int) { return 4; };
    r.shooter.continueDelayMs = -1;
    ASSERT_TRUE(r.seq.start(8));
    r.tick();
    ASSERT_EQ(r.seq.rangeState(), 2);
    // Clicked too early: ignored, and not remembered for the wait to come.
    EXPECT_FALSE(r.seq.giveContinue());
    ASSERT_TRUE(r.runUntil([&] { return r.host.continueOffered; }, 100'000));
    EXPECT_TRUE(r.seq.continueAsked());
    for (int i = 0; i < 100; ++i)
        r.tick();
    EXPECT_EQ(r.seq.rangeState(), 6);
    EXPECT_EQ(r.host.times("match").size(), 0u);
    EXPECT_TRUE(r.seq.giveContinue());
    EXPECT_FALSE(r.host.continueOffered);
    EXPECT_FALSE(r.seq.giveContinue()); // a second click before the next tick changes nothing
    r.tick();
    EXPECT_EQ(r.host.times("match").size(), 1u);
    EXPECT_EQ(r.seq.rangeState(), 7);
}

TEST(RangeLifecycle, ShotsOutsideTheWindowsAreNotTaken)
{
    Range r;
    ASSERT_TRUE(r.seq.start(4));
    EXPECT_TRUE(r.seq.acceptShots()); // a new practice accepts shots until the procedure begins
    r.tick();
    EXPECT_FALSE(r.host.fire());
    r.runUntil([&] { return r.host.light == SemaphoreRed; }, 10'000);
    EXPECT_FALSE(r.host.fire());
    r.runUntil([&] { return r.host.light == SemaphoreGreen; }, 10'000);
    EXPECT_TRUE(r.host.fire());
    EXPECT_EQ(r.seq.seriesStartTime(), r.clock.localNow());
}

// A state clock that starts at tick 0 is a start like any other, and the tick count may wrap.
class ClockStart : public ::testing::TestWithParam<uint64_t> { };

TEST_P(ClockStart, WaitsLastExactlyTheirTime)
{
    Range r(GetParam());
    ASSERT_TRUE(r.seq.start(4));
    r.seq.step(); // the first step at the clock's very start
    ASSERT_EQ(r.seq.rangeState(), 2);
    ASSERT_TRUE(r.runUntil([&] { return r.host.light == SemaphoreGreen; }, 20'000));
    EXPECT_EQ(r.host.times("sound Attention"), std::vector<uint64_t>{5000});
    EXPECT_EQ(r.host.times("green"), std::vector<uint64_t>{12'000});
}

INSTANTIATE_TEST_SUITE_P(Ticks, ClockStart, ::testing::Values(0, 1000, 0xFFFFFFFFull - 2000, 0x100000000ull));

TEST(RangeLifecycle, StoppedDuringCalibrationNeverTicksAgain)
{
    Range r;
    r.host.duringCalibration = [&] { r.host.stopPractice(); };
    ASSERT_TRUE(r.seq.start(5));
    r.tick();
    EXPECT_EQ(r.host.calibrations, 1);
    EXPECT_TRUE(r.host.sounds().empty()); // no "Load" after the practice ended
    expectQuiet(r, "calibration");
}

TEST(RangeLifecycle, NoStepReachesTheProcedureWhileCalibrating)
{
    Range r;
    int stepsDuring = 0;
    r.host.duringCalibration = [&] {
        const auto state = r.seq.rangeState();
        for (int i = 0; i < 600; ++i) {
            r.clock.advance(10);
            r.seq.onTickMessage(); // the dialog's own loop handles the tick messages
            stepsDuring += r.seq.rangeState() != state;
        }
    };
    ASSERT_TRUE(r.seq.start(4));
    r.tick();
    EXPECT_EQ(stepsDuring, 0);
    EXPECT_EQ(r.seq.rangeState(), 2);
    // The wait for Attention starts after the dialog closed.
    ASSERT_TRUE(r.runUntil([&] { return !r.host.times("sound Attention").empty(); }, 10'000));
    EXPECT_EQ(r.host.times("sound Attention")[0], r.host.times("sound Load")[0] + 5000);
}

TEST(RangeTicker, KeepsAtMostOneTickPendingAndStopsCleanly)
{
    VirtualClock clock(500);
    RecordingHost host(clock, 500);
    RangeSequencer seq(host, clock);
    host.seq = &seq;
    ASSERT_TRUE(seq.start(9));
    ASSERT_TRUE(clock.waitForSleepers(1));
    auto waitPosts = [&](int n) {
        for (int i = 0; i < 10'000 && host.posts.load() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return host.posts.load();
    };
    clock.advance(10);
    EXPECT_EQ(waitPosts(1), 1);
    // Unhandled, the tick stays the only one queued however long the frame is busy.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(clock.waitForSleepers(1));
        clock.advance(10);
    }
    ASSERT_TRUE(clock.waitForSleepers(1));
    EXPECT_EQ(host.posts.load(), 1);
    seq.onTickMessage();
    EXPECT_EQ(seq.rangeState(), 2);
    clock.advance(10);
    EXPECT_EQ(waitPosts(2), 2);
    EXPECT_TRUE(seq.stop());
    EXPECT_FALSE(seq.isTickerRunning());
    EXPECT_EQ(clock.sleepers(), 0);
    clock.advance(1000);
    EXPECT_EQ(host.posts.load(), 2);
}

TEST(RangeLight, OnlyADeviceWithALightIsTold)
{
    auto device = FakeDevice::create();
    applyRangeLight(device.get(), SemaphoreGreen);
    EXPECT_EQ(device->semaphorePuts, 0);
    device->semaphoreAvailable = true;
    applyRangeLight(device.get(), SemaphoreGreen);
    EXPECT_EQ(device->semaphore, SemaphoreGreen);
    applyRangeLight(device.get(), SemaphoreOff);
    EXPECT_EQ(device->semaphore, SemaphoreOff);
    EXPECT_EQ(device->semaphorePuts, 2);
    applyRangeLight(nullptr, SemaphoreRed); // no device: nothing, and no crash
}

} // namespace
} // namespace kavro::trainer::test
