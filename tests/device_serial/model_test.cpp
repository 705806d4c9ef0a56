// The serial models as the control drives them: the commands they send and the events their
// per-sample state machine fires, on a pty standing in for the sensor.
#include "serial_test_support.h"

#include "device/serial/biathlon.h"
#include "device/serial/classic.h"
#include "device/serial/pulse_detector.h"
#include "device/serial/vantage.h"

namespace sertest {
namespace {

using Events = std::vector<std::string>;

SampleRecord sample(int32_t signal, int32_t piezo = 0, int32_t x = 0, int32_t y = 0)
{
    SampleRecord r;
    r.setSignalLevel(static_cast<int16_t>(signal));
    r.setPiezoLevel(static_cast<int16_t>(piezo));
    r.setX(x);
    r.setY(y);
    r.setValid(true);
    return r;
}

std::vector<SampleRecord> concat2(std::vector<SampleRecord> a, const std::vector<SampleRecord>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<SampleRecord> run(size_t count, int32_t signal, int32_t piezo = 0)
{
    return std::vector<SampleRecord>(count, sample(signal, piezo));
}

template <class Model> class ModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.event = bundledEvent("AR10");
        ASSERT_TRUE(host.event);
        host.event->get_MinShotsPerAiming(&savedMin);
        host.event->get_MaxShotsPerAiming(&savedMax);
        setShots(0, 10);
        ASSERT_FALSE(pty.slavePath.isEmpty());
    }
    void TearDown() override
    {
        if (model)
            model->Close();
        model.reset();
        if (host.event)
            setShots(savedMin, savedMax);
    }
    void setShots(int32_t min, int32_t max)
    {
        host.event->put_MinShotsPerAiming(min);
        host.event->put_MaxShotsPerAiming(max);
    }
    void open()
    {
        model = std::make_unique<Model>(host, pty.openSlave());
        ASSERT_TRUE(model->Open());
        opening = pty.drain();
        host.rec.clear();
    }
    void feed(const std::vector<SampleRecord>& records) { model->ProcessSamples(records.data(), records.size()); }
    Events& events() { return host.rec.events; }

