#include "doc_helpers.h"
#include "random_offset.h"
#include "shot_navigation.h"

#include "com/crt_random.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(CrtRandom, GivesTheFifteenBitSequenceOfSeedOne)
{
    kavro::CrtRandom r;
    EXPECT_EQ(r.next(), 41);
    EXPECT_EQ(r.next(), 18467);
    EXPECT_EQ(r.next(), 6334);
    r.seed(1);
    EXPECT_EQ(r.next(), 41);
}

TEST(RandomOffset, ScalesTheTableEntryByTheRadius)
{
    kavro::CrtRandom r; // first draw 41: 41 * 59 / 32767 = 0, the entry (0, 50)
    RandomOffsetTable table(r);
    const auto [x, y] = table.next(10.0f);
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_FLOAT_EQ(y, 5.0f);
}

TEST(RandomOffset, EachRoundUsesEveryEntryOnce)
{
    kavro::CrtRandom r(12345);
    RandomOffsetTable table(r);
    for (int round = 0; round < 3; ++round) {
        std::set<std::pair<float, float>> seen; // the 60 table points are distinct
        for (int i = 0; i < 60; ++i)
            seen.insert(table.next(100.0f));
        EXPECT_EQ(seen.size(), 60u) << "round " << round;
    }
}

TEST(RandomOffset, TheSixtyFirstDrawStartsAFreshRoundAtTheDrawnEntry)
{
    kavro::CrtRandom r(777);
    RandomOffsetTable table(r);
    for (int i = 0; i < 60; ++i)
        table.next(100.0f);
    const auto sixtyFirst = table.next(100.0f);

    // A fresh table whose first draw is that 61st random number takes the drawn entry as is.
    kavro::CrtRandom r2(777);
    for (int i = 0; i < 60; ++i)
        r2.next();
    RandomOffsetTable fresh(r2);
    EXPECT_EQ(sixtyFirst, fresh.next(100.0f));
}

TEST(SeriesStep, SightingsFormTheirOwnSeriesBeforeTheMatch)
{
    // 3 sighting shots, series of 10, sightings in the list.
    EXPECT_EQ(seriesStepTarget(2, 2, 10, 3), 3);
    EXPECT_EQ(seriesStepTarget(3, 2, 10, 3), 13);
    EXPECT_EQ(seriesStepTarget(4, -2, 10, 3), 1);
    EXPECT_EQ(seriesStepTarget(15, -2, 10, 3), 14);
}

TEST(SeriesStep, WithoutSightingsSeriesCountFromTheFirstShot)
{
    EXPECT_EQ(seriesStepTarget(10, 2, 10, 0), 20);
    EXPECT_EQ(seriesStepTarget(11, -2, 10, 0), 1);
    EXPECT_EQ(seriesStepTarget(12, -2, 10, 0), 11);
    EXPECT_EQ(seriesStepTarget(1, 2, 10, 0), 10);
}

TEST(TargetKind, ByExactShortName)
{
    EXPECT_EQ(targetKindOfShortName(QStringLiteral("BTLN")), 2);
    EXPECT_EQ(targetKindOfShortName(QStringLiteral("btln")), 1);
    EXPECT_EQ(targetKindOfShortName(QStringLiteral("MRF-32-8")), 10);
    EXPECT_EQ(targetKindOfShortName(QStringLiteral("N4TL15")), 8);
    EXPECT_EQ(targetKindOfShortName(QStringLiteral("AR10")), 1);
}

TEST(ElapsedTime, ShortFormDropsZeroHours)
{
    EXPECT_EQ(AppendElapsedTime(65.0 / 86400, true), QStringLiteral("01:05"));
    EXPECT_EQ(AppendElapsedTime(65.0 / 86400, false), QStringLiteral("00:01:05"));
    EXPECT_EQ(AppendElapsedTime(3725.0 / 86400, true), QStringLiteral("01:02:05"));
}

} // namespace
