#include "com/variant.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

Variant convert(const Variant& v, VARTYPE to, HRESULT expected = S_OK)
{
    Variant out;
    EXPECT_EQ(v.changeType(to, &out), expected);
    return out;
}

TEST(VariantConversion, FloatsToIntegersRoundHalfToEven)
{
    EXPECT_EQ(convert(Variant(2.5), VT_I4).integer(), 2);
    EXPECT_EQ(convert(Variant(3.5), VT_I4).integer(), 4);
    EXPECT_EQ(convert(Variant(-2.5), VT_I4).integer(), -2);
    EXPECT_EQ(convert(Variant(2.5f), VT_I2).integer(), 2);
    EXPECT_EQ(convert(Variant::fromCurrency(25000), VT_I4).integer(), 2); // 2.5 in currency units
}

TEST(VariantConversion, OverflowIsReportedNotWrapped)
{
    convert(Variant(300), VT_UI1, DISP_E_OVERFLOW);
    convert(Variant(-1), VT_UI4, DISP_E_OVERFLOW);
    convert(Variant(3e10), VT_I4, DISP_E_OVERFLOW);
    convert(Variant(std::nan("")), VT_I4, DISP_E_OVERFLOW);
    convert(Variant(1e300), VT_R4, DISP_E_OVERFLOW);
    EXPECT_EQ(convert(Variant(255), VT_UI1).integer(), 255);
    EXPECT_EQ(convert(Variant("-2147483648"), VT_I4).integer(), INT32_MIN);
    convert(Variant("2147483648"), VT_I4, DISP_E_OVERFLOW);
}

TEST(VariantConversion, TextUsesTheCLocaleWhateverTheUserLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(convert(Variant(1.25), VT_BSTR).bstr(), "1.25");
    EXPECT_FLOAT_EQ(convert(Variant(" 1.5 "), VT_R4).r4(), 1.5f);
    convert(Variant("1,5"), VT_R8, DISP_E_TYPEMISMATCH);
    convert(Variant("abc"), VT_I4, DISP_E_TYPEMISMATCH);
    convert(Variant(""), VT_I4, DISP_E_TYPEMISMATCH);
    QLocale::setDefault(QLocale::c());
}

TEST(VariantConversion, TextRoundTripsEveryNumericTypeExactly)
{
    const Variant values[] = {
        Variant(0.1f),
        Variant(1.0 / 3.0),
        Variant::fromInteger(VT_I8, INT64_MIN),
        Variant::fromInteger(VT_UI8, -1),
        Variant::fromInteger(VT_I1, -128),
        Variant::fromCurrency(-12345678),
        Variant::fromBool(true),
        Variant::fromBool(false),
        Variant::fromDate(45000.5),
    };
    for (const Variant& v : values) {
        Variant text = convert(v, VT_BSTR);
        EXPECT_EQ(convert(text, v.vt()), v) << text.bstr().toStdString();
    }
}

TEST(VariantConversion, BooleansAndEmpty)
{
    EXPECT_EQ(convert(Variant(5), VT_BOOL).integer(), VARIANT_TRUE);
    EXPECT_EQ(convert(Variant::fromBool(true), VT_I4).integer(), -1);
    EXPECT_EQ(convert(Variant("true"), VT_BOOL).integer(), VARIANT_TRUE);
    EXPECT_EQ(convert(Variant(), VT_I4).integer(), 0);
    EXPECT_EQ(convert(Variant(), VT_BSTR).bstr(), "");
    convert(Variant::null(), VT_BSTR, DISP_E_TYPEMISMATCH);
    convert(Variant::fromError(5), VT_I4, DISP_E_TYPEMISMATCH);
}

QString decimalText(const char* text, HRESULT expected = S_OK)
{
    Variant d = convert(Variant(text), VT_DECIMAL, expected);
    if (FAILED(expected))
        return QStringLiteral("<failed>");
    EXPECT_EQ(d.vt(), VT_DECIMAL) << text;
    return convert(d, VT_BSTR).bstr();
}

