// The trace view's decisions without a window.
#include "trace_model.h"

#include <gtest/gtest.h>

using namespace kavro::trace;

TEST(TraceModel, ZoomForAShotIsItsResultLessOneWithinTheAllowedLevels)
{
    EXPECT_FLOAT_EQ(zoomLevelForResult(9.7f, largestZoomLevel(true)), 8.0f);
    EXPECT_FLOAT_EQ(zoomLevelForResult(9.7f, largestZoomLevel(false)), 6.0f);
    EXPECT_FLOAT_EQ(zoomLevelForResult(5.5f, largestZoomLevel(false)), 4.5f);
    EXPECT_FLOAT_EQ(zoomLevelForResult(0.6f, 8.0f), 0.0f);
    EXPECT_FLOAT_EQ(zoomLevelForResult(0.0f, 8.0f), 0.0f);
    // The control's own zoom (wheel, drag) sets the limit, lowered to 9 or 7.
    EXPECT_FLOAT_EQ(cappedZoomAfterChange(9.0f, true), 9.0f);
    EXPECT_FLOAT_EQ(cappedZoomAfterChange(9.0f, false), 7.0f);
    EXPECT_FLOAT_EQ(cappedZoomAfterChange(3.5f, false), 3.5f);
}

TEST(TraceModel, ZoomAnimationMovesLinearlyOverHalfASecondAndStopsAtTheTarget)
{
    EXPECT_FLOAT_EQ(zoomAnimationLevel(0, 8, 0), 0);
    EXPECT_FLOAT_EQ(zoomAnimationLevel(0, 8, 250), 4);
    EXPECT_FLOAT_EQ(zoomAnimationLevel(0, 8, 500), 8);
    EXPECT_FLOAT_EQ(zoomAnimationLevel(0, 8, 900), 8);
    EXPECT_FLOAT_EQ(zoomAnimationLevel(6, 2, 125), 5);
    EXPECT_FLOAT_EQ(zoomAnimationLevel(6, 2, 2000), 2);
}

TEST(TraceModel, HeartBeatsForTheFirstThirdOfTheIntervalAfterEachBeat)
{
    const DATE previous = 45000.0;
    const DATE last = previous + 1.0 / 86400.0; // one beat a second
    const DATE s = 1.0 / 86400.0;
    EXPECT_EQ(heartImageAt(last - 0.01 * s, last, previous), 1);
    EXPECT_EQ(heartImageAt(last, last, previous), 0);
    EXPECT_EQ(heartImageAt(last + 0.3 * s, last, previous), 0);
    EXPECT_EQ(heartImageAt(last + 0.34 * s, last, previous), 1);
    // No beat yet: the heart rests.
    EXPECT_EQ(heartImageAt(45000.5, 0, 0), 1);
}

TEST(TraceModel, BiathlonToneZonesFollowThePlates)
{
    // Standing (sub-target 1): 80 mm gives 10, half of 115 mm gives 9.
    EXPECT_EQ(biathlonToneZone(60, 0, 1), 10);
    EXPECT_EQ(biathlonToneZone(250 + 36, 36, 1), 10);
    EXPECT_EQ(biathlonToneZone(-500, 57, 1), 10);
    EXPECT_EQ(biathlonToneZone(100, 0, 2), 0);
    EXPECT_EQ(biathlonToneZone(125, 0, 1), 0); // 125 from two centres: too far from both
    EXPECT_EQ(biathlonToneZone(0, 100, 1), 0);
    // Prone (sub-target 2): 20 mm and 22.5 mm.
    EXPECT_EQ(biathlonToneZone(20, 0, 2), 10);
    EXPECT_EQ(biathlonToneZone(22, 0, 2), 9);
    EXPECT_EQ(biathlonToneZone(23, 0, 2), 0);
    EXPECT_EQ(clampToneZone(7.9f), 7);
    EXPECT_EQ(clampToneZone(-3.0f), 0);
    EXPECT_EQ(clampToneZone(10.9f), 10);
    EXPECT_EQ(clampToneZone(12.0f), 10);
}

TEST(TraceModel, ReplayScrollStepsDependOnTheSampleRate)
{
    // At 50 per second a line is 5 samples, at 300 per second 10; a page is rate / 5.
    EXPECT_EQ(replayScrollTarget(ScrollCode::LineRight, 100, 0, 50, 0, 1000), 105);
    EXPECT_EQ(replayScrollTarget(ScrollCode::LineLeft, 100, 0, 50, 0, 1000), 95);
    EXPECT_EQ(replayScrollTarget(ScrollCode::LineRight, 100, 0, 300, 0, 1000), 110);
    EXPECT_EQ(replayScrollTarget(ScrollCode::PageRight, 100, 0, 300, 0, 1000), 160);
    EXPECT_EQ(replayScrollTarget(ScrollCode::PageLeft, 100, 0, 50, 0, 1000), 90);
    EXPECT_EQ(replayScrollTarget(ScrollCode::ThumbTrack, 100, 432, 50, 0, 1000), 432);
    EXPECT_EQ(replayScrollTarget(ScrollCode::Top, 100, 0, 50, -20, 1000), -20);
    EXPECT_EQ(replayScrollTarget(ScrollCode::Bottom, 100, 0, 50, -20, 1000), 1000);
    EXPECT_EQ(replayScrollTarget(ScrollCode::Other, 100, 0, 50, -20, 1000), 100);
    // Never beyond the trace.
    EXPECT_EQ(replayScrollTarget(ScrollCode::PageLeft, 3, 0, 500, 0, 1000), 0);
    EXPECT_EQ(replayScrollTarget(ScrollCode::LineRight, 998, 0, 50, 0, 1000), 1000);
    EXPECT_EQ(clampIndex(5000, -10, 20), 20);
    EXPECT_EQ(clampIndex(-50, -10, 20), -10);
}

