// Every timed procedure run to its end (or through several series when it repeats until stopped)
// on a virtual clock: commands, light changes, series boundaries, missed shots and Continue.
#include "range_fixture.h"

#include <gtest/gtest.h>

namespace kavro::trainer::test {
namespace {

using Strings = std::vector<std::string>;

Strings repeat(const Strings& part, int n)
{
    Strings r;
    for (int i = 0; i < n; ++i)
        r.insert(r.end(), part.begin(), part.end());
    return r;
}

// Differences between consecutive times.
std::vector<uint64_t> gaps(const std::vector<uint64_t>& t)
{
    std::vector<uint64_t> r;
    for (size_t i = 1; i < t.size(); ++i)
        r.push_back(t[i] - t[i - 1]);
    return r;
}

TEST(RangeProcedureSp1, SightingWindowClosesAtTheFifthShotAndTheMatchEndsAfterThirtyShots)
{
    Range r;
    // Window 0 is the sighting; the second match series gets only three shots.
    r.shooter.shotsInWindow = [](int w) { return w == 2 ? 3 : 5; };
    ASSERT_TRUE(r.seq.start(4));
    ASSERT_TRUE(r.runToEnd(3'600'000));

    EXPECT_EQ(r.host.calibrations, 1);
    EXPECT_EQ(r.host.stops, 1);
    EXPECT_EQ(r.host.sightingShots, 5);
    EXPECT_EQ(r.host.missedSighting, 0);
    EXPECT_EQ(r.host.matchShots, 30);
    EXPECT_EQ(r.host.missedMatch, 2);
    EXPECT_EQ(r.host.sounds(), repeat({"Load", "Attention", "Unload"}, 7));

    const auto greens = r.host.times("green");
    ASSERT_EQ(greens.size(), 7u);
    // Load on the first tick, Attention and red 5 s later, green 7 s after that.
    EXPECT_EQ(r.host.times("sound Load")[0], 10u);
    EXPECT_EQ(r.host.times("red")[0], 5010u);
    EXPECT_EQ(greens[0], 12010u);
    const auto unloads = r.host.times("sound Unload");
    EXPECT_EQ(unloads[0], greens[0] + 5000); // the fifth shot, not five minutes
    EXPECT_EQ(unloads[2], greens[2] + 300'000); // three shots: the window runs out
    EXPECT_EQ(r.host.times("missed match"), (std::vector<uint64_t>{unloads[2], unloads[2]}));

    // Continue is asked in the very tick in which each of the first six windows closes.
    EXPECT_EQ(r.host.times("continue?"), std::vector<uint64_t>(unloads.begin(), unloads.begin() + 6));
    EXPECT_EQ(r.host.times("match").size(), 6u);
    EXPECT_EQ(r.host.light, SemaphoreOff);
    EXPECT_EQ(r.seq.rangeState(), 0);
    EXPECT_FALSE(r.seq.isTickerRunning());
    // Every opening and closing of a window concludes the aiming in progress.
    EXPECT_EQ(r.host.concludes, 1 + 2 * 7);
}

TEST(RangeProcedureSp1, StatusPaneCountsDownSecondsAndShots)
{
    Range r;
    r.shooter.shotsInWindow = [](int) { return 2; };
    r.shooter.continueDelayMs = -1;
    ASSERT_TRUE(r.seq.start(4));
    r.tick();
    EXPECT_EQ(r.host.status, "5 seconds left");
    r.runUntil([&] { return r.now() == 1020; }, 10'000);
    EXPECT_EQ(r.host.status, "3 seconds left"); // 3.99 s left: whole seconds, truncated
    r.runUntil([&] { return r.host.light == SemaphoreGreen; }, 20'000);
    EXPECT_EQ(r.host.status, "300 seconds or 5 shot(s) left");
    r.runUntil([&] { return r.host.sightingShots == 2; }, 20'000);
    EXPECT_EQ(r.host.status, "298 seconds or 3 shot(s) left");
    r.runUntil([&] { return r.host.continueOffered; }, 400'000);
    EXPECT_EQ(r.host.status, "Click Continue button...");
    EXPECT_EQ(r.host.missedSighting, 0); // the sighting window never fills missed shots
    EXPECT_TRUE(r.seq.giveContinue());
    r.tick();
    EXPECT_EQ(r.host.status, "5 seconds left");
}

TEST(RangeProcedureSp2, FiveSightingWindowsThenThirtySingleShotsInSixSeries)
{
    Range r;
    // Sighting: two shots in the first window, one in the fourth. Match: every other window.
    r.shooter.shotsInWindow = [](int w) {
        if (w < 5)
            return w == 0 ? 2 : w == 3 ? 1 : 0;
        return (w - 5) % 2 == 0 ? 1 : 0;
    };
    ASSERT_TRUE(r.seq.start(5));
    ASSERT_TRUE(r.runToEnd(3'600'000));

    EXPECT_EQ(r.host.stops, 1);
    // More shots than needed add nothing; a short window adds exactly what it lacks.
    EXPECT_EQ(r.host.missedSighting, 2);
    EXPECT_EQ(r.host.sightingShots, 5);
    EXPECT_EQ(r.host.missedMatch, 15);
    EXPECT_EQ(r.host.matchShots, 30);
    EXPECT_EQ(r.seq.seriesTarget(), 30);
    EXPECT_EQ(r.host.sounds(), repeat({"Load", "Attention", "Unload"}, 7));

    const auto greens = r.host.times("green");
    ASSERT_EQ(greens.size(), 35u);
    // Each sighting window follows red light and 7 s, and lasts 3.2 s.
    EXPECT_EQ(greens[0], 12010u);
    EXPECT_EQ(gaps({greens.begin(), greens.begin() + 5}), std::vector<uint64_t>(4, 10'200));
    const auto reds = r.host.times("red");
    EXPECT_EQ(reds[1], greens[0] + 3200);
    EXPECT_EQ(r.host.times("sound Unload")[0], greens[4] + 3200);
    // Six series with a Continue wait before each; five windows per series.
    const auto asks = r.host.times("continue?");
    ASSERT_EQ(asks.size(), 6u);
    for (int series = 0; series < 6; ++series) {
        const auto first = greens[5 + 5 * series];
        EXPECT_GT(first, asks[series]);
        EXPECT_EQ(first - (asks[series] + 1000), 12'000u) << "series " << series; // Continue, 5 s, 7 s
        EXPECT_EQ(gaps({greens.begin() + 5 + 5 * series, greens.begin() + 10 + 5 * series}),
                  std::vector<uint64_t>(4, 10'200));
    }
    EXPECT_EQ(r.host.light, SemaphoreOff);
    EXPECT_FALSE(r.seq.isTickerRunning());
}

TEST(RangeProcedureSpf, AnnouncesEachSeriesAndStopsAfterTenShots)
{
    Range r;
    r.shooter.shotsInWindow = [](int) { return 1; };
    ASSERT_TRUE(r.seq.start(6));
    ASSERT_TRUE(r.runToEnd(600'000));
    EXPECT_EQ(r.host.stops, 1);
    EXPECT_EQ(r.host.matchShots, 10);
    EXPECT_EQ(r.host.missedMatch, 0);
    EXPECT_EQ(r.host.sounds(),
              (Strings{"For the sighting series - load", "Attention", "Unload", "For the first competion series - load",
                       "Attention", "Unload", "For the next competition series - load", "Attention", "Unload"}));
    EXPECT_EQ(r.host.times("continue?").size(), 2u);
}

TEST(RangeProcedureN4tl3, GroupsOfFourSingleShotsWithoutSoundsRepeatUntilStopped)
{
    Range r;
    r.shooter.shotsInWindow = [](int w) { return w % 3 == 0 ? 1 : 0; };
    ASSERT_TRUE(r.seq.start(7));
    // The sighting group and three match groups.
    ASSERT_TRUE(r.runUntil([&] { return r.host.times("continue?").size() == 4; }, 600'000));
    EXPECT_TRUE(r.seq.isRunning());
    EXPECT_TRUE(r.host.sounds().empty());
    EXPECT_EQ(r.host.sightingShots, 4);
    EXPECT_EQ(r.host.matchShots, 12);
    EXPECT_EQ(r.seq.seriesTarget(), 13);

    const auto greens = r.host.times("green");
    ASSERT_EQ(greens.size(), 16u);
    EXPECT_EQ(greens[0], 12010u);
    EXPECT_EQ(gaps({greens.begin(), greens.begin() + 4}), std::vector<uint64_t>(3, 10'000));
    const auto asks = r.host.times("continue?");
    EXPECT_EQ(asks[0], greens[3] + 3000);
    // In the match: Continue, 3 s to red, 3 s to green, windows of 3 s every 6 s.
    EXPECT_EQ(greens[4], asks[0] + 1000 + 6000);
    EXPECT_EQ(gaps({greens.begin() + 4, greens.begin() + 8}), std::vector<uint64_t>(3, 6000));
    EXPECT_EQ(asks[1], greens[7] + 3000);
    EXPECT_EQ(r.host.light, SemaphoreOff);

    EXPECT_TRUE(r.seq.stop());
    EXPECT_FALSE(r.seq.isTickerRunning());
}

TEST(RangeProcedureN4tl15, WindowsOfFifteenSecondsForFourShots)
{
    Range r;
    // Sighting full; first match group two shots (the window runs out), then full groups.
    r.shooter.shotsInWindow = [](int w) { return w == 1 ? 2 : 4; };
    ASSERT_TRUE(r.seq.start(8));
    ASSERT_TRUE(r.runUntil([&] { return r.host.times("continue?").size() == 4; }, 600'000));
    EXPECT_EQ(r.host.sounds(), Strings{"Attention"});
    EXPECT_EQ(r.host.sightingShots, 4);
    EXPECT_EQ(r.host.missedMatch, 2);
    EXPECT_EQ(r.host.matchShots, 12);
    EXPECT_EQ(r.seq.seriesTarget(), 16);

    const auto greens = r.host.times("green");
    const auto offs = r.host.times("off");
    ASSERT_EQ(greens.size(), 4u);
    // offs[0] is the start of the practice.
    EXPECT_EQ(offs[1], greens[0] + 4000);
    EXPECT_EQ(offs[2], greens[1] + 15'000);
    EXPECT_EQ(offs[3], greens[2] + 4000);
    const auto asks = r.host.times("continue?");
    EXPECT_EQ(greens[1], asks[0] + 1000 + 12'000);
    EXPECT_EQ(r.host.times("red").size(), 4u);
}

class MovingTarget : public ::testing::TestWithParam<std::pair<int, uint64_t>> { };

TEST_P(MovingTarget, SeriesOfFiveRunsWithTheKindsRunTime)
{
    const auto [kind, runMs] = GetParam();
    Range r;
    // Sighting full; the first match run without a shot; then full runs.
    r.shooter.shotsInWindow = [](int w) { return w == 1 ? 0 : 5; };
    ASSERT_TRUE(r.seq.start(kind));
    ASSERT_TRUE(r.runUntil([&] { return r.host.times("continue?").size() == 3; }, 600'000));

    EXPECT_EQ(r.host.sounds(), repeat({"Attention", "beep-start", "beep-stop", "Unload"}, 2));
    EXPECT_EQ(r.host.sightingShots, 5);
    EXPECT_EQ(r.host.missedMatch, 5);
    EXPECT_EQ(r.host.matchShots, 10);
    EXPECT_EQ(r.seq.seriesTarget(), 15);

    const auto starts = r.host.times("sound beep-start");
    const auto stops = r.host.times("sound beep-stop");
    const auto unloads = r.host.times("sound Unload");
    EXPECT_EQ(stops[0], starts[0] + runMs);
    EXPECT_EQ(stops[1], starts[1] + 5000); // the fifth shot closes the run early
    EXPECT_EQ(unloads[0], stops[0] + 7000);
    EXPECT_EQ(r.host.times("continue?")[1], unloads[0]);
    // The light stays red between the runs.
    EXPECT_EQ(r.host.light, SemaphoreRed);
    const auto greens = r.host.times("green");
    ASSERT_EQ(greens.size(), 3u);
    EXPECT_EQ(starts, std::vector<uint64_t>(greens.begin() + 1, greens.end()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, MovingTarget,
                         ::testing::Values(std::pair<int, uint64_t>{9, 10'000}, std::pair<int, uint64_t>{10, 8000},
                                           std::pair<int, uint64_t>{11, 6000}));

TEST(RangeProcedure, MissedShotsTheDocumentRefusesDoNotStopTheProcedure)
{
    Range r;
    r.host.refuseMissedShots = true;
    r.shooter.shotsInWindow = [](int w) { return w == 0 ? 5 : 0; };
    ASSERT_TRUE(r.seq.start(9));
    ASSERT_TRUE(r.runUntil([&] { return r.host.times("continue?").size() == 3; }, 600'000));
    EXPECT_EQ(r.host.matchShots, 0);
    EXPECT_EQ(r.seq.seriesTarget(), 15);
}

} // namespace
} // namespace kavro::trainer::test