    TestHost host;
    PtyPair pty;
    std::unique_ptr<Model> model;
    std::vector<uint8_t> opening;
    int32_t savedMin = 0;
    int32_t savedMax = 0;
};

using Vantage = ModelTest<CKavroVantage>;
using Classic = ModelTest<CKavroClassic>;
using Biathlon = ModelTest<CKavroBiathlon>;

TEST_F(Vantage, OpeningAt200PerSecondSendsRateScaleAndStart)
{
    host.SetSampleRate(200);
    open();
    // 1250000 / 200 = 6250 = 0x186A; AR10's ring 1 (45.5 mm) at 10 m is near range, divisor 100.
    EXPECT_EQ(opening, concat({framed({2, 1}), framed({16, 0x18, 0x6A}), framed({1, 1}), framed({13, 1, 0, 0})}));
    EXPECT_EQ(model->ScaleDivisor(), 100);
}

TEST_F(Vantage, RateCodesFollowTheSampleRate)
{
    host.SetSampleRate(500);
    open();
    EXPECT_EQ(std::vector<uint8_t>(opening.begin(), opening.begin() + 7),
              concat({framed({2, 3}), framed({16, 0x09, 0xC4})}));
    host.SetSampleRate(100);
    model->SetRate();
    EXPECT_EQ(pty.drain(), concat({framed({2, 0}), framed({16, 0x30, 0xD4})}));
    model->Stop();
    EXPECT_EQ(pty.drain(), framed({13, 0, 0, 0}));
}

TEST_F(Classic, RateCodesAndSemaphore)
{
    host.SetSampleRate(250);
    open();
    EXPECT_EQ(std::vector<uint8_t>(opening.begin(), opening.begin() + 3), framed({2, 2}));
    EXPECT_TRUE(model->HasSemaphore());
    EXPECT_TRUE(model->SetSemaphore(SemaphoreGreen));
    EXPECT_EQ(pty.drain(), framed({21, 1}));
}

TEST_F(Biathlon, StartingAndEachAimingsEndResetTheSensor)
{
    open();
    EXPECT_EQ(host.SampleRate(), CKavroBiathlon::kRate);
    EXPECT_EQ(opening, concat({framed({8, 1, 0x1F, 0}), framed({6})}));
    std::vector<SampleRecord> b = run(3, 300);
    SampleRecord lost = sample(0);
    lost.setValid(false);
    b.push_back(lost);
    feed(b);
    EXPECT_EQ(events(), (Events{"StartAiming 1", "NewCoordinates 1 3", "ConcludeAiming 1", "FinalConcludeAiming 1"}));
    EXPECT_EQ(pty.drain(), framed({6}));
    model->Close();
    EXPECT_EQ(pty.drain(), framed({9}));
}

TEST_F(Biathlon, TheRowsShotsStayInOneAimingUntilTheTargetsAreLost)
{
    open();
    // Longer after the first shot than the time after a shot (1 s at 100 samples per second).
    std::vector<SampleRecord> b = concat2(run(1, 300), run(1, 300, 100));
    b = concat2(b, run(150, 300));
    b.push_back(sample(300, 100));
    feed(b);
    EXPECT_EQ(host.rec.aimings.size(), 1u);
    ASSERT_EQ(host.rec.shots.size(), 2u);
    EXPECT_EQ(std::count(events().begin(), events().end(), "ConcludeAiming 1"), 0);
    int32_t shots = 0;
    host.rec.aimings[0]->get_ShotCount(&shots);
    EXPECT_EQ(shots, 2);

    // Lost: invalid points for the time after the shot, then the aiming ends and is final at once.
    SampleRecord lost = sample(0);
    lost.setValid(false);
    host.rec.clear();
    feed(std::vector<SampleRecord>(99, lost));
    EXPECT_EQ(events(), (Events{"NewCoordinates 1 99"}));
    feed({lost});
    EXPECT_EQ(events(), (Events{"NewCoordinates 1 99", "ConcludeAiming 1", "FinalConcludeAiming 1"}));
}

TEST_F(Biathlon, ATimeAfterTheShotBeyondTheCountersNeverRunsOut)
{
    host.maxAfterShot = 3e7f; // 3e9 samples at 100 per second
    open();
    SampleRecord lost = sample(0);
    lost.setValid(false);
    feed(concat2(concat2(run(1, 300), run(1, 300, 100)), std::vector<SampleRecord>(5, lost)));
    EXPECT_EQ(events(), (Events{"StartAiming 1", "NewCoordinates 1 2", "Shot 1", "NewCoordinates 1 5"}));
}

TEST(VantageScale, NearOrFarByTargetSizeAndDistance)
{
    auto check = [](float d, float size, bool five, uint8_t range, int32_t divisor) {
        const VantageScale s = chooseVantageScale(d, size, five);
        EXPECT_EQ(s.range, range) << d << " " << size;
        EXPECT_EQ(s.divisor, divisor) << d << " " << size;
    };
    check(10, 45.5f, false, 1, 100);
    check(10, 100, false, 0, 33);
    check(50, 154.4f, false, 1, 20);
    check(5, 30, true, 1, 200); // the limit itself is near
    check(5, 40, true, 0, 66);
    check(400, 45.5f, false, 1, 2);
    check(400, 3000, false, 0, 1); // 333.3 / 400 truncates to 0: clamped
    check(0, 45.5f, false, 0, 1);
}

TEST_F(Vantage, AnAimingWithAShotFiresItsEventsInOrder)
{
    open();
    feed(concat2(run(3, 0), run(5, 200)));
    std::vector<SampleRecord> b2 = run(2, 200);
    b2.push_back(sample(200, 100));
    b2.push_back(sample(200));
    b2.push_back(sample(200));
    feed(b2);
    feed({sample(10), sample(5)});
    EXPECT_EQ(events(),
              (Events{"StartAiming 1", "NewCoordinates 1 5", "NewCoordinates 1 3", "Shot 1", "NewCoordinates 1 2",
                      "ConcludeAiming 1", "FinalConcludeAiming 1"}));
    ASSERT_EQ(host.rec.shots.size(), 1u);
    float result = 0;
    host.rec.shots[0]->get_Result(&result);
    EXPECT_GE(result, 10.0f); // aimed at the centre
    // A good shot lowers the threshold to two thirds of the signal before it.
    EXPECT_EQ(model->SignalThreshold(), 133);
    int32_t count = 0;
    ComPtr<IAimingTrace> trace;
    host.rec.aimings[0]->get_Trace(trace.put());
    trace->get_Count(&count);
    EXPECT_EQ(count, 10);
}

TEST_F(Vantage, AThresholdEveryQuietSampleReachesIsRefused)
{
    open();
    model->SetPiezoSensitivity(1, 60);
    for (int32_t refused : {0, -1})
        model->SetPiezoSensitivity(1, refused);
    EXPECT_EQ(model->GetPiezoSensitivity(1), 60);
    std::vector<SampleRecord> b = run(5, 200);
    b.push_back(sample(10));
    feed(b);
    EXPECT_EQ(events(), (Events{"StartAiming 1", "NewCoordinates 1 5", "ConcludeAiming 1"}));
}

TEST_F(Vantage, MissedShotsFillUpToTheEventsMinimum)
{
    setShots(2, 10);
    open();
    std::vector<SampleRecord> b = run(3, 200);
    b.push_back(sample(10));
    feed(b);
    EXPECT_EQ(events(), (Events{"StartAiming 1", "NewCoordinates 1 3", "Missed 1", "Missed 1", "ConcludeAiming 1"}));
    // One real shot and one missed one.
    host.rec.clear();
    b = run(60, 0);
    b.push_back(sample(200, 100));
    b.push_back(sample(10));
    feed(b);
    EXPECT_EQ(events(),
              (Events{"FinalConcludeAiming 1", "StartAiming 1", "NewCoordinates 1 1", "Shot 1", "Missed 1",
                      "ConcludeAiming 1"}));
}

TEST_F(Vantage, MissedShotsAtTheEndLeaveTheThresholdAlone)
{
    setShots(1, 10);
    open();
    // Aimed at the centre with a strong signal, but no piezo: the conclusion adds a missed shot.
    std::vector<SampleRecord> b = run(5, 200);
    b.push_back(sample(10));
    feed(b);
    EXPECT_EQ(events(), (Events{"StartAiming 1", "NewCoordinates 1 5", "Missed 1", "ConcludeAiming 1"}));
    EXPECT_EQ(model->SignalThreshold(), CKavroVantage::kDefaultSignalThreshold);
}

TEST_F(Vantage, AfterAShotTheSettleCountPasses)
{
    host.maxAfterShot = 10;
    open();
    std::vector<SampleRecord> b;
    b.push_back(sample(200, 100)); // the sample that starts the aiming can be its first shot
    for (int i = 1; i < 25; ++i)
        b.push_back(sample(200, 100)); // samples 1..24 after the shot are only added
    b.push_back(sample(200, 100)); // the 25th is the next shot
    feed(b);
    EXPECT_EQ(host.rec.shots.size(), 2u);
    int32_t index = -1;
    host.rec.shots[1]->get_TraceIndex(&index);
    EXPECT_EQ(index, 25);
}

TEST_F(Vantage, NoShotBeyondTheEventsMaximum)
{
    setShots(0, 1);
    host.maxAfterShot = 10;
    open();
    std::vector<SampleRecord> b = run(1, 200, 100);
    auto more = run(40, 200, 100);
    b.insert(b.end(), more.begin(), more.end());
    feed(b);
    EXPECT_EQ(host.rec.shots.size(), 1u);
}

TEST_F(Vantage, ANewAimingAfterShotsWaitsForMoreThanHalfASecondOfNoSignal)
{
    open();
    feed(concat2(run(1, 200, 100), run(1, 10))); // aiming with a shot, concluded
    host.rec.clear();
    feed(concat2(run(50, 0), run(1, 200))); // 50 = rate / 2: not enough
    EXPECT_EQ(events(), (Events{"FinalConcludeAiming 1"}));
    feed(concat2(run(51, 0), run(1, 200)));
    EXPECT_EQ(events(), (Events{"FinalConcludeAiming 1", "StartAiming 1", "NewCoordinates 1 1"}));
}

TEST_F(Vantage, ASampleBetweenStartLevelAndThresholdStartsAndEndsAnAiming)
{
    open();
    feed(run(1, 35)); // above 32, below 40
    EXPECT_EQ(events(), (Events{"StartAiming 1", "ConcludeAiming 1"}));
    // No shot in it: the next sample above the start level starts one at once.
    host.rec.clear();
    feed(run(1, 200));
    EXPECT_EQ(events(), (Events{"StartAiming 1", "NewCoordinates 1 1"}));
}

TEST_F(Vantage, ConcludeCurrentAimingLeavesOneMoreFinalConclude)
{
    open();
    feed(run(3, 200));
    host.rec.clear();
    model->ConcludeCurrentAiming(2);
    EXPECT_EQ(events(), (Events{"ConcludeAiming 1", "FinalConcludeAiming 2"}));
    feed(run(2, 0));
    EXPECT_EQ(events(), (Events{"ConcludeAiming 1", "FinalConcludeAiming 2", "FinalConcludeAiming 1"}));
}

TEST_F(Vantage, TheControlsShotComesBeforeThePointsAddedJustBeforeIt)
{
    open();
    model->BeginBatch(2);
    model->OnSample(sample(200));
    model->OnSample(sample(200));
    model->AddShot(false);
    model->FlushCoordinates();
    EXPECT_EQ(events(), (Events{"StartAiming 1", "Shot 1", "NewCoordinates 1 2"}));
}

TEST_F(Vantage, PointsAreScaledTurnedAndCorrected)
{
    host.correctionX = 7;
    host.correctionY = -3;
    open();
    // u = 30, v = -10, f = 1000 / 222 x 100 / 100.
    feed({sample(200, 0, 10, -20), sample(0)});
    host.position = SensorTop;
    feed({sample(200, 0, 10, -20), sample(0)});
    ASSERT_EQ(host.rec.aimings.size(), 2u);
    int32_t x = 0, y = 0;
    ComPtr<IAimingTrace> t;
    host.rec.aimings[0]->get_Trace(t.put());
    t->_GetPoint(0, &x, &y);
    EXPECT_EQ(x, 135 + 7);
    EXPECT_EQ(y, -45 - 3);
    t = nullptr;
    host.rec.aimings[1]->get_Trace(t.put());
    t->_GetPoint(0, &x, &y);
    EXPECT_EQ(x, -135 + 7);
    EXPECT_EQ(y, 45 - 3);
}

TEST_F(Vantage, SmoothedPointsRoundHalvesToEven)
{
    open();
    // Signal 228 at 10 m: f = 1000 / 250 x 100 / 100 = 4. The second point is smoothed from u = 7
    // after u = 1: 7 - 6 x 0.5 / 1.6 = 5.125, and 4 x 5.125 = 20.5 lies halfway.
    feed({sample(228, 0, 1, 0), sample(228, 0, 4, -3), sample(0)});
    ASSERT_EQ(host.rec.aimings.size(), 1u);
    ComPtr<IAimingTrace> t;
    host.rec.aimings[0]->get_Trace(t.put());
    int32_t x = 0, y = 0;
    t->_GetPoint(1, &x, &y);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 4);
}