TEST(TraceModel, StoredHeartbeatsDriveTheHeartDuringAReplay)
{
    // Times in steps of 2^-17 days (0.6591796875 s), which dates and seconds hold exactly.
    const DATE shot = 45000.5;
    const double u = 1.0 / 131072.0;
    const float a = -1.318359375f, b = -0.6591796875f;
    std::vector<Heartbeat> beats = {{shot - 2 * u, shot - u}};
    EXPECT_EQ(replayHeartImage(beats, shot, a), 0);
    EXPECT_EQ(replayHeartImage(beats, shot, -1.0f), 0);
    EXPECT_EQ(replayHeartImage(beats, shot, b), 0);
    EXPECT_EQ(replayHeartImage(beats, shot, -1.4f), 1);
    EXPECT_EQ(replayHeartImage(beats, shot, -0.6f), 1);
    // A beat known only by its end takes the last third of the interval since the one before:
    // it ends at -0.3296 s, 0.3296 s after the previous end, so it starts at -0.4395 s.
    beats.push_back({0, shot - u / 2});
    EXPECT_EQ(replayHeartImage(beats, shot, -0.6f), 1);
    EXPECT_EQ(replayHeartImage(beats, shot, -0.45f), 1);
    EXPECT_EQ(replayHeartImage(beats, shot, -0.43f), 0);
    EXPECT_EQ(replayHeartImage(beats, shot, -0.32958984375f), 0);
    EXPECT_EQ(replayHeartImage(beats, shot, -0.3f), 1);
    // Without beats the image is left alone.
    EXPECT_EQ(replayHeartImage({}, shot, 0), -1);
}

TEST(TraceModel, PulseAtAMomentIsTheFirstLaterSample)
{
    const std::vector<PulseSample> samples = {{10.0, 60}, {20.0, 70}, {30.0, 80}};
    EXPECT_EQ(pulseAt(samples, 5.0), 60);
    EXPECT_EQ(pulseAt(samples, 10.0), 70);
    EXPECT_EQ(pulseAt(samples, 25.0), 80);
    EXPECT_EQ(pulseAt(samples, 35.0), 80);
    EXPECT_EQ(pulseAt({}, 35.0), 0);
}

TEST(TraceModel, TriggerBarIsFullAtOneFifthAboveTheScale)
{
    EXPECT_EQ(triggerBarHeight(200, 120, 100), 200);
    EXPECT_EQ(triggerBarHeight(200, 500, 100), 200);
    EXPECT_EQ(triggerBarHeight(200, 60, 100), 100);
    EXPECT_EQ(triggerBarHeight(200, 0, 100), 0);
    EXPECT_EQ(triggerBarHeight(200, -40, 100), 0);
    EXPECT_EQ(triggerBarHeight(200, 10, 0), 0);
    EXPECT_EQ(normalisedTriggerScale(5), 32);
    EXPECT_EQ(normalisedTriggerScale(900), 900);
}

TEST(TraceModel, PulsePanelRows)
{
    const QRect client(0, 0, 32, 400);
    PulsePanelLayout both = pulsePanelLayout(client, true, true);
    EXPECT_EQ(both.pulseRow1, QRect(0, 0, 32, 32));
    EXPECT_EQ(both.pulseRow2, QRect(0, 32, 32, 32));
    EXPECT_EQ(both.gap, QRect(0, 64, 32, 3));
    EXPECT_EQ(both.triggerCaption, QRect(0, 67, 32, 32));
    EXPECT_EQ(both.triggerBar, QRect(0, 99, 32, 301));
    // Pulse only: two rows and no grey gap.
    PulsePanelLayout pulse = pulsePanelLayout(client, true, false);
    EXPECT_TRUE(pulse.gap.isEmpty());
    EXPECT_TRUE(pulse.triggerBar.isEmpty());
    // Trigger only: its caption at the top.
    PulsePanelLayout trigger = pulsePanelLayout(client, false, true);
    EXPECT_TRUE(trigger.pulseRow1.isEmpty());
    EXPECT_EQ(trigger.triggerCaption, QRect(0, 0, 32, 32));
    EXPECT_EQ(trigger.triggerBar, QRect(0, 32, 32, 368));
}

TEST(TraceModel, SplitterLeavesThirtyTwoPixelsForThePanel)
{
    EXPECT_EQ(pulseSplitterPosition(800, 4, 0, true), 764);
    EXPECT_EQ(pulseSplitterPosition(800, 4, 0, false), -1);
    EXPECT_EQ(pulseSplitterPosition(20, 4, 0, true), -1);
}

TEST(TraceModel, LabelTexts)
{
    EXPECT_EQ(traceLabel(true, 9.75f, false, 0), QStringLiteral(" 9.8 "));
    EXPECT_EQ(traceLabel(true, 10.4f, true, 23.44f), QStringLiteral(" 10.4 \n 23.4 mm "));
    EXPECT_EQ(traceLabel(false, 10.4f, false, 23.44f), QString());
    EXPECT_EQ(secondsText(-1.5f), QStringLiteral("-1.50"));
    EXPECT_EQ(secondsText(2.0f), QStringLiteral("2.00 "));
}
