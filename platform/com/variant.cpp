#include "variant.h"

#include "decimal.h"
#include "oledate.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

struct IntRange {
    int64_t min;
    uint64_t max;
};

IntRange rangeOf(VARTYPE vt)
{
    switch (vt) {
    case VT_I1: return {INT8_MIN, INT8_MAX};
    case VT_UI1: return {0, UINT8_MAX};
    case VT_I2: return {INT16_MIN, INT16_MAX};
    case VT_UI2: return {0, UINT16_MAX};
    case VT_I4:
    case VT_INT: return {INT32_MIN, INT32_MAX};
    case VT_UI4:
    case VT_UINT: return {0, UINT32_MAX};
    case VT_I8: return {INT64_MIN, INT64_MAX};
    case VT_UI8: return {0, UINT64_MAX};
    default: return {0, 0};
    }
}

bool isIntegerType(VARTYPE vt)
{
    return rangeOf(vt).max != 0;
}

// A numeric source value: exact when integral, else as a double.
struct Number {
    bool integral = false;
    bool negative = false;
    uint64_t magnitude = 0; // for integral values
    double value = 0;
};

Number integralNumber(int64_t v)
{
    Number n;
    n.integral = true;
    n.negative = v < 0;
    n.magnitude = n.negative ? uint64_t(0) - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    n.value = static_cast<double>(v);
    return n;
}

Number unsignedNumber(uint64_t v)
{
    Number n;
    n.integral = true;
    n.magnitude = v;
    n.value = static_cast<double>(v);
    return n;
}

Number floatingNumber(double v)
{
    Number n;
    n.value = v;
    return n;
}

double valueOf(const Number& n)
{
    if (!n.integral)
        return n.value;
    return n.negative ? -static_cast<double>(n.magnitude) : static_cast<double>(n.magnitude);
}

QString trimmed(const QString& s)
{
    return s.trimmed();
}

// Decimal number text in the C locale (sign, digits, optional point and exponent).
bool parseNumber(const QString& text, double* out)
{
    QByteArray b = trimmed(text).toLatin1();
    if (b.isEmpty())
        return false;
    const char* first = b.constData();
    const char* last = first + b.size();
    if (*first == '+')
        ++first;
    double v = 0;
    auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != last)
        return false;
    *out = v;
    return true;
}

bool parseDateText(const QString& text, DATE* out)
{
    QByteArray b = trimmed(text).toLatin1();
    kavro::DateFields f;
    char tail = 0;
    int n = std::sscanf(b.constData(), "%d-%d-%d %d:%d:%d%c", &f.year, &f.month, &f.day, &f.hour, &f.minute, &f.second,
                        &tail);
    if (n == 3 || n == 6)
        return kavro::fieldsToDate(f, out);
    return false;
}

// Number text already known to parse: whole numbers within 64 bits stay exact (large I8 values
// would lose digits as doubles).
Number numberOfText(const QString& text)
{
    bool ok = false;
    const qlonglong whole = trimmed(text).toLongLong(&ok);
    if (ok)
        return integralNumber(whole);
    const qulonglong uwhole = trimmed(text).toULongLong(&ok);
    if (ok)
        return unsignedNumber(uwhole);
    double v = 0;
    parseNumber(text, &v);
    return floatingNumber(v);
}

// The text a decimal is made from: whole numbers exactly, others with the digits they carry
// (7 for single, 15 for double precision, as a change of type to decimal does).
QString decimalSourceText(VARTYPE from, const Number& n)
{
    if (n.integral)
        return (n.negative ? QStringLiteral("-") : QString()) + QString::number(n.magnitude);
    char buf[40];
    std::snprintf(buf, sizeof buf, from == VT_R4 ? "%.7e" : "%.15e", n.value);
    return QString::fromLatin1(buf);
}

QString formatDouble(double v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, static_cast<int>(r.ptr - buf));
}

QString formatFloat(float v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, static_cast<int>(r.ptr - buf));
}

QString formatCurrency(int64_t scaled)
{
    bool neg = scaled < 0;
    uint64_t mag = neg ? uint64_t(0) - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    QString s = QString::number(mag / 10000);
    uint64_t frac = mag % 10000;
    if (frac) {
        QString f = QString::number(frac).rightJustified(4, QLatin1Char('0'));
        while (f.endsWith(QLatin1Char('0')))
            f.chop(1);
        s += QLatin1Char('.') + f;
    }
    return neg ? QLatin1Char('-') + s : s;
}

