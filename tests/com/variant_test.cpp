#include "com/variant.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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

// One row per road through a change of type: a swapped or lost branch changes a row's result.
struct ChangeCase {
    const char* what;
    Variant from;
    VARTYPE to;
    HRESULT hr;
    Variant expected; // compared when hr is S_OK
};

void checkChanges(const std::vector<ChangeCase>& cases)
{
    for (const ChangeCase& c : cases) {
        Variant out = Variant::fromError(12345);
        EXPECT_EQ(c.from.changeType(c.to, &out), c.hr) << c.what;
        if (c.hr == S_OK) {
            EXPECT_EQ(out, c.expected) << c.what << ": got type " << out.vt();
        } else {
            EXPECT_EQ(out, Variant::fromError(12345)) << c.what << ": a failed change leaves the output";
        }
    }
}

Variant i4(int32_t v)
{
    return Variant(v);
}
Variant integer(VARTYPE vt, int64_t v)
{
    return Variant::fromInteger(vt, v);
}

TEST(VariantChangeType, SameTypeEmptyNullErrorObjectsAndArrays)
{
    auto object = Variant::fromObject(nullptr, VT_DISPATCH);
    checkChanges({
        {"same type is a copy", Variant("x"), VT_BSTR, S_OK, Variant("x")},
        {"same type keeps a null string", Variant(QString()), VT_BSTR, S_OK, Variant(QString())},
        {"anything empties", i4(7), VT_EMPTY, S_OK, Variant()},
        {"even null empties", Variant::null(), VT_EMPTY, S_OK, Variant()},
        {"even an error empties", Variant::fromError(3), VT_EMPTY, S_OK, Variant()},
        {"null to a number", Variant::null(), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"a number to null", i4(1), VT_NULL, DISP_E_TYPEMISMATCH, {}},
        {"an error to text", Variant::fromError(3), VT_BSTR, DISP_E_TYPEMISMATCH, {}},
        {"a number to an error", i4(1), VT_ERROR, DISP_E_TYPEMISMATCH, {}},
        {"null to an array", Variant::null(), VT_ARRAY | VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"dispatch to unknown", object, VT_UNKNOWN, S_OK, Variant::fromObject(nullptr, VT_UNKNOWN)},
        {"an object to a number", object, VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"a number to an object", i4(1), VT_DISPATCH, DISP_E_TYPEMISMATCH, {}},
        {"text to an object", Variant("x"), VT_UNKNOWN, DISP_E_TYPEMISMATCH, {}},
        {"to an array", i4(1), VT_ARRAY | VT_I4, DISP_E_BADVARTYPE, {}},
        {"to a reference", i4(1), VT_BYREF | VT_I4, DISP_E_BADVARTYPE, {}},
        {"to a type with no value", i4(1), VT_VARIANT, DISP_E_BADVARTYPE, {}},
        {"empty to a type with no value", Variant(), VT_VARIANT, DISP_E_BADVARTYPE, {}},
    });
}

TEST(VariantChangeType, EveryTypeToText)
{
    checkChanges({
        {"empty", Variant(), VT_BSTR, S_OK, Variant(QStringLiteral(""))},
        {"true", Variant::fromBool(true), VT_BSTR, S_OK, Variant("True")},
        {"false", Variant::fromBool(false), VT_BSTR, S_OK, Variant("False")},
        {"single", Variant(0.1f), VT_BSTR, S_OK, Variant("0.1")},
        {"double", Variant(0.1), VT_BSTR, S_OK, Variant("0.1")},
        {"whole double", Variant(3.0), VT_BSTR, S_OK, Variant("3")},
        {"currency", Variant::fromCurrency(12345678), VT_BSTR, S_OK, Variant("1234.5678")},
        {"whole currency", Variant::fromCurrency(10000), VT_BSTR, S_OK, Variant("1")},
        {"negative currency", Variant::fromCurrency(-5000), VT_BSTR, S_OK, Variant("-0.5")},
        {"date", Variant::fromDate(45351.0), VT_BSTR, S_OK, Variant("2024-02-29")},
        {"date and time", Variant::fromDate(2.5), VT_BSTR, S_OK, Variant("1900-01-01 12:00:00")},
        {"date out of range", Variant::fromDate(1e10), VT_BSTR, DISP_E_OVERFLOW, {}},
        {"largest unsigned", integer(VT_UI8, -1), VT_BSTR, S_OK, Variant("18446744073709551615")},
        {"smallest signed", integer(VT_I8, INT64_MIN), VT_BSTR, S_OK, Variant("-9223372036854775808")},
        {"signed byte", integer(VT_I1, -128), VT_BSTR, S_OK, Variant("-128")},
        {"unsigned int", integer(VT_UINT, 4294967295), VT_BSTR, S_OK, Variant("4294967295")},
    });
}