TEST(VariantDecimal, TextKeepsEveryDigitTheTypeHolds)
{
    EXPECT_EQ(decimalText("12.5"), "12.5");
    EXPECT_EQ(decimalText(" +0012.500 "), "12.5");
    EXPECT_EQ(decimalText("-0.000"), "0");
    EXPECT_EQ(decimalText("1.5e3"), "1500");
    EXPECT_EQ(decimalText("25E-3"), "0.025");
    EXPECT_EQ(decimalText("79228162514264337593543950335"), "79228162514264337593543950335");
    EXPECT_EQ(decimalText("-79228162514264337593543950335"), "-79228162514264337593543950335");
    decimalText("79228162514264337593543950336", DISP_E_OVERFLOW);
    decimalText("1e29", DISP_E_OVERFLOW);
    decimalText("1e100000000000", DISP_E_OVERFLOW);
    decimalText("12,5", DISP_E_TYPEMISMATCH);
    decimalText("1e", DISP_E_TYPEMISMATCH);
    decimalText(".", DISP_E_TYPEMISMATCH);
    // Beyond 28 decimals, and beyond 96 bits of digits, the rest rounds half to even, once.
    EXPECT_EQ(decimalText("0.00000000000000000000000000005"), "0");
    EXPECT_EQ(decimalText("0.00000000000000000000000000015"), "0.0000000000000000000000000002");
    EXPECT_EQ(decimalText("0.000000000000000000000000000051"), "0.0000000000000000000000000001");
    EXPECT_EQ(decimalText("1e-100000000000"), "0");
    EXPECT_EQ(decimalText("7922816251426433759354395033.46"), "7922816251426433759354395033.5");
    // Past the largest mantissa the nearest value the type holds is that mantissa.
    EXPECT_EQ(decimalText("7922816251426433759354395033.56"), "7922816251426433759354395033.5");
    EXPECT_EQ(decimalText("79228162514264337593543950334.46"), "79228162514264337593543950334");
    EXPECT_EQ(decimalText("79228162514264337593543950334.5"), "79228162514264337593543950334");
    EXPECT_EQ(decimalText("79228162514264337593543950335.4999"), "79228162514264337593543950335");
    EXPECT_EQ(decimalText("79228162514264337593543950335.5"), "79228162514264337593543950335");
    EXPECT_EQ(decimalText("1.000000000000000000000000000049"), "1");
    EXPECT_EQ(decimalText("1.00000000000000000000000000049"), "1.0000000000000000000000000005");
}

TEST(VariantDecimal, ConvertsToAndFromNumbers)
{
    Variant d = convert(Variant("12.5"), VT_DECIMAL);
    EXPECT_EQ(convert(d, VT_R8).r8(), 12.5);
    EXPECT_EQ(convert(d, VT_I4).integer(), 12); // half to even
    EXPECT_EQ(convert(d, VT_BOOL).integer(), VARIANT_TRUE);
    EXPECT_EQ(convert(d, VT_CY).integer(), 125000);
    EXPECT_EQ(convert(Variant::fromInteger(VT_I8, INT64_MIN), VT_DECIMAL),
              convert(Variant("-9223372036854775808"), VT_DECIMAL));
    EXPECT_EQ(convert(Variant(0.1), VT_DECIMAL), convert(Variant("0.1"), VT_DECIMAL));
    EXPECT_EQ(convert(Variant(0.1f), VT_DECIMAL), convert(Variant("0.1"), VT_DECIMAL));
    EXPECT_EQ(convert(Variant::fromCurrency(-12345678), VT_DECIMAL), convert(Variant("-1234.5678"), VT_DECIMAL));
    convert(Variant(1e30), VT_DECIMAL, DISP_E_OVERFLOW);
    convert(Variant(std::nan("")), VT_DECIMAL, DISP_E_OVERFLOW);
    EXPECT_FALSE(convert(Variant("1.5"), VT_DECIMAL) == convert(Variant("1.25"), VT_DECIMAL));
}

TEST(VariantEquality, NullAndEmptyStringsDiffer)
{
    EXPECT_FALSE(Variant(QString()) == Variant(QStringLiteral("")));
    EXPECT_TRUE(Variant(QStringLiteral("a")) == Variant("a"));
    EXPECT_FALSE(Variant(1) == Variant(1.0));
}

} // namespace
