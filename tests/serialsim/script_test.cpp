#include "serialsim/script.h"
#include "serialsim/script_player.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kavro::serialsim {
namespace {

using Kind = PlayerAction::Kind;

ScriptPlayer playerFor(std::string_view text)
{
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_TRUE(parseScript(text, &steps, &error)) << error;
    return ScriptPlayer(std::move(steps));
}

TEST(Script, ParsesEveryStepWithCommentsAndBlankLines)
{
    std::vector<ScriptStep> steps;
    std::string error;
    ASSERT_TRUE(parseScript("# an aiming\n\nwait 500\nnosignal 300\n  aim -12.5 40 200 1000  # path\n"
                            "shot 400\nlose 200\ntrigger 512\npulse 72\nsilence 1500\nunplug 500\nend",
                            &steps, &error))
        << error;
    ASSERT_EQ(steps.size(), 10u);
    EXPECT_EQ(steps[2].kind, ScriptStep::Kind::Aim);
    EXPECT_EQ(steps[2].x, -12.5);
    EXPECT_EQ(steps[2].y, 40);
    EXPECT_EQ(steps[2].value, 200);
    EXPECT_EQ(steps[2].ms, 1000);
    EXPECT_EQ(steps[2].line, 5);
    EXPECT_EQ(steps[3].value, 400);
    EXPECT_EQ(steps[9].kind, ScriptStep::Kind::End);
}

TEST(Script, ErrorsNameTheLineAndTheProblem)
{
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(parseScript("wait 10\njump 3", &steps, &error));
    EXPECT_EQ(error, "line 2: unknown step \"jump\"");
    EXPECT_TRUE(steps.empty());
    EXPECT_FALSE(parseScript("aim 1 2 3", &steps, &error));
    EXPECT_EQ(error, "line 1: \"aim\" takes 4 argument(s), 3 given");
    EXPECT_FALSE(parseScript("\nwait -5", &steps, &error));
    EXPECT_NE(error.find("line 2: a duration"), std::string::npos);
    EXPECT_FALSE(parseScript("shot 12x", &steps, &error));
    EXPECT_EQ(error, "line 1: \"12x\" is not a number");
    EXPECT_FALSE(parseScript("shot 2000", &steps, &error));
}

TEST(ScriptPlayer, AimsAlongAStraightLineAndShootsWhereTheAimIs)
{
    ScriptPlayer player = playerFor("aim 100 -50 200 100\nshot 400\nwait 20\nlose 20\nnosignal 10");
    std::vector<SensorState> samples;
    for (int i = 0; i < 10; ++i) {
        const PlayerAction a = player.next(100);
        ASSERT_EQ(a.kind, Kind::Sample);
        samples.push_back(a.sample);
    }
    EXPECT_DOUBLE_EQ(samples[0].x, 10);
    EXPECT_DOUBLE_EQ(samples[0].y, -5);
    EXPECT_DOUBLE_EQ(samples[9].x, 100);
    EXPECT_DOUBLE_EQ(samples[9].y, -50);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](auto& s) { return s.signal == 200 && s.piezo == 0; }));

    const SensorState shot = player.next(100).sample;
    EXPECT_EQ(shot.piezo, 400);
    EXPECT_EQ(shot.signal, 200);
    EXPECT_DOUBLE_EQ(shot.x, 100);
    for (int i = 0; i < 2; ++i) {
        const SensorState held = player.next(100).sample;
        EXPECT_EQ(held.piezo, 0);
        EXPECT_EQ(held.signal, 200);
        EXPECT_DOUBLE_EQ(held.y, -50);
    }
    for (int i = 0; i < 2; ++i) {
        const SensorState lost = player.next(100).sample;
        EXPECT_EQ(lost.signal, 0);
        EXPECT_DOUBLE_EQ(lost.x, 100);
    }
    const SensorState idle = player.next(100).sample;
    EXPECT_EQ(idle.signal, 0);
    EXPECT_DOUBLE_EQ(idle.x, 0);
}

TEST(ScriptPlayer, DurationsCountSamplesAtTheCurrentRate)
{
    ScriptPlayer player = playerFor("aim 10 10 100 20\nsilence 300\nunplug 150\nend");
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(player.next(500).kind, Kind::Sample) << i;
    PlayerAction a = player.next(500);
    EXPECT_EQ(a.kind, Kind::Silence);
    EXPECT_EQ(a.ms, 300);
    a = player.next(500);
    EXPECT_EQ(a.kind, Kind::Unplug);
    EXPECT_EQ(a.ms, 150);
    EXPECT_EQ(player.next(500).kind, Kind::End);
    EXPECT_EQ(player.next(500).kind, Kind::End);
}

TEST(ScriptPlayer, AfterTheLastStepTheSignalIsGone)
{
    ScriptPlayer player = playerFor("aim 5 5 300 0\ntrigger 700");
    const PlayerAction a = player.next(100);
    ASSERT_EQ(a.kind, Kind::Sample);
    EXPECT_EQ(a.sample.signal, 0);
    EXPECT_DOUBLE_EQ(a.sample.x, 5);
    EXPECT_EQ(a.sample.trigger, 700);
}

TEST(ScriptPlayer, PulseSwingsAtTheBeatRate)
{
    ScriptPlayer player = playerFor("pulse 60");
    int low = 1023, high = 0, rises = 0, previous = -1;
    for (int i = 0; i < 300; ++i) { // three seconds at 100/s
        const int p = player.next(100).sample.pulse;
        low = std::min(low, p);
        high = std::max(high, p);
        if (previous >= 0 && previous < 512 && p >= 512)
            ++rises;
        previous = p;
    }
    EXPECT_LT(low, 250);
    EXPECT_GT(high, 780);
    EXPECT_EQ(rises, 3);
}

TEST(ScriptPlayer, ALoopingScriptStartsAgainAfterItsLastStep)
{
    ScriptPlayer player = playerFor("aim 10 20 200 0\nwait 20\nshot 400\nnosignal 20\n");
    player.setLoop(true);
    // At 100 samples a second: 2 frames of wait, the shot, 2 frames without signal, again.
    std::vector<int> piezo, signal;
    for (int i = 0; i < 10; ++i) {
        const PlayerAction a = player.next(100);
        ASSERT_EQ(a.kind, Kind::Sample);
        piezo.push_back(a.sample.piezo);
        signal.push_back(a.sample.signal);
    }
    EXPECT_EQ(piezo, std::vector<int>({0, 0, 400, 0, 0, 0, 0, 400, 0, 0}));
    EXPECT_EQ(signal, std::vector<int>({200, 200, 200, 0, 0, 200, 200, 200, 0, 0}));

    // Without the option the sensor falls silent after the last step.
    ScriptPlayer once = playerFor("shot 400\n");
    once.next(100);
    EXPECT_EQ(once.next(100).sample.piezo, 0);
    // A script that takes no time does not loop (it would never yield a frame).
    ScriptPlayer idle = playerFor("trigger 5\npulse 60\n");
    idle.setLoop(true);
    EXPECT_EQ(idle.next(100).kind, Kind::Sample);
}

} // namespace
} // namespace kavro::serialsim
