#include "com/numeric.h"
#include "com/oledate.h"
#include "com/olecolor.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

DateFields fields(DATE d)
{
    DateFields f;
    EXPECT_TRUE(dateToFields(d, &f)) << d;
    return f;
}

TEST(OleDate, KnownDays)
{
    DateFields f = fields(0.0);
    EXPECT_EQ(f.year * 10000 + f.month * 100 + f.day, 18991230);
    f = fields(2.0);
    EXPECT_EQ(f.year * 10000 + f.month * 100 + f.day, 19000101);
    EXPECT_EQ(f.dayOfWeek, 1); // a Monday
    f = fields(60.0);
    EXPECT_EQ(f.month * 100 + f.day, 228); // 1900 was no leap year
    f = fields(36526.75);
    EXPECT_EQ(f.year * 10000 + f.month * 100 + f.day, 20000101);
    EXPECT_EQ(f.hour, 18);
}

TEST(OleDate, NegativeDatesCountTheTimeForward)
{
    DateFields f = fields(-1.25);
    EXPECT_EQ(f.year * 10000 + f.month * 100 + f.day, 18991229);
    EXPECT_EQ(f.hour, 6);
}

TEST(OleDate, RoundsToTheNearestSecondAcrossMidnight)
{
    DateFields f = fields(1.0 - 0.4 / 86400.0); // 1899-12-30 23:59:59.6
    EXPECT_EQ(f.day, 31);
    EXPECT_EQ(f.hour * 3600 + f.minute * 60 + f.second, 0);
    f = fields(1.0 - 0.6 / 86400.0);
    EXPECT_EQ(f.hour * 3600 + f.minute * 60 + f.second, 86399);
}

TEST(OleDate, ValidRangeAndRoundTrip)
{
    DateFields f;
    EXPECT_TRUE(dateToFields(kMinOleDate, &f));
    EXPECT_EQ(f.year, 100);
    EXPECT_TRUE(dateToFields(kMaxOleDate + 0.5, &f));
    EXPECT_EQ(f.year * 10000 + f.month * 100 + f.day, 99991231);
    EXPECT_FALSE(dateToFields(kMinOleDate - 1, &f));
    EXPECT_FALSE(dateToFields(kMaxOleDate + 1, &f));
    EXPECT_FALSE(dateToFields(std::nan(""), &f));
    DateFields in;
    in.year = 2026;
    in.month = 12;
    in.day = 8;
    in.hour = 19;
    in.minute = 47;
    in.second = 26;
    DATE d;
    ASSERT_TRUE(fieldsToDate(in, &d));
    DateFields back = fields(d);
    EXPECT_EQ(back.year, 2026);
    EXPECT_EQ(back.second, 26);
    in.day = 32;
    EXPECT_FALSE(fieldsToDate(in, &d));
}

TEST(OleColor, PlainAndSystemColours)
{
    COLORREF c;
    ASSERT_EQ(translateColor(0x00112233, &c), S_OK);
    EXPECT_EQ(c, 0x00112233u);
    ASSERT_EQ(translateColor(0x80000005, &c), S_OK); // window background
    EXPECT_EQ(c, rgb(255, 255, 255));
    EXPECT_EQ(translateColor(0x800000FF, &c), E_INVALIDARG);
    EXPECT_EQ(translateColor(0x01000003, &c), E_INVALIDARG);
}

TEST(Rounding, HalfToEvenOnTheSinglePrecisionProduct)
{
    int32_t v;
    ASSERT_TRUE(toHundredths(0.125f, &v)); // 12.5 exactly
    EXPECT_EQ(v, 12);
    ASSERT_TRUE(toHundredths(0.135f, &v)); // 13.5 in float arithmetic
    EXPECT_EQ(v, 14);
    ASSERT_TRUE(toHundredths(-1.005f, &v));
    EXPECT_EQ(v, -100); // 1.005f is below 1.005, so the product rounds down
    EXPECT_FALSE(toHundredths(std::nanf(""), &v));
    EXPECT_FALSE(toHundredths(3e7f, &v));
    EXPECT_EQ(roundSaturated(1e20), INT32_MAX);
    // The truncating form of the device's corrections is a function of its own.
    ASSERT_TRUE(truncToHundredths(1.239f, &v));
    EXPECT_EQ(v, 123);
    ASSERT_TRUE(truncToHundredths(0.29f, &v));
    EXPECT_EQ(v, 29);
    ASSERT_TRUE(truncToHundredths(-0.29f, &v));
    EXPECT_EQ(v, -29);
    ASSERT_TRUE(truncToHundredths(0.135f, &v));
    EXPECT_EQ(v, 13);
    EXPECT_FALSE(truncToHundredths(3e9f, &v));
    EXPECT_FALSE(truncToHundredths(std::nanf(""), &v));
    EXPECT_EQ(roundSaturated(std::nan(""), -7), -7);
}

} // namespace