QString formatDate(DATE d, bool* ok)
{
    kavro::DateFields f;
    *ok = kavro::dateToFields(d, &f);
    if (!*ok)
        return {};
    char buf[40];
    if (f.hour == 0 && f.minute == 0 && f.second == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", f.year, f.month, f.day);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute,
                      f.second);
    return QString::fromLatin1(buf);
}

} // namespace

Variant Variant::fromBool(bool b)
{
    Variant v;
    v.vt_ = VT_BOOL;
    v.i_ = toVariantBool(b);
    return v;
}

Variant Variant::fromDate(DATE d)
{
    Variant v;
    v.vt_ = VT_DATE;
    v.d_ = d;
    return v;
}

Variant Variant::fromError(int32_t scode)
{
    Variant v;
    v.vt_ = VT_ERROR;
    v.i_ = scode;
    return v;
}

Variant Variant::fromCurrency(int64_t scaled)
{
    Variant v;
    v.vt_ = VT_CY;
    v.i_ = scaled;
    return v;
}

Variant Variant::fromObject(IUnknown* obj, VARTYPE vt)
{
    Variant v;
    v.vt_ = vt == VT_DISPATCH ? VT_DISPATCH : VT_UNKNOWN;
    v.obj_ = obj;
    return v;
}

Variant Variant::null()
{
    Variant v;
    v.vt_ = VT_NULL;
    return v;
}

Variant Variant::fromInteger(VARTYPE vt, int64_t value)
{
    Variant v;
    v.vt_ = vt;
    switch (vt) {
    case VT_I1: v.i_ = static_cast<int8_t>(value); break;
    case VT_UI1: v.i_ = static_cast<uint8_t>(value); break;
    case VT_I2: v.i_ = static_cast<int16_t>(value); break;
    case VT_UI2: v.i_ = static_cast<uint16_t>(value); break;
    case VT_I4:
    case VT_INT: v.i_ = static_cast<int32_t>(value); break;
    case VT_UI4:
    case VT_UINT: v.i_ = static_cast<uint32_t>(value); break;
    case VT_I8:
    case VT_UI8: v.i_ = value; break;
    default: v.vt_ = VT_EMPTY; break;
    }
    return v;
}

bool Variant::isInteger() const
{
    return isIntegerType(vt_);
}

int Variant::fixedSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2: return 2;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8: return 8;
    default: return 0;
    }
}

// The steps of a change of type, one per family of source or target types. Each either
// settles the change or hands the source's numeric value on to the numeric targets.
struct Variant::Conversion {
    static HRESULT toObject(const Variant& v, VARTYPE to, Variant* out);
    static HRESULT toText(const Variant& v, Variant* out);
    static HRESULT fromText(const Variant& v, VARTYPE to, Variant* out);
    static HRESULT numberOf(const Variant& v, Number* n);
    static HRESULT fromNumber(const Variant& v, const Number& n, VARTYPE to, Variant* out);
    static HRESULT toCurrency(const Number& n, Variant* r);
    static HRESULT toDecimal(const Variant& v, const Number& n, Variant* r);
    static HRESULT toInteger(const Number& n, VARTYPE to, Variant* r);
};

HRESULT Variant::changeType(VARTYPE to, Variant* out) const
{
    if (!out)
        return E_POINTER;
    if (to == vt_) {
        *out = *this;
        return S_OK;
    }
    if (to == VT_EMPTY) {
        *out = Variant();
        return S_OK;
    }
    if (vt_ == VT_NULL || to == VT_NULL || vt_ == VT_ERROR || to == VT_ERROR)
        return DISP_E_TYPEMISMATCH;
    if (isObject() || to == VT_UNKNOWN || to == VT_DISPATCH)
        return Conversion::toObject(*this, to, out);
    if ((vt_ & (VT_ARRAY | VT_BYREF)) || (to & (VT_ARRAY | VT_BYREF)))
        return DISP_E_BADVARTYPE;
    if (to == VT_BSTR)
        return Conversion::toText(*this, out);
    if (vt_ == VT_BSTR)
        return Conversion::fromText(*this, to, out);
    Number n;
    if (HRESULT hr = Conversion::numberOf(*this, &n); FAILED(hr))
        return hr;
    return Conversion::fromNumber(*this, n, to, out);
}

