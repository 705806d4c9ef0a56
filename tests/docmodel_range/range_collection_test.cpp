// Range collections: common windows, refusals, means, and the coordination and speed curves;
// shot collections handing out their ranges, series and splits.
#include "aiming_collection.h"
#include "range.h"
#include "range_collection.h"
#include "range_test_support.h"
#include "shot.h"

#include <cmath>

using namespace kavrodoc;
using rangetest::addShot;
using rangetest::aiming;

namespace {

using Points = std::vector<std::pair<int32_t, int32_t>>;

Points constant(int n, int32_t x, int32_t y)
{
    return Points(size_t(n), {x, y});
}

// x = i^2 mm: the distance between samples i and j is |i^2 - j^2| mm.
Points parabola(int n)
{
    Points p;
    for (int i = 0; i < n; ++i)
        p.emplace_back(100 * i * i, 0);
    return p;
}

// The range of a shot at the end of a trace of `points`, over first..last seconds.
ComPtr<IRange> shotRange(IEventParams* event, const Points& points, float first, float last, int32_t rate = 200)
{
    auto a = aiming(event, true, rate, points);
    a->trace()->put_ReadOnly(VARIANT_TRUE);
    auto shot = addShot(a.get());
    ComPtr<IRange> r;
    EXPECT_EQ(shot->Range(first, last, r.put()), S_OK);
    return r;
}

int32_t get(IRangeCollection* c, HRESULT (IRangeCollection::*g)(int32_t*))
{
    int32_t v = 0;
    (c->*g)(&v);
    return v;
}

class RangeCollectionTest : public ::testing::Test {
protected:
    ComPtr<IEventParams> ar10 = rangetest::event("AR10");
    ComPtr<IEventParams> ap10 = rangetest::event("AP10");
};

TEST_F(RangeCollectionTest, CommonWindowAndRefusals)
{
    auto c = CRangeCollection::create();
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_Count), 0);
    VARIANT_BOOL valid = VARIANT_TRUE;
    c->get_Valid(&valid);
    EXPECT_EQ(valid, VARIANT_FALSE);
    float v = -1;
    c->get_CoordinationPoint(0, &v);
    EXPECT_EQ(v, 0);
    c->get_Length(&v);
    EXPECT_EQ(v, 0);

    // Shots 40 samples into traces of 200: -100..20 and -80..40 relative to each shot.
    auto a = aiming(ar10.get(), true, 200, constant(200, 300, 400));
    a->trace()->put_ReadOnly(VARIANT_TRUE);
    auto shotA = CShot::create();
    shotA->bind(a->attr().get(), a->trace().get());
    shotA->setTraceIndex(150);
    ComPtr<IRange> r1, r2;
    ASSERT_EQ(shotA->Range(-0.5f, 0.1f, r1.put()), S_OK);
    ASSERT_EQ(shotA->Range(-0.4f, 0.2f, r2.put()), S_OK);
    ASSERT_EQ(c->Add(r1.get()), S_OK);
    ASSERT_EQ(c->Add(r2.get()), S_OK);
    ASSERT_EQ(c->Add(r1.get()), S_OK);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_Count), 2);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_First), -80);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_Last), 20);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_RequestedFirst), -100);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_RequestedLast), 40);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_PointCount), 101);

    // Another sample rate or another event: refused, nothing changes.
    EXPECT_EQ(c->Add(shotRange(ar10.get(), constant(50, 0, 0), -0.5f, 0, 100).get()), E_INVALIDARG);
    EXPECT_EQ(c->Add(shotRange(ap10.get(), constant(50, 0, 0), -0.1f, 0).get()), E_INVALIDARG);
    EXPECT_EQ(c->Add(nullptr), E_INVALIDARG);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_Count), 2);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_First), -80);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_RequestedFirst), -100);
    // A range that is not valid is passed over.
    auto outside = CRange::create();
    outside->bind(a->attr().get(), a->trace().get(), 150);
    ASSERT_EQ(outside->setWindow(1, 2), S_OK);
    EXPECT_EQ(c->Add(outside.get()), S_OK);
    EXPECT_EQ(get(c.get(), &IRangeCollection::get_Count), 2);

    ComPtr<IRange> item;
    EXPECT_EQ(c->get_Item(3, item.put()), E_INVALIDARG);
    ASSERT_EQ(c->get_Item(2, item.put()), S_OK);
    EXPECT_TRUE(sameObject(item.get(), r2.get()));

    // Coordination: 5 mm from the nearest area centre everywhere, negative where one range ends.
    float x = 0, y = 0, cx = 0, cy = 0;
    int32_t area = 0;
    r1->get_x(0, &x);
    r1->get_y(0, &y);
    ASSERT_EQ(r1->GetNearestArea(x, y, &area, &cx, &cy), S_OK);
    const float expected
        = std::hypot(3.0f - std::nearbyint(cx * 100) / 100, 4.0f - std::nearbyint(cy * 100) / 100) + 0.01f;
    ASSERT_EQ(c->get_CoordinationPoint(0, &v), S_OK);
    EXPECT_NEAR(v, expected, 1e-4);
    c->get_CoordinationPoint(-90, &v);
    EXPECT_NEAR(v, -expected, 1e-4);
    c->get_CoordinationPoint(30, &v);
    EXPECT_NEAR(v, -expected, 1e-4);
    EXPECT_EQ(c->get_CoordinationPoint(41, &v), E_INVALIDARG);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(c->get_CoordinationPoint(-101, &v), E_INVALIDARG);
    // No movement at all: speed 0 wherever there is a partner.
    ASSERT_EQ(c->get_SpeedPoint(0, &v), S_OK);
    EXPECT_EQ(v, 0);
}