TEST(VariantChangeType, NumbersBetweenNumericTypes)
{
    const double uint64Max = 18446744073709551615.0;
    checkChanges({
        {"empty to integer", Variant(), VT_I4, S_OK, i4(0)},
        {"empty to double", Variant(), VT_R8, S_OK, Variant(0.0)},
        {"empty to bool", Variant(), VT_BOOL, S_OK, Variant::fromBool(false)},
        {"true to integer", Variant::fromBool(true), VT_I2, S_OK, integer(VT_I2, -1)},
        {"true to double", Variant::fromBool(true), VT_R8, S_OK, Variant(-1.0)},
        {"true to unsigned byte", Variant::fromBool(true), VT_UI1, DISP_E_OVERFLOW, {}},
        {"single to double", Variant(0.1f), VT_R8, S_OK, Variant(double(0.1f))},
        {"single to short", Variant(2.5f), VT_I2, S_OK, integer(VT_I2, 2)},
        {"infinite single stays", Variant(double(INFINITY)), VT_R4, S_OK, Variant(float(INFINITY))},
        {"date to double", Variant::fromDate(45000.5), VT_R8, S_OK, Variant(45000.5)},
        {"double to date", Variant(45000.5), VT_DATE, S_OK, Variant::fromDate(45000.5)},
        {"before the first date", Variant(-657435.0), VT_DATE, DISP_E_OVERFLOW, {}},
        {"after the last date", Variant(2958466.0), VT_DATE, DISP_E_OVERFLOW, {}},
        {"last moment of the last date", Variant(2958465.5), VT_DATE, S_OK, Variant::fromDate(2958465.5)},
        {"whole currency to integer", Variant::fromCurrency(30000), VT_I4, S_OK, i4(3)},
        {"currency to double", Variant::fromCurrency(12345), VT_R8, S_OK, Variant(1.2345)},
        {"zero currency to bool", Variant::fromCurrency(0), VT_BOOL, S_OK, Variant::fromBool(false)},
        {"tiny currency to bool", Variant::fromCurrency(1), VT_BOOL, S_OK, Variant::fromBool(true)},
        {"double to currency rounds", Variant(1.23456), VT_CY, S_OK, Variant::fromCurrency(12346)},
        {"currency overflows", Variant(1e15), VT_CY, DISP_E_OVERFLOW, {}},
        {"largest unsigned to double", integer(VT_UI8, -1), VT_R8, S_OK, Variant(uint64Max)},
        {"largest unsigned to signed", integer(VT_UI8, -1), VT_I8, DISP_E_OVERFLOW, {}},
        {"unsigned above signed", integer(VT_UI8, INT64_MIN), VT_UI4, DISP_E_OVERFLOW, {}},
        {"negative to unsigned", integer(VT_I1, -1), VT_UI2, DISP_E_OVERFLOW, {}},
        {"beyond a short", integer(VT_UI2, 65535), VT_I2, DISP_E_OVERFLOW, {}},
        {"int to long", integer(VT_INT, -7), VT_I4, S_OK, i4(-7)},
        {"long to unsigned int", i4(7), VT_UINT, S_OK, integer(VT_UINT, 7)},
        {"integer to single", i4(-3), VT_R4, S_OK, Variant(-3.0f)},
        {"minus a half to unsigned", Variant(-0.5), VT_UI4, S_OK, integer(VT_UI4, 0)},
        {"largest unsigned int", Variant(4294967295.4), VT_UI4, S_OK, integer(VT_UI4, 4294967295)},
        {"just past it", Variant(4294967295.5), VT_UI4, DISP_E_OVERFLOW, {}},
        {"double to unsigned 64", Variant(9.2e18), VT_UI8, S_OK, integer(VT_UI8, int64_t(9200000000000000000u))},
        {"past unsigned 64", Variant(uint64Max), VT_UI8, DISP_E_OVERFLOW, {}},
        {"short to decimal", integer(VT_I2, -12), VT_DECIMAL, S_OK, convert(Variant("-12"), VT_DECIMAL)},
    });
}

TEST(VariantChangeType, TextToEveryType)
{
    checkChanges({
        {"True", Variant(" TRUE "), VT_BOOL, S_OK, Variant::fromBool(true)},
        {"false", Variant("false"), VT_BOOL, S_OK, Variant::fromBool(false)},
        {"a number to bool", Variant("0"), VT_BOOL, S_OK, Variant::fromBool(false)},
        {"no word for bool", Variant("yes"), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
        {"no decimal", Variant("x"), VT_DECIMAL, DISP_E_TYPEMISMATCH, {}},
        {"date", Variant("2024-02-29"), VT_DATE, S_OK, Variant::fromDate(45351.0)},
        {"no such day", Variant("2023-02-29"), VT_DATE, DISP_E_TYPEMISMATCH, {}},
        {"a number to date", Variant("45000.5"), VT_DATE, S_OK, Variant::fromDate(45000.5)},
        {"date text to integer", Variant("2024-02-29"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {"exponent to integer", Variant("1e3"), VT_I4, S_OK, i4(1000)},
        {"largest unsigned exactly", Variant("18446744073709551615"), VT_UI8, S_OK, integer(VT_UI8, -1)},
        {"smallest signed exactly", Variant("-9223372036854775808"), VT_I8, S_OK, integer(VT_I8, INT64_MIN)},
        {"currency", Variant("2.5"), VT_CY, S_OK, Variant::fromCurrency(25000)},
        {"single", Variant("0.1"), VT_R4, S_OK, Variant(0.1f)},
        {"to a type with no value", Variant("1"), VT_VARIANT, DISP_E_BADVARTYPE, {}},
    });
}

TEST(VariantEquality, NullAndEmptyStringsDiffer)
{
    EXPECT_FALSE(Variant(QString()) == Variant(QStringLiteral("")));
    EXPECT_TRUE(Variant(QStringLiteral("a")) == Variant("a"));
    EXPECT_FALSE(Variant(1) == Variant(1.0));
}

} // namespace
