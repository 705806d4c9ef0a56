// Replay in virtual time: the ticker's pace, positions at the replay speed, the blinking label,
// the end, pause and resume, and moving the position by hand.
#include "event_log.h"
#include "target_widget.h"

#include "thread/pumped_control_queue.h"
#include "thread/virtual_clock.h"

#include <QTest>

using namespace kt;

namespace {

constexpr OLE_COLOR kMark = rgb(255, 0, 255);

// 101 samples at 50 per second along y = 0, the shot after sample 60.
std::vector<Sample> line101()
{
    std::vector<Sample> samples;
    for (int i = 0; i <= 100; ++i)
        samples.push_back({float(i - 50) * 0.8f, 0});
    return samples;
}

struct Replay {
    VirtualClock clock; // outlives the control, whose ticker sleeps on it
    PumpedControlQueue* queue = nullptr;
    ComPtr<CTarget> target = makeTarget();
    ComPtr<EventLog> log = EventLog::create();
    ComPtr<IAiming> aiming;
    QWidget* widget = nullptr;

    explicit Replay(const char* eventName, int32_t rate = 50, bool window = false)
        : aiming(makeAiming(line101(), 60, {0, 0}, true, rate))
    {
        target->setReplayTiming(clock, [this](QueueHandler handler) {
            auto q = std::make_unique<PumpedControlQueue>(std::move(handler), clock);
            queue = q.get();
            return q;
        });
        if (window) {
            EXPECT_EQ(target->CreateWidget(nullptr, &widget), S_OK);
            widget->resize(200, 200);
        }
        target->put_Event(makeEvent(eventName).get());
        target->put_DefaultBackground(VARIANT_FALSE);
        target->put_ReplayMarkColor(kMark);
        log->attach(target.get());
    }
    ~Replay()
    {
        target->put_ReplayAiming(nullptr);
        delete widget;
    }

    // Lets `ms` of virtual time pass in one step and handles the tick the ticker posts.
    void pass(uint32_t ms)
    {
        ASSERT_TRUE(clock.waitForSleepers(1));
        clock.advance(ms);
        ASSERT_TRUE(queue->waitForMessages());
        queue->pump();
    }
    int32_t position() const { return target->state().replay.position; }
    bool markVisible() const { return target->state().replay.markVisible; }
    ComPtr<IAiming> replayAiming()
    {
        ComPtr<IAiming> a;
        target->get_ReplayAiming(a.put());
        return a;
    }
    int markPixels()
    {
        const QImage image = widget->grab().toImage();
        int n = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 200; ++x)
                n += image.pixel(x, y) == rgbOf(kMark);
        return n;
    }
};

using Events = std::vector<std::string>;

} // namespace

TEST(TargetReplay, SamplesPerSecondAreTruncatedBeforeTheyMeetTheTime)
{
    // 15 % of 50 samples a second: 7 whole samples a second, not 7.5.
    Replay r("TGT-P9");
    r.target->put_ReplaySpeed(15);
    r.target->put_ReplayAiming(r.aiming.get());
    r.pass(2000);
    EXPECT_EQ(r.position(), 14);
}

TEST(TargetReplay, TheTickerPacesAtTheSampleIntervalAndPositionsFollowTheSpeed)
{
    Replay r("TGT-P1");
    ASSERT_EQ(r.target->put_ReplayAiming(r.aiming.get()), S_OK);
    EXPECT_EQ(r.log->take(), (Events{"StartReplay", "ReplayPositionChanged"}));
    EXPECT_EQ(r.position(), 0);

    // 50 samples per second: a tick every 20 ms.
    ASSERT_TRUE(r.clock.waitForSleepers(1));
    r.clock.advance(19);
    EXPECT_EQ(r.clock.sleepers(), 1);
    EXPECT_EQ(r.queue->queuedCount(), 0u);
    r.clock.advance(1);
    ASSERT_TRUE(r.queue->waitForMessages());
    r.queue->pump();
    EXPECT_EQ(r.position(), 1);

    for (int i = 0; i < 49; ++i)
        r.pass(20);
    EXPECT_EQ(r.position(), 50); // one second at 100 %: 50 samples
    EXPECT_EQ(r.log->count("ReplayPositionChanged"), 50);

    // Half speed from here: 25 samples a second, starting where it is (no jump).
    EXPECT_EQ(r.target->put_ReplaySpeed(50), S_OK);
    EXPECT_EQ(r.position(), 50);
    r.pass(400);
    EXPECT_EQ(r.position(), 60);
    r.pass(600);
    EXPECT_EQ(r.position(), 75);
    float seconds = 0;
    r.target->get_ReplayPosition(&seconds);
    EXPECT_FLOAT_EQ(seconds, 0.3f); // 15 samples after the shot
}

