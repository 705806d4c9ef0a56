// Range statistics: windows from seconds, path lengths scaled to the request, steadiness, and the
// filtered breach point on traces whose geometry is known.
#include "range.h"
#include "range_test_support.h"
#include "shot.h"

#include <climits>
#include <cmath>

using namespace kavrodoc;
using rangetest::addShot;
using rangetest::aiming;

namespace {

using Points = std::vector<std::pair<int32_t, int32_t>>;
constexpr int32_t kInvalid = IAimingTrace::kInvalidSample;

// Samples at x = i^2 mm on the x axis: every three of them lie on one known parabola.
Points parabola(int n)
{
    Points p;
    for (int i = 0; i < n; ++i)
        p.emplace_back(100 * i * i, 0);
    return p;
}

// n samples on a straight line, 3 mm right and 4 mm down per sample... in 0.01 mm: 300, 400.
Points line(int n)
{
    Points p;
    for (int i = 0; i < n; ++i)
        p.emplace_back(300 * i, 400 * i);
    return p;
}

ComPtr<CRange> range(CAiming* a, int32_t base)
{
    auto r = CRange::create();
    EXPECT_EQ(r->bind(a->attr().get(), a->trace().get(), base), S_OK);
    return r;
}

struct Window {
    int32_t first, last, count;
    bool valid;
};

Window windowOf(IRange* r)
{
    Window w{};
    VARIANT_BOOL v = VARIANT_FALSE;
    r->get_First(&w.first);
    r->get_Last(&w.last);
    r->get_Count(&w.count);
    r->get_Valid(&v);
    w.valid = v == VARIANT_TRUE;
    return w;
}

class RangeTest : public ::testing::Test {
protected:
    ComPtr<IEventParams> ar10 = rangetest::event("AR10");
};

TEST_F(RangeTest, SecondsAndIndexes)
{
    auto a = aiming(ar10.get(), true, 200, line(10));
    auto r = range(a.get(), 0);
    int32_t i = 0;
    ASSERT_EQ(r->Sec2Index(0.5f, &i), S_OK);
    EXPECT_EQ(i, 100);
    r->Sec2Index(-0.0125f, &i); // -2.5 samples: halves go to even
    EXPECT_EQ(i, -2);
    float s = 0;
    r->Index2Sec(-40, &s);
    EXPECT_FLOAT_EQ(s, -0.2f);
    auto w = windowOf(r.get());
    EXPECT_TRUE(w.valid);
    EXPECT_EQ(w.first, 0);
    EXPECT_EQ(w.last, 9);
    EXPECT_EQ(w.count, 9); // Last - First
    int32_t base = -1, rate = 0;
    r->get_IndexBase(&base);
    r->get_SampleRate(&rate);
    EXPECT_EQ(base, 0);
    EXPECT_EQ(rate, 200);
}

TEST_F(RangeTest, WindowIsTheLastUnbrokenRunOfValidSamples)
{
    Points p = line(200);
    for (int i = 100; i <= 104; ++i)
        p[size_t(i)].first = kInvalid;
    auto a = aiming(ar10.get(), true, 200, p);

    auto r = range(a.get(), 50);
    ASSERT_EQ(r->setWindow(-0.25f, 0.35f), S_OK); // relative -50..70: trace 0..120
    auto w = windowOf(r.get());
    EXPECT_TRUE(w.valid);
    EXPECT_EQ(w.first, 55); // trace 105
    EXPECT_EQ(w.last, 70);
    int32_t rf = 0, rl = 0;
    r->get_RequestedFirst(&rf);
    r->get_RequestedLast(&rl);
    EXPECT_EQ(rf, -50);
    EXPECT_EQ(rl, 70);

    // Ending inside the invalid run: the end steps back to the last valid sample.
    r = range(a.get(), 50);
    ASSERT_EQ(r->setWindow(-0.5f, 0.26f), S_OK); // -100..52: clipped to -50..52
    w = windowOf(r.get());
    EXPECT_EQ(w.first, -50);
    EXPECT_EQ(w.last, 49); // trace 99
    float x = 0;
    EXPECT_EQ(r->get_x(49, &x), S_OK);
    EXPECT_FLOAT_EQ(x, 297.0f);
    EXPECT_EQ(r->get_x(50, &x), E_INVALIDARG);
    EXPECT_EQ(r->get_x(-51, &x), E_INVALIDARG);

    // Reversed seconds are refused; a window beyond the kept trace is not valid.
    r = range(a.get(), 50);
    EXPECT_EQ(r->setWindow(0.1f, -0.1f), E_FAIL);
    EXPECT_EQ(r->setWindow(1.0f, 2.0f), S_OK);
    w = windowOf(r.get());
    EXPECT_FALSE(w.valid);
    EXPECT_EQ(r->get_x(w.first, &x), E_INVALIDARG);
    float len = -1, steady = -1;
    r->get_Length(&len);
    r->Steadiness(1000, 0, 0, 0, &steady);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(steady, 0);
    // A window holding invalid samples only has no aiming point.
    r = range(a.get(), 100);
    ASSERT_EQ(r->setWindow(0, 0.02f), S_OK); // trace 100..104
    EXPECT_FALSE(windowOf(r.get()).valid);

    ComPtr<IRange> fromAiming;
    EXPECT_EQ(a->Range(0.2f, 0.1f, fromAiming.put()), E_FAIL);
    ASSERT_EQ(a->Range(0.55f, 0.6f, fromAiming.put()), S_OK); // anchored at trace index 0
    w = windowOf(fromAiming.get());
    EXPECT_EQ(w.first, 110);
    EXPECT_EQ(w.last, 120);
}

TEST_F(RangeTest, StatisticsScaleThePathToTheRequestedSamples)
{
    auto a = aiming(ar10.get(), true, 200, line(100));
    auto r = range(a.get(), 99);
    ASSERT_EQ(r->setWindow(-0.995f, 0), S_OK); // 200 samples asked, 100 there
    auto w = windowOf(r.get());
    ASSERT_EQ(w.first, -99);
    ASSERT_EQ(w.last, 0);
    float length = 0, lx = 0, ly = 0, ax = 0, ay = 0;
    r->get_Length(&length);
    r->get_LengthX(&lx);
    r->get_LengthY(&ly);
    r->get_AveragePointX(&ax);
    r->get_AveragePointY(&ay);
    EXPECT_FLOAT_EQ(length, 2 * 495.0f); // the measured path is 99 steps of 5 mm
    EXPECT_FLOAT_EQ(lx, 2 * 297.0f);
    EXPECT_FLOAT_EQ(ly, 2 * 396.0f);
    EXPECT_FLOAT_EQ(ax, 148.5f);
    EXPECT_FLOAT_EQ(ay, 198.0f);
    float l = -1, t = -1, rt = -1, b = -1;
    r->GetBounds(&l, &t, &rt, &b);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(rt, 297);
    EXPECT_EQ(b, 396);

    // Half of the requested samples are there, all within the circle: 50 per cent.
    float steady = 0;
    r->Steadiness(10000, 0, 0, 0, &steady);
    EXPECT_EQ(steady, 50);
    // Only samples 0..33 lie within 166 mm of the start.
    r->Steadiness(166, 0, 0, 0, &steady);
    EXPECT_EQ(steady, 17);

    // One sample: nothing to measure.
    auto single = aiming(ar10.get(), true, 200, line(1));
    float avg = -1;
    range(single.get(), 0)->get_AveragePointX(&avg);
    EXPECT_EQ(avg, 0);
}

TEST_F(RangeTest, InvalidSamplesOfTheWholeTraceAreLeftOutOfTheStatistics)
{
    // Two runs of valid samples around a gap where the sensor lost the aiming point.
    auto a
        = aiming(ar10.get(), true, 200, {{100, 100}, {300, 300}, {kInvalid, 0}, {kInvalid, 0}, {600, 200}, {700, 200}});
    auto r = range(a.get(), 0);
    ASSERT_EQ(windowOf(r.get()).last, 5);
    float l = 0, t = 0, rt = 0, b = 0;
    r->GetBounds(&l, &t, &rt, &b);
    EXPECT_FLOAT_EQ(l, 1);
    EXPECT_FLOAT_EQ(t, 1);
    EXPECT_FLOAT_EQ(rt, 7);
    EXPECT_FLOAT_EQ(b, 3);
    float ax = 0, ay = 0, length = 0, lx = 0, ly = 0;
    r->get_AveragePointX(&ax);
    r->get_AveragePointY(&ay);
    EXPECT_FLOAT_EQ(ax, 4.25f);
    EXPECT_FLOAT_EQ(ay, 2.0f);
    // No step is measured across the gap; the four samples used are scaled to the six there.
    r->get_Length(&length);
    r->get_LengthX(&lx);
    r->get_LengthY(&ly);
    EXPECT_FLOAT_EQ(length, float(6 * (std::sqrt(2.0) * 200 + 100) / 400));
    EXPECT_FLOAT_EQ(lx, 6 * 300 / 400.0f);
    EXPECT_FLOAT_EQ(ly, 6 * 200 / 400.0f);

    auto lone = aiming(ar10.get(), true, 200, {{kInvalid, 0}, {500, -500}, {kInvalid, 0}});
    auto one = range(lone.get(), 0);
    one->GetBounds(&l, &t, &rt, &b);
    one->get_AveragePointX(&ax);
    one->get_Length(&length);
    EXPECT_FLOAT_EQ(l, 5);
    EXPECT_FLOAT_EQ(t, -5);
    EXPECT_FLOAT_EQ(rt, 5);
    EXPECT_FLOAT_EQ(b, -5);
    EXPECT_FLOAT_EQ(ax, 5);
    EXPECT_EQ(length, 0);
}

TEST_F(RangeTest, FilteredBreachFollowsTheParabolaWithIntegerSampleClock)
{
    auto a = aiming(ar10.get(), true, 200, parabola(20));
    auto r = range(a.get(), 10);
    float x = 0, y = 0;
    // F 7 at 200/s: 7 * 200 / 1000 = 1 in integers, so k = 0.5 and the point moves one sample
    // along the tangent: 10^2 + 2 * 10 * 1.
    ASSERT_EQ(r->Breaches(0, 7, &x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 120.0f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    r->Breaches(0, 9, &x, &y); // 1.8 would give 136
    EXPECT_FLOAT_EQ(x, 120.0f);
    r->Breaches(0, 10, &x, &y); // another F is recomputed: two samples ahead
    EXPECT_FLOAT_EQ(x, 140.0f);
    r->Breaches(0, 0, &x, &y);
    EXPECT_FLOAT_EQ(x, 100.0f);
    // Phase 0.5 evaluates the parabola half a sample earlier: 9.5^2 + 2 * 9.5 * 1.
    r->Breaches2(0, 7, 0.5, &x, &y);
    EXPECT_FLOAT_EQ(x, 109.25f);
    r->Breaches2(0, 7, std::nan(""), &x, &y);
    EXPECT_FLOAT_EQ(x, 120.0f);
    // Elsewhere in the window, and the raw sample at the trace's first two samples.
    r->Breaches(-5, 7, &x, &y);
    EXPECT_FLOAT_EQ(x, 25.0f + 10.0f);
    r->Breaches(-9, 50, &x, &y);
    EXPECT_FLOAT_EQ(x, 1.0f);
    r->Breaches(-10, 50, &x, &y);
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_EQ(r->Breaches(0, 7, nullptr, &y), E_POINTER);

    auto empty = aiming(ar10.get(), true, 200);
    x = y = 5;
    EXPECT_EQ(range(empty.get(), 0)->Breaches(0, 7, &x, &y), S_OK);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

TEST_F(RangeTest, FilteredBreachAfterAGapIsTheRawSample)
{
    auto a = aiming(ar10.get(), true, 200, {{100, 0}, {kInvalid, 0}, {300, 0}, {400, 0}, {500, 0}});
    auto r = range(a.get(), 0);
    float x = 0, y = -1;
    ASSERT_EQ(r->Breaches(2, 50, &x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 3.0f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    ASSERT_EQ(r->Breaches(3, 50, &x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 4.0f);
    // Three valid samples again: the straight line goes on 10 samples' worth (k = 5).
    ASSERT_EQ(r->Breaches(4, 50, &x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 15.0f);
}

TEST_F(RangeTest, ShotBreachGoesThroughItsRangeAndFollowsTheFCoefficient)
{
    auto a = aiming(ar10.get(), true, 200, parabola(11));
    auto shot = addShot(a.get()); // trace index 10
    auto attr = a->attr();
    attr->put_FCoefficient(7);
    float x = 0, y = 0;
    ASSERT_EQ(shot->Breach(&x, &y), S_OK);
    EXPECT_FLOAT_EQ(x, 120.0f);
    attr->put_FCoefficient(10);
    shot->Breach(&x, &y);
    EXPECT_FLOAT_EQ(x, 140.0f);
    shot->put_OffsetX(1.5f);
    shot->Breach(&x, &y);
    EXPECT_FLOAT_EQ(x, 141.5f);

    // The standard ranges are kept once the trace is finished, not before.
    ComPtr<IRange> r1, r2;
    ASSERT_EQ(shot->Range(-1, 0, r1.put()), S_OK);
    ASSERT_EQ(shot->Range(-1, 0, r2.put()), S_OK);
    EXPECT_FALSE(sameObject(r1.get(), r2.get()));
    a->trace()->put_ReadOnly(VARIANT_TRUE);
    ASSERT_EQ(shot->Range(-1, 0, r1.put()), S_OK);
    ASSERT_EQ(shot->Range(-1, 0, r2.put()), S_OK);
    EXPECT_TRUE(sameObject(r1.get(), r2.get()));
    ASSERT_EQ(shot->Range(0, 0, r2.put()), S_OK);
    EXPECT_FALSE(sameObject(r1.get(), r2.get()));
    auto w = windowOf(r2.get());
    EXPECT_EQ(w.first, -10); // (0, 0) is the whole trace around the shot
    EXPECT_EQ(w.last, 0);
    w = windowOf(r1.get());
    EXPECT_EQ(w.first, -10);
    int32_t rf = 0;
    r1->get_RequestedFirst(&rf);
    EXPECT_EQ(rf, -200);
    EXPECT_EQ(shot->Range(0, -1, r1.put()), E_FAIL);

    ComPtr<IEventParams> e;
    ASSERT_EQ(r2->get_Event(e.put()), S_OK);
    EXPECT_TRUE(sameObject(e.get(), ar10.get()));
    auto missed = addShot(a.get(), true);
    EXPECT_EQ(missed->Range(-1, 0, r1.put()), E_UNEXPECTED);
}

TEST_F(RangeTest, CoordinateAndUserDataChecksTheWindow)
{
    auto a = aiming(ar10.get(), true, 200, line(10));
    auto trace = a->trace();
    int32_t channel = 0;
    ASSERT_EQ(trace->AddUserData(QStringLiteral("_trigger"), &channel), S_OK);
    trace->put_UserData(channel, 7, 42);
    auto r = range(a.get(), 5);
    int32_t v = 0;
    ASSERT_EQ(r->get_UserData(channel, 2, &v), S_OK);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(r->get_UserData(0, 2, &v), E_INVALIDARG);
    EXPECT_EQ(r->get_UserData(channel, 5, &v), E_INVALIDARG);
    VARIANT_BOOL valid = VARIANT_FALSE;
    EXPECT_EQ(r->get_ValidCoordinate(-5, &valid), S_OK);
    EXPECT_EQ(valid, VARIANT_TRUE);
    EXPECT_EQ(r->get_ValidCoordinate(-6, &valid), E_INVALIDARG);
}

} // namespace

namespace {

TEST_F(RangeTest, AShotIndexFarOutsideItsTraceGivesRangesWithoutWindow)
{
    auto a = aiming(ar10.get(), true, 200, line(10));
    for (int32_t index : {INT_MIN, INT_MAX, -50}) {
        auto shot = CShot::create();
        shot->bind(a->attr().get(), a->trace().get());
        shot->setTraceIndex(index);
        for (float first : {0.0f, -1.0f}) {
            if (index != INT_MIN && first == 0)
                continue; // the whole trace is a window wherever the anchor lies, if it can be told
            ComPtr<IRange> r;
            ASSERT_EQ(shot->Range(first, 0, r.put()), S_OK) << index;
            EXPECT_FALSE(windowOf(r.get()).valid) << index;
            float len = -1;
            r->get_Length(&len);
            EXPECT_EQ(len, 0);
        }
        float x = 0, y = 0;
        EXPECT_TRUE(FAILED(shot->Breach(&x, &y))) << index;
    }
}

} // namespace