TEST_F(RangeCollectionTest, SpeedStepIsAFifthOfTheRateInSamples)
{
    // At 200/s the partner is 8 samples away: from sample i (trace index) back to i - 8 the
    // point moves (i^2 - (i-8)^2) mm in 8/200 s, i.e. 200 (2i - 8) mm/s.
    auto c = CRangeCollection::create();
    ASSERT_EQ(c->Add(shotRange(ar10.get(), parabola(40), -0.15f, 0).get()), S_OK); // trace 9..39
    float v = 0;
    ASSERT_EQ(c->get_SpeedPoint(0, &v), S_OK); // trace 39
    EXPECT_FLOAT_EQ(v, 200.0f * (2 * 39 - 8));
    c->get_SpeedPoint(-30, &v); // trace 9, the window's start: partner 17 ahead
    EXPECT_FLOAT_EQ(v, 200.0f * (2 * 9 + 8));

    // At 20/s it is the next sample: 20 (2i - 1) mm/s.
    c = CRangeCollection::create();
    ASSERT_EQ(c->Add(shotRange(ar10.get(), parabola(40), -1.0f, 0, 20).get()), S_OK); // trace 19..39
    c->get_SpeedPoint(0, &v);
    EXPECT_FLOAT_EQ(v, 20.0f * (2 * 39 - 1));
    c->get_SpeedPoint(-20, &v); // the window's first sample looks forward
    EXPECT_FLOAT_EQ(v, 20.0f * (2 * 19 + 1));

    // A window shorter than the step has no partner inside it: nothing is read outside.
    c = CRangeCollection::create();
    ASSERT_EQ(c->Add(shotRange(ar10.get(), parabola(40), -0.02f, 0).get()), S_OK); // 4 samples
    ASSERT_EQ(c->get_SpeedPoint(0, &v), S_OK);
    EXPECT_EQ(v, 0);
}

