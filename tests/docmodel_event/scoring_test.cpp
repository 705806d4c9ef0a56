#include "event_params.h"

#include <gtest/gtest.h>

using namespace kavrodoc;

namespace {

class Scoring : public ::testing::Test {
protected:
    void SetUp() override
    {
        event = CEventParams::create();
        event->get_Target(1, target.put());
        target->put_FormWidth(100);
        target->put_FormHeight(100);
        target->put_Ring(10, 10);
        target->put_Ring(9, 20);
    }
    float point(float x, float y, int32_t sub = 1)
    {
        float s = -1;
        EXPECT_EQ(event->GetPointScore(x, y, sub, &s), S_OK);
        return s;
    }
    ComPtr<ITargetElement> add(enumTargetElementType type, float l, float t, float w, float h)
    {
        ComPtr<ITargetElement> e;
        target->AddElement(type, l, t, w, h, e.put());
        return e;
    }
    ComPtr<IEventParams> event;
    ComPtr<ITargetParams> target;
};

TEST_F(Scoring, RingBoundariesTruncateToTenths)
{
    EXPECT_FLOAT_EQ(point(0, 0), 10.9f);
    EXPECT_FLOAT_EQ(point(5, 0), 10.0f);
    EXPECT_FLOAT_EQ(point(0, 7.5f), 9.5f);
    EXPECT_FLOAT_EQ(point(7.51f, 0), 9.4f);
    EXPECT_FLOAT_EQ(point(-10, 0), 9.0f);
    EXPECT_FLOAT_EQ(point(10.01f, 0), 0.0f);
}

TEST_F(Scoring, BreachUsesTheCalibre)
{
    event->put_Caliber(4.5f);
    float s = 0;
    ASSERT_EQ(event->GetBreachScore(7.25f, 0, 1, &s), S_OK);
    EXPECT_FLOAT_EQ(s, 10.0f);
    ASSERT_EQ(event->GetBreachScore(7.26f, 0, 1, &s), S_OK);
    EXPECT_LT(s, 10.0f);
    EXPECT_EQ(event->GetBreachScore(0, 0, 1, nullptr), E_POINTER);
}

TEST_F(Scoring, FormEdgeIsInside)
{
    EXPECT_FLOAT_EQ(point(50, 0), 0.0f); // outside the rings but on the form
    auto e = add(elementRectangle, -60, -60, 120, 120);
    e->put_Result(3);
    EXPECT_FLOAT_EQ(point(50, 0), 3.0f);
    EXPECT_FLOAT_EQ(point(50.01f, 0), 0.0f);
    EXPECT_FLOAT_EQ(point(0, -50.01f), 0.0f);
}

TEST_F(Scoring, MissingTenRunsTheNineToTen)
{
    target->put_Ring(10, 0);
    EXPECT_FLOAT_EQ(point(0, 0), 10.0f);
    EXPECT_FLOAT_EQ(point(5, 0), 9.5f);
}

TEST_F(Scoring, ElementsBeforeAndAfterTheRings)
{
    auto ignore = add(elementRectangle, -1, -1, 2, 2);
    ignore->put_IgnoreResult(VARIANT_TRUE);
    EXPECT_FLOAT_EQ(point(0, 0), 0.0f);
    ignore->put_CalcAfterRings(VARIANT_TRUE);
    EXPECT_FLOAT_EQ(point(0, 0), 10.9f); // after the rings it is never reached inside a ring

    auto outer = add(elementRectangle, 20, -5, 10, 10);
    outer->put_CalcAfterRings(VARIANT_TRUE);
    outer->put_Result(5);
    EXPECT_FLOAT_EQ(point(25, 0), 5.0f);
    auto zero = add(elementRectangle, 20, -5, 10, 10); // Result 0: the walk goes on to the next
    zero->put_CalcAfterRings(VARIANT_TRUE);
    EXPECT_FLOAT_EQ(point(25, 0), 5.0f);
}

TEST_F(Scoring, ClipElementsLimitScoreAndAreas)
{
    auto clip = add(elementRectangle, -6, -6, 12, 12);
    clip->put_Clip(VARIANT_TRUE);
    auto area = add(elementEllipse, 6, -2, 4, 4);
    area->put_AreaIndex(2);
    EXPECT_FLOAT_EQ(point(9, 0), 0.0f);
    EXPECT_FLOAT_EQ(point(5, 0), 10.0f);
    int32_t index = 9;
    float cx = 1, cy = 1;
    ASSERT_EQ(event->GetPointArea(8, 0, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(cx, 0);
    clip->put_Width(20);
    ASSERT_EQ(event->GetPointArea(8, 0, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(cx, 8);
    EXPECT_EQ(cy, 0);

    // A clip element checked after the rings limits the areas, not the score.
    clip->put_Width(12);
    clip->put_CalcAfterRings(VARIANT_TRUE);
    EXPECT_GT(point(9, 0), 9.0f);
    ASSERT_EQ(event->GetPointArea(8, 0, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(event->GetPointArea(60, 0, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, -1);
}

TEST_F(Scoring, NearestAreaPrefersTheLaterElementOnTies)
{
    int32_t index = 9;
    float cx = 1, cy = 1;
    ASSERT_EQ(event->GetNearestArea(0, 0, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(cx, 0);
    auto left = add(elementEllipse, -12, -2, 4, 4);
    left->put_AreaIndex(1);
    auto right = add(elementEllipse, 8, -2, 4, 4);
    right->put_AreaIndex(2);
    ASSERT_EQ(event->GetNearestArea(0, 0, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(cx, 10);
    ASSERT_EQ(event->GetNearestArea(-1, 0, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(event->GetNearestArea(0, 51, 1, &index, &cx, &cy), S_OK);
    EXPECT_EQ(index, -1);
}

TEST_F(Scoring, SubTargetOutOfRangeIsRefused)
{
    float s = 7;
    EXPECT_EQ(event->GetPointScore(0, 0, 2, &s), E_INVALIDARG);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(event->GetBreachScore(0, 0, 0, &s), E_INVALIDARG);
    int32_t index = 0;
    float cx = 1, cy = 1;
    EXPECT_EQ(event->GetPointArea(0, 0, -1, &index, &cx, &cy), E_INVALIDARG);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(event->GetNearestArea(0, 0, 2, &index, &cx, &cy), E_INVALIDARG);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(event->GetNearestArea(0, 0, 1, &index, nullptr, &cy), E_POINTER);
}

} // namespace