// Objects change only between the two object types.
HRESULT Variant::Conversion::toObject(const Variant& v, VARTYPE to, Variant* out)
{
    if (v.isObject() && (to == VT_UNKNOWN || to == VT_DISPATCH)) {
        *out = fromObject(v.obj_.get(), to);
        return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT Variant::Conversion::toText(const Variant& v, Variant* out)
{
    Variant r;
    r.vt_ = VT_BSTR;
    switch (v.vt_) {
    case VT_EMPTY: r.s_ = QStringLiteral(""); break;
    case VT_BOOL: r.s_ = v.i_ ? QStringLiteral("True") : QStringLiteral("False"); break;
    case VT_R4: r.s_ = formatFloat(v.f_); break;
    case VT_R8: r.s_ = formatDouble(v.d_); break;
    case VT_CY: r.s_ = formatCurrency(v.i_); break;
    case VT_DATE: {
        bool ok = false;
        r.s_ = formatDate(v.d_, &ok);
        if (!ok)
            return DISP_E_OVERFLOW;
        break;
    }
    case VT_UI8: r.s_ = QString::number(static_cast<uint64_t>(v.i_)); break;
    case VT_DECIMAL: r.s_ = v.s_; break;
    default:
        if (!isIntegerType(v.vt_))
            return DISP_E_BADVARTYPE;
        r.s_ = QString::number(v.i_);
    }
    *out = r;
    return S_OK;
}

// Text names a truth value, a decimal or a date for those targets; any other text must be a
// number, which then converts as numbers do.
HRESULT Variant::Conversion::fromText(const Variant& v, VARTYPE to, Variant* out)
{
    if (to == VT_BOOL) {
        const QString t = trimmed(v.s_);
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
            *out = fromBool(true);
            return S_OK;
        }
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
            *out = fromBool(false);
            return S_OK;
        }
    }
    if (to == VT_DECIMAL) {
        Variant r;
        r.vt_ = VT_DECIMAL;
        if (HRESULT hr = kavro::decimalFromText(v.s_, &r.s_); FAILED(hr))
            return hr;
        *out = r;
        return S_OK;
    }
    DATE d;
    if (to == VT_DATE && parseDateText(v.s_, &d)) {
        *out = fromDate(d);
        return S_OK;
    }
    double ignored;
    if (!parseNumber(v.s_, &ignored))
        return DISP_E_TYPEMISMATCH;
    return fromNumber(v, numberOfText(v.s_), to, out);
}

// The numeric value of every source but text.
HRESULT Variant::Conversion::numberOf(const Variant& v, Number* n)
{
    switch (v.vt_) {
    case VT_EMPTY: *n = integralNumber(0); break;
    case VT_BOOL: *n = integralNumber(v.i_ ? -1 : 0); break;
    case VT_R4: *n = floatingNumber(v.f_); break;
    case VT_R8:
    case VT_DATE: *n = floatingNumber(v.d_); break;
    case VT_CY:
        *n = v.i_ % 10000 == 0 ? integralNumber(v.i_ / 10000) : floatingNumber(static_cast<double>(v.i_) / 10000.0);
        break;
    case VT_UI8: *n = unsignedNumber(static_cast<uint64_t>(v.i_)); break;
    case VT_DECIMAL: *n = numberOfText(v.s_); break;
    default:
        if (!isIntegerType(v.vt_))
            return DISP_E_BADVARTYPE;
        *n = integralNumber(v.i_);
    }
    return S_OK;
}

HRESULT Variant::Conversion::fromNumber(const Variant& v, const Number& n, VARTYPE to, Variant* out)
{
    Variant r;
    r.vt_ = to;
    HRESULT hr = S_OK;
    switch (to) {
    case VT_BOOL: r.i_ = toVariantBool(n.integral ? n.magnitude != 0 : n.value != 0); break;
    case VT_R4: {
        const double value = valueOf(n);
        if (std::isfinite(value) && std::fabs(value) > FLT_MAX)
            return DISP_E_OVERFLOW;
        r.f_ = static_cast<float>(value);
        break;
    }
    case VT_R8: r.d_ = valueOf(n); break;
    case VT_DATE:
        r.d_ = valueOf(n);
        if (!std::isfinite(r.d_) || r.d_ < kavro::kMinOleDate || r.d_ >= kavro::kMaxOleDate + 1.0)
            return DISP_E_OVERFLOW;
        break;
    case VT_CY: hr = toCurrency(n, &r); break;
    case VT_DECIMAL: hr = toDecimal(v, n, &r); break;
    default: hr = toInteger(n, to, &r); break;
    }
    if (FAILED(hr))
        return hr;
    *out = r;
    return S_OK;
}