TEST(TargetReplay, TheEndIsReportedOnceAndTheReplayLetsGo)
{
    Replay r("TGT-P2");
    r.target->put_ReplaySpeed(300);
    r.target->put_ReplayAiming(r.aiming.get());
    int ticks = 0;
    while (r.replayAiming() && ticks < 200) {
        r.pass(20);
        ++ticks;
    }
    EXPECT_EQ(ticks, 34); // 100 samples at 150 a second: 666.7 ms
    EXPECT_EQ(r.log->count("EndReplay"), 1);
    EXPECT_EQ(r.log->events.back(), "EndReplay");
    EXPECT_FALSE(r.replayAiming());
    ComPtr<IShot> shot;
    r.target->get_ReplayShot(shot.put());
    EXPECT_FALSE(shot);
    // The ticker is gone: time passing posts nothing more.
    EXPECT_EQ(r.clock.sleepers(), 0);
    r.clock.advance(1000);
    EXPECT_EQ(r.queue->pump(), 0u);
    EXPECT_EQ(r.log->count("EndReplay"), 1);
}

// A host tells which shot was replayed from ReplayShot when it hears of the end, and shows that
// shot again.
TEST(TargetReplay, TheEndedReplayIsStillNamedWhileItsEndIsReported)
{
    Replay r("TGT-P10");
    ComPtr<IAiming> aimingAtEnd;
    ComPtr<IShot> shotAtEnd;
    r.log->onEvent = [&](const std::string& name) {
        if (name != "EndReplay")
            return;
        r.target->get_ReplayAiming(aimingAtEnd.put());
        r.target->get_ReplayShot(shotAtEnd.put());
    };
    r.target->put_ReplayAiming(r.aiming.get());
    r.pass(2000);
    EXPECT_EQ(r.log->count("EndReplay"), 1);
    EXPECT_EQ(aimingAtEnd.get(), r.aiming.get());
    EXPECT_EQ(shotAtEnd.get(), shotOf(r.aiming.get()).get());
    // Once the host has heard of it, the replay lets go.
    EXPECT_FALSE(r.replayAiming());
    ComPtr<IShot> shot;
    r.target->get_ReplayShot(shot.put());
    EXPECT_FALSE(shot);
}

TEST(TargetReplay, AHostMayStartTheNextReplayWhenOneEnds)
{
    Replay r("TGT-P3");
    int ends = 0;
    r.log->onEvent = [&](const std::string& name) {
        if (name == "EndReplay" && ++ends == 1)
            r.target->put_ReplayAiming(r.aiming.get());
    };
    r.target->put_ReplayAiming(r.aiming.get());
    r.pass(2000);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(r.replayAiming().get(), r.aiming.get());
    EXPECT_EQ(r.position(), 0);
    r.pass(200);
    EXPECT_EQ(r.position(), 10);
}

TEST(TargetReplay, TheLabelBlinksInHalfSecondsAndIsHiddenAtFirst)
{
    Replay r("TGT-P4", 50, true);
    r.widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(r.widget));
    r.target->put_ReplayAiming(r.aiming.get());
    std::vector<int> changes; // ms at which the mark's visibility changed
    bool visible = true;
    for (int ms = 20; ms <= 1600; ms += 20) {
        r.pass(20);
        if (r.markVisible() != visible) {
            visible = r.markVisible();
            changes.push_back(ms);
            // What the window shows follows the mark.
            EXPECT_EQ(r.markPixels() > 0, visible) << ms;
        }
    }
    EXPECT_EQ(changes, (std::vector<int>{20, 500, 1000, 1500}));

    // Twice the speed blinks twice as fast in time (the phases are in samples).
    r.target->put_ReplayAiming(nullptr);
    r.target->put_ReplaySpeed(200);
    r.target->put_ReplayAiming(r.aiming.get());
    changes.clear();
    visible = true;
    for (int ms = 20; ms <= 800; ms += 20) {
        r.pass(20);
        if (r.markVisible() != visible) {
            visible = r.markVisible();
            changes.push_back(ms);
        }
    }
    EXPECT_EQ(changes, (std::vector<int>{20, 260, 500, 760}));
}

