#include "trace_intervals.h"

#include <gtest/gtest.h>

#include <cmath>

using kavro::target::mergeIntervals;
using kavro::target::TraceInterval;
using kavro::target::TraceIntervals;

namespace {

constexpr OLE_COLOR A = 1; // the trace colour
constexpr OLE_COLOR B = 2; // the after-shot colour
constexpr OLE_COLOR C = 3;

std::vector<TraceInterval> withDefaults(std::initializer_list<TraceInterval> added)
{
    std::vector<TraceInterval> list{{A, -1000, 0}, {B, 0, 1000}};
    list.insert(list.end(), added);
    return mergeIntervals(list);
}

} // namespace

TEST(IntervalMerge, DefaultsStayAsTheyAre)
{
    EXPECT_EQ(withDefaults({}), (std::vector<TraceInterval>{{A, -1000, 0}, {B, 0, 1000}}));
}

TEST(IntervalMerge, IntervalInsideSplitsTheEarlierOne)
{
    EXPECT_EQ(withDefaults({{C, -1.0f, -0.5f}}),
              (std::vector<TraceInterval>{{A, -1000, -1}, {C, -1, -0.5f}, {A, -0.5f, 0}, {B, 0, 1000}}));
}

TEST(IntervalMerge, TouchingIntervalLeavesTheFirstWholeAndCutsTheSecond)
{
    EXPECT_EQ(withDefaults({{C, 0, 0.5f}}), (std::vector<TraceInterval>{{A, -1000, 0}, {C, 0, 0.5f}, {B, 0.5f, 1000}}));
}

TEST(IntervalMerge, ReversedIntervalIsUsedSwapped)
{
    EXPECT_EQ(withDefaults({{C, 0.5f, 0}}), withDefaults({{C, 0, 0.5f}}));
}

TEST(IntervalMerge, CoveringIntervalRemovesTheEarlierOne)
{
    EXPECT_EQ(withDefaults({{C, -2000, 1}}), (std::vector<TraceInterval>{{C, -2000, 1}, {B, 1, 1000}}));
    // An equal interval removes it too.
    EXPECT_EQ(mergeIntervals({{A, 0, 1}, {C, 0, 1}}), (std::vector<TraceInterval>{{C, 0, 1}}));
}

TEST(IntervalMerge, CoincidingEnds)
{
    // Starts together, ends inside: the earlier one starts at the later one's end.
    EXPECT_EQ(mergeIntervals({{A, 0, 10}, {C, 0, 4}}), (std::vector<TraceInterval>{{C, 0, 4}, {A, 4, 10}}));
    // Starts inside, ends together: cut, no copy.
    EXPECT_EQ(mergeIntervals({{A, 0, 10}, {C, 6, 10}}), (std::vector<TraceInterval>{{A, 0, 6}, {C, 6, 10}}));
    // An empty later interval strictly inside splits the earlier one and stays.
    EXPECT_EQ(mergeIntervals({{A, 0, 10}, {C, 5, 5}}), (std::vector<TraceInterval>{{A, 0, 5}, {A, 5, 10}, {C, 5, 5}}));
    // An empty earlier interval goes under any later interval holding it.
    EXPECT_EQ(mergeIntervals({{A, 5, 5}, {C, 5, 8}}), (std::vector<TraceInterval>{{C, 5, 8}}));
}

TEST(IntervalMerge, NaNBoundsCompareFalse)
{
    const float nan = std::nanf("");
    // Without a number on either side the interval cuts nothing.
    std::vector<TraceInterval> merged = withDefaults({{C, nan, nan}});
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0], (TraceInterval{A, -1000, 0}));
    EXPECT_EQ(merged[1], (TraceInterval{B, 0, 1000}));
    EXPECT_EQ(merged[2].color, C);
    // And a later interval covering everything does not remove it.
    merged = mergeIntervals({{A, nan, 1}, {C, -1000, 1000}});
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0].color, A);
}

TEST(IntervalMerge, DisjointIntervalsAreOrderedByStart)
{
    EXPECT_EQ(mergeIntervals({{C, 7, 9}, {B, 5, 6}, {A, 1, 2}}),
              (std::vector<TraceInterval>{{A, 1, 2}, {B, 5, 6}, {C, 7, 9}}));
}

TEST(TraceIntervals, ColourSettersRewriteTheDefaultsAndRebuild)
{
    TraceIntervals list;
    list.reset(A, B);
    EXPECT_EQ(list.merged(), (std::vector<TraceInterval>{{A, -1000, 0}, {B, 0, 1000}}));
    list.setColor(0, C);
    EXPECT_EQ(list.merged()[0].color, C);
    list.add({A, -1, 1});
    EXPECT_EQ(list.merged(), (std::vector<TraceInterval>{{C, -1000, -1}, {A, -1, 1}, {B, 1, 1000}}));
}
