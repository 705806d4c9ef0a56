#include "draw_geometry.h"

#include <gtest/gtest.h>

using namespace kavro;
using kavro::target::DrawGeometry;
using kavro::target::fitRect;

namespace {
const GdiRect kSquareView{-5000, -5000, 5000, 5000}; // 100 mm
}

TEST(DrawGeometry, WideWindowFitsTheSquareViewInTheMiddle)
{
    DrawGeometry g({0, 0, 200, 100}, kSquareView);
    EXPECT_EQ(g.fitted(), (GdiRect{50, 0, 150, 100}));
    EXPECT_EQ(g.map(0, 0), (GdiPoint{100, 50}));
    EXPECT_EQ(g.map(-5000, -5000), (GdiPoint{50, 0}));
    EXPECT_EQ(g.length(450), 4); // 4.5 mm at 1 px per mm, truncated
}

TEST(DrawGeometry, TallWindowGetsBarsAboveAndBelow)
{
    // A = 1000; 100 * 1000 / 301 = 332 < 1000: d = (301 - 100 + 1) / 2 = 101.
    EXPECT_EQ(fitRect({0, 0, 100, 301}, 10000, 10000), (GdiRect{0, 101, 100, 200}));
    // Odd remainders round the bars up: (201 - 100 + 1) / 2 = 51 on each side.
    EXPECT_EQ(fitRect({0, 0, 201, 100}, 10000, 10000), (GdiRect{51, 0, 150, 100}));
}

TEST(DrawGeometry, MappingTruncatesPerAxisAndHonoursTheBufferOffset)
{
    DrawGeometry g({10, 20, 310, 220}, {-3000, -1000, 3000, 1000}, {10, 20});
    // 300 x 200 px for 60 x 20 mm: the view is wider, bars above and below.
    EXPECT_EQ(g.fitted(), (GdiRect{10, 70, 310, 170}));
    // (1 - -3000) * 300 / 6000 = 150.05 -> 150; then + 10 - 10.
    EXPECT_EQ(g.map(1, 0), (GdiPoint{150, 100}));
    EXPECT_EQ(g.map(-1, 0), (GdiPoint{149, 100}));
    // Lengths use the tighter ratio: 300 / 6000 and 100 / 2000 are both 0 as integers, so the
    // vertical one is taken: 1000 * 100 / 2000.
    EXPECT_EQ(g.length(1000), 50);
}

TEST(DrawGeometry, LengthScaleComparesTruncatedQuotients)
{
    // 400 px over 100 units (4) against 150 px over 100 units (1, from 1.5): the vertical ratio.
    DrawGeometry g({0, 0, 400, 150}, {0, 0, 100, 100});
    EXPECT_EQ(g.fitted(), (GdiRect{125, 0, 275, 150}));
    EXPECT_EQ(g.length(10), 15);
}

TEST(DrawGeometry, ZeroSizesNeverDivide)
{
    DrawGeometry emptyView({0, 0, 200, 100}, {0, 0, 0, 0});
    EXPECT_EQ(emptyView.fitted(), (GdiRect{0, 0, 200, 100}));
    EXPECT_EQ(emptyView.map(123, 456), (GdiPoint{0, 0}));
    EXPECT_EQ(emptyView.length(1000), 0);

    DrawGeometry noWindow({0, 0, 0, 0}, kSquareView);
    EXPECT_EQ(noWindow.fitted(), (GdiRect{0, 0, 0, 0}));
    EXPECT_EQ(noWindow.length(1000), 0);
    EXPECT_EQ(noWindow.toPlane(5, 5), (GdiPoint{-5000, -5000}));
    EXPECT_EQ(noWindow.visibleWidthFromFit(), 10000);

    // A view so narrow that its aspect truncates to 0 still fits without a division by zero.
    EXPECT_NO_FATAL_FAILURE(fitRect({0, 0, 200, 100}, 1, 100000));
}

TEST(DrawGeometry, HugeCoordinatesUse64BitProducts)
{
    DrawGeometry g({0, 0, 4000, 4000}, {-2000000000, -2000000000, 2000000000, 2000000000});
    EXPECT_EQ(g.map(2000000000, 0), (GdiPoint{4000, 2000}));
}

TEST(DrawGeometry, PixelsMapBackToThePlane)
{
    DrawGeometry g({0, 0, 200, 100}, kSquareView);
    EXPECT_EQ(g.toPlane(100, 50), (GdiPoint{0, 0}));
    EXPECT_EQ(g.toPlane(50, 0), (GdiPoint{-5000, -5000}));
    EXPECT_EQ(g.visibleWidthFromFit(), 10000);
}