TEST(TargetReplay, MovingThePositionBackRepaintsAndForwardDrawsIncrementally)
{
    Replay r("TGT-P5", 50, true);
    r.widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(r.widget));
    r.target->put_ReplayAiming(r.aiming.get());
    r.target->put_ReplayPaused(VARIANT_TRUE);
    r.widget->grab();
    auto* window = static_cast<kavro::target::TargetWidget*>(r.widget);
    ASSERT_TRUE(window->currentBuffer());
    r.log->take();

    // Forwards to 0.2 s after the shot: sample 70 at x = 16 mm, drawn into the buffer at once.
    EXPECT_EQ(r.target->put_ReplayPosition(0.2f), S_OK);
    EXPECT_EQ(r.position(), 70);
    ASSERT_TRUE(window->currentBuffer());
    const QImage drawn = *window->currentBuffer();
    EXPECT_NE(drawn.pixel(100 + 2 * 10, 100), qRgb(255, 255, 255)); // sample 62 at 9.6 mm
    EXPECT_TRUE(r.log->events.empty());

    // Backwards: the whole picture is painted again.
    EXPECT_EQ(r.target->put_ReplayPosition(-1.0f), S_OK);
    EXPECT_EQ(r.position(), 10);
    EXPECT_EQ(window->currentBuffer(), nullptr);
    const QImage repainted = r.widget->grab().toImage();
    EXPECT_EQ(repainted.pixel(100 + 2 * 10, 100), qRgb(255, 255, 255));
    // Limited to the trace.
    r.target->put_ReplayPosition(-100.0f);
    EXPECT_EQ(r.position(), 0);
    EXPECT_TRUE(r.log->events.empty());
}

TEST(TargetReplay, PauseAndResumeFireOnceAndResumeWithoutAJump)
{
    Replay r("TGT-P6");
    r.target->put_ReplayAiming(r.aiming.get());
    r.pass(400);
    EXPECT_EQ(r.position(), 20);
    r.log->take();

    EXPECT_EQ(r.target->put_ReplayPaused(VARIANT_TRUE), S_OK);
    EXPECT_EQ(r.target->put_ReplayPaused(VARIANT_TRUE), S_OK);
    EXPECT_EQ(r.log->take(), (Events{"PauseReplay"}));
    EXPECT_EQ(r.clock.sleepers(), 0); // the ticker stopped
    r.clock.advance(5000);

    EXPECT_EQ(r.target->put_ReplayPaused(VARIANT_FALSE), S_OK);
    EXPECT_EQ(r.target->put_ReplayPaused(0), S_OK);
    EXPECT_EQ(r.log->take(), (Events{"StartReplay"}));
    r.pass(200);
    EXPECT_EQ(r.position(), 30);
}

TEST(TargetReplay, RefusedAndIdleCases)
{
    // An aiming without a sample rate has no time to replay in.
    Replay none("TGT-P7", 0);
    EXPECT_EQ(none.target->put_ReplayAiming(none.aiming.get()), E_INVALIDARG);
    EXPECT_FALSE(none.replayAiming());
    EXPECT_TRUE(none.log->events.empty());
    EXPECT_EQ(none.target->put_ReplayPosition(1.0f), S_OK); // nothing to move

    Replay r("TGT-P8");
    auto other = makeAiming(line101(), 30, {1, 1});
    EXPECT_EQ(r.target->put_ReplayShot(shotOf(other.get()).get()), E_INVALIDARG); // no replay
    r.target->put_ReplayAiming(r.aiming.get());
    EXPECT_EQ(r.target->put_ReplayShot(shotOf(other.get()).get()), E_INVALIDARG);
    EXPECT_EQ(r.target->put_ReplayShot(shotOf(r.aiming.get()).get()), S_OK);
    r.target->put_ReplayPaused(VARIANT_TRUE);
    r.log->take();

    // Clear stops the replay and unpauses it without a word.
    r.target->Clear();
    EXPECT_FALSE(r.replayAiming());
    VARIANT_BOOL paused = VARIANT_TRUE;
    r.target->get_ReplayPaused(&paused);
    EXPECT_EQ(paused, VARIANT_FALSE);
    EXPECT_TRUE(r.log->events.empty());
}