HRESULT Variant::Conversion::toCurrency(const Number& n, Variant* r)
{
    const double scaled = std::nearbyint(valueOf(n) * 10000.0);
    if (!std::isfinite(scaled) || scaled >= 9.2233720368547758e18 || scaled < -9.2233720368547758e18)
        return DISP_E_OVERFLOW;
    r->i_ = static_cast<int64_t>(scaled);
    return S_OK;
}

// Made from text, so that currency and whole numbers keep every digit.
HRESULT Variant::Conversion::toDecimal(const Variant& v, const Number& n, Variant* r)
{
    if (!n.integral && !std::isfinite(n.value))
        return DISP_E_OVERFLOW;
    const QString source = v.vt_ == VT_CY ? formatCurrency(v.i_) : decimalSourceText(v.vt_, n);
    return kavro::decimalFromText(source, &r->s_);
}

// Whole numbers are range-checked exactly; others round half to even first.
HRESULT Variant::Conversion::toInteger(const Number& n, VARTYPE to, Variant* r)
{
    if (!isIntegerType(to))
        return DISP_E_BADVARTYPE;
    const IntRange range = rangeOf(to);
    if (n.integral) {
        if (n.negative) {
            const uint64_t minMag = uint64_t(0) - static_cast<uint64_t>(range.min);
            if (n.magnitude > minMag)
                return DISP_E_OVERFLOW;
            r->i_ = static_cast<int64_t>(uint64_t(0) - n.magnitude);
        } else {
            if (n.magnitude > range.max)
                return DISP_E_OVERFLOW;
            r->i_ = static_cast<int64_t>(n.magnitude);
        }
        return S_OK;
    }
    if (!std::isfinite(n.value))
        return DISP_E_OVERFLOW;
    const double v = std::nearbyint(n.value);
    if (v < static_cast<double>(range.min) || v >= static_cast<double>(range.max) + 1.0)
        return DISP_E_OVERFLOW;
    r->i_ = to == VT_UI8 ? static_cast<int64_t>(static_cast<uint64_t>(v)) : static_cast<int64_t>(v);
    return S_OK;
}

namespace {

// Converts as changeType does and, when that succeeds, lets `take` read the converted value.
template <class Take> HRESULT convertAndTake(const Variant& v, VARTYPE vt, Take take)
{
    Variant r;
    HRESULT hr = v.changeType(vt, &r);
    if (SUCCEEDED(hr))
        take(r);
    return hr;
}

} // namespace

HRESULT Variant::toInt32(int32_t* out) const
{
    return convertAndTake(*this, VT_I4, [&](const Variant& r) { *out = static_cast<int32_t>(r.i_); });
}

HRESULT Variant::toFloat(float* out) const
{
    return convertAndTake(*this, VT_R4, [&](const Variant& r) { *out = r.f_; });
}

HRESULT Variant::toDouble(double* out) const
{
    return convertAndTake(*this, VT_R8, [&](const Variant& r) { *out = r.d_; });
}

HRESULT Variant::toBool(bool* out) const
{
    return convertAndTake(*this, VT_BOOL, [&](const Variant& r) { *out = r.i_ != 0; });
}

HRESULT Variant::toString(QString* out) const
{
    return convertAndTake(*this, VT_BSTR, [&](const Variant& r) { *out = r.s_; });
}

bool Variant::operator==(const Variant& o) const
{
    if (vt_ != o.vt_)
        return false;
    switch (vt_) {
    case VT_EMPTY:
    case VT_NULL: return true;
    case VT_R4: return f_ == o.f_ || (std::isnan(f_) && std::isnan(o.f_));
    case VT_R8:
    case VT_DATE: return d_ == o.d_ || (std::isnan(d_) && std::isnan(o.d_));
    case VT_BSTR: return s_ == o.s_ && s_.isNull() == o.s_.isNull();
    case VT_DECIMAL: return s_ == o.s_;
    case VT_UNKNOWN:
    case VT_DISPATCH: return sameObject(obj_.get(), o.obj_.get());
    default: return i_ == o.i_;
    }
}