TEST_F(RangeCollectionTest, MeansOverTheRanges)
{
    auto c = CRangeCollection::create();
    auto r1 = shotRange(ar10.get(), constant(20, 100, 200), -0.05f, 0);
    auto r2 = shotRange(ar10.get(), constant(20, 300, -600), -0.05f, 0);
    ASSERT_EQ(c->Add(r1.get()), S_OK);
    float v = 0;
    c->get_AveragePointY(&v);
    EXPECT_FLOAT_EQ(v, 2.0f);
    ASSERT_EQ(c->Add(r2.get()), S_OK); // the mean is worked out again
    c->get_AveragePointY(&v);
    EXPECT_FLOAT_EQ(v, -2.0f);
    c->get_AveragePointX(&v);
    EXPECT_FLOAT_EQ(v, 2.0f);
    // Steadiness: one range wholly within 3 mm of (1, 2), the other not: truncated mean 50.
    c->Steadiness(3, 0, 1, 2, &v);
    EXPECT_EQ(v, 50);
}

TEST_F(RangeCollectionTest, ShotCollectionsGiveRangesSeriesAndSplits)
{
    auto aimings = CAimingCollection::create();
    std::vector<ComPtr<IShot>> shots;
    for (int i = 0; i < 25; ++i) {
        auto a = aiming(ar10.get(), i >= 5, 200, constant(30, 10 * i, 0));
        shots.push_back(addShot(a.get(), i == 7));
        ASSERT_EQ(aimings->Add(a.get()), S_OK);
    }
    ComPtr<IShotCollection> all;
    ASSERT_EQ(aimings->Shots(VARIANT_FALSE, all.put()), S_OK);
    int32_t n = 0;
    all->get_SerieCount(&n);
    EXPECT_EQ(n, 3);
    ComPtr<IShotCollection> serie;
    ASSERT_EQ(all->Serie(3, serie.put()), S_OK);
    serie->get_Count(&n);
    ASSERT_EQ(n, 5);
    ComPtr<IShot> first;
    serie->get_Item(1, first.put());
    EXPECT_TRUE(sameObject(first.get(), shots[20].get()));
    ASSERT_EQ(all->Serie(-3, serie.put()), S_OK);
    serie->get_Count(&n);
    EXPECT_EQ(n, 0);

    ComPtr<IShotCollection> sighting, match;
    ASSERT_EQ(all->Sighting(sighting.put()), S_OK);
    ASSERT_EQ(all->Match(match.put()), S_OK);
    sighting->get_Count(&n);
    EXPECT_EQ(n, 5);
    match->get_Count(&n);
    EXPECT_EQ(n, 20);

    // The match's ranges leave out the missed shot.
    ComPtr<IRangeCollection> ranges;
    ASSERT_EQ(match->Range(-0.05f, 0, ranges.put()), S_OK);
    EXPECT_EQ(get(ranges.get(), &IRangeCollection::get_Count), 19);
    float ax = 0;
    ranges->get_AveragePointX(&ax);
    float expected = 0;
    for (int i = 5; i < 25; ++i)
        expected += i == 7 ? 0 : 0.1f * i;
    EXPECT_NEAR(ax, expected / 19, 1e-5);
    ComPtr<IRange> r;
    ranges->get_Item(1, r.put());
    int32_t first32 = 0;
    r->get_First(&first32);
    EXPECT_EQ(first32, -10);
}

} // namespace

namespace {

TEST(RangeClasses, CreatableByClassIdAndSafeWhileUnbound)
{
    ComPtr<IRange> r;
    ASSERT_EQ(createInstance(CLSID_Range, &r), S_OK);
    float v = -1, x = 0, y = 0;
    EXPECT_EQ(r->get_Length(&v), S_OK);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(r->get_x(0, &v), E_INVALIDARG);
    EXPECT_EQ(r->Breaches(0, 10, &x, &y), S_OK);
    EXPECT_EQ(r->Steadiness(1, 0, 0, 0, &v), S_OK);
    ComPtr<IEventParams> e;
    EXPECT_EQ(r->get_Event(e.put()), E_FAIL);
    ComPtr<IRangeCollection> c;
    ASSERT_EQ(createInstance(CLSID_RangeCollection, &c), S_OK);
    EXPECT_EQ(c->Add(r.get()), S_OK); // not valid: passed over
    int32_t n = -1;
    c->get_Count(&n);
    EXPECT_EQ(n, 0);
}

} // namespace