TEST_F(Classic, TriggerValuesAreReportedAtEveryFlush)
{
    open();
    std::vector<SampleRecord> b = run(3, 200);
    for (size_t i = 0; i < b.size(); ++i)
        b[i].setTrigger(static_cast<int16_t>(100 + i));
    feed(b);
    EXPECT_EQ(events(), (Events{"StartAiming 1", "NewCoordinates 1 3", "Trigger 1 3"}));
    // Outside a batch the values are gone.
    int32_t v = 0;
    EXPECT_FALSE(model->GetTrigger(1, 0, &v));
    ComPtr<IAimingTrace> t;
    host.rec.aimings[0]->get_Trace(t.put());
    int32_t channel = -1;
    t->GetUserData(QStringLiteral("_trigger"), &channel);
    ASSERT_GT(channel, 0);
    t->get_UserData(channel, 2, &v);
    EXPECT_EQ(v, 102);
}

TEST_F(Classic, TriggerValuesAreReportedWhenAnAimingStartsAndEnds)
{
    open();
    std::vector<SampleRecord> b = concat2(run(3, 0), run(2, 200));
    for (size_t i = 0; i < b.size(); ++i)
        b[i].setTrigger(static_cast<int16_t>(10 + i));
    std::vector<int32_t> seen;
    host.rec.onEvent = [&](const std::string& e) {
        if (e.rfind("Trigger 1 ", 0) != 0)
            return;
        for (int32_t i = 0, count = std::stoi(e.substr(10)); i < count; ++i) {
            int32_t v = -1;
            EXPECT_TRUE(model->GetTrigger(1, i, &v));
            seen.push_back(v);
        }
    };
    feed(b);
    // The three values before the aiming are reported before it starts.
    EXPECT_EQ(events(), (Events{"Trigger 1 3", "StartAiming 1", "NewCoordinates 1 2", "Trigger 1 2"}));
    EXPECT_EQ(seen, (std::vector<int32_t>{10, 11, 12, 13, 14}));

    host.rec.onEvent = nullptr;
    host.rec.clear();
    b = concat2(run(2, 200), run(1, 0));
    feed(b);
    // The values of the aiming's last points go with them, before its conclusion.
    EXPECT_EQ(events(), (Events{"NewCoordinates 1 2", "Trigger 1 2", "ConcludeAiming 1", "Trigger 1 1"}));
}

TEST(PulseRate, FromTheIntervalSum)
{
    EXPECT_EQ(PulseDetector::RateFor(100, 0), 0);
    EXPECT_EQ(PulseDetector::RateFor(100, 500), 60);
    EXPECT_EQ(PulseDetector::RateFor(257, 300), 0); // a computed 257 is no pulse
    EXPECT_EQ(PulseDetector::RateFor(256, 300), 256);
}

TEST(PulseDetector, ASteadyPulseIsReportedOnce)
{
    PulseDetector d(100);
    std::vector<int32_t> rates;
    int beats = 0;
    PulseDetector::Sinks s;
    s.heartBeat = [&](double, double) { ++beats; };
    s.pulseChanged = [&](int32_t r) { rates.push_back(r); };
    // 60 beats a minute: one beat a second, 512 +- 300.
    for (int i = 0; i < 1500; ++i)
        d.Add(static_cast<int32_t>(512 + 300 * std::sin(2 * 3.14159265358979 * i / 100.0)), 45000.0 + i / 8.64e6, s);
    ASSERT_FALSE(rates.empty());
    EXPECT_NEAR(rates.back(), 60, 2);
    EXPECT_GE(beats, 10);
}

} // namespace
} // namespace sertest
