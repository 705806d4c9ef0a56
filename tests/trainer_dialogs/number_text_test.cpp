// Numbers typed into dialog fields: plain decimals only, in the C locale or the user's.
#include "number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kavro::trainer {
namespace {

TEST(ParseDecimal, TakesPlainDecimalsWithBlanksAndTabsAround)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(parseDecimal("0", english), 0.0);
    EXPECT_EQ(parseDecimal(" \t2.5\t ", english), 2.5);
    EXPECT_EQ(parseDecimal("-.5", english), -0.5);
    EXPECT_EQ(parseDecimal("+3.", english), 3.0);
    EXPECT_EQ(parseDecimal("1e-05", english), 1e-05); // what "%g" writes for small values
    EXPECT_EQ(parseDecimal("2.5E+1", english), 25.0);
}

TEST(ParseDecimal, RefusesEverythingElse)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const char* text : {"",         " ",     "abc",    "0a",      "0 a",   "2.5.1", ".",     "-",   "+",
                             "e5",       "1.5e",  "1e+",    "0x10",    "0X1p3", "inf",   "-inf",  "nan", "NaN",
                             "infinity", "1e999", "-1e400", "1,000.5", "1 000", "2.5\n", "\n2.5", "2,5"})
        EXPECT_FALSE(parseDecimal(QString::fromUtf8(text), english).has_value()) << text;
    // Digits of other scripts are not plain decimal digits.
    EXPECT_FALSE(parseDecimal(QString::fromUtf8("\xEF\xBC\x95"), english).has_value());
    EXPECT_FALSE(parseDecimal(QString::fromUtf8("\xD9\xA5"), english).has_value());
}

TEST(ParseDecimal, TakesTheUsersDecimalSeparatorBesideThePoint)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(parseDecimal("2,5", german), 2.5);
    EXPECT_EQ(parseDecimal("2.5", german), 2.5);
    EXPECT_FALSE(parseDecimal("1.000,5", german).has_value()); // no group separators
    EXPECT_FALSE(parseDecimal("2,5,1", german).has_value());
}

TEST(ParseInteger, TakesSignedDecimalIntegersThatFit)
{
    EXPECT_EQ(parseInteger("12"), 12);
    EXPECT_EQ(parseInteger(" -3\t"), -3);
    EXPECT_EQ(parseInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseInteger("-2147483648"), -2147483647 - 1);
    for (const char* text : {"", "-", "7.0", "2147483648", "99999999999999999999", "0x7", "1e3", "7 7", "7a"})
        EXPECT_FALSE(parseInteger(QString::fromUtf8(text)).has_value()) << text;
}

TEST(FormatSignificant, WritesSixSignificantDigitsWithAPoint)
{
    EXPECT_EQ(formatSignificant(1.23456789), "1.23457");
    EXPECT_EQ(formatSignificant(-2.5), "-2.5");
    EXPECT_EQ(formatSignificant(50), "50");
    EXPECT_EQ(formatSignificant(0.1f), "0.1");
    EXPECT_EQ(formatSignificant(1e-5), "1e-05");
}

} // namespace
} // namespace kavro::trainer
