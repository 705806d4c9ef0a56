#include "decimal.h"

#include <cctype>
#include <algorithm>
#include <string>

namespace kavro {

namespace {

using Wide = unsigned __int128;

constexpr int kMostScale = 28;
const Wide kMostMantissa = (Wide(1) << 96) - 1;

struct Parsed {
    bool negative = false;
    std::string digits; // all significant digits, integer and fraction together
    long long scale = 0; // how many of `digits` lie after the point (negative: zeros to append)
};

bool parse(const QString& text, Parsed* out)
{
    const QByteArray b = text.trimmed().toLatin1();
    size_t i = 0;
    const size_t n = static_cast<size_t>(b.size());
    if (i < n && (b[i] == '+' || b[i] == '-'))
        out->negative = b[i++] == '-';
    bool anyDigit = false;
    for (; i < n && std::isdigit(static_cast<unsigned char>(b[i])); ++i, anyDigit = true)
        out->digits += b[i];
    if (i < n && b[i] == '.') {
        for (++i; i < n && std::isdigit(static_cast<unsigned char>(b[i])); ++i, anyDigit = true) {
            out->digits += b[i];
            ++out->scale;
        }
    }
    if (!anyDigit)
        return false;
    if (i < n && (b[i] == 'e' || b[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (b[i] == '+' || b[i] == '-'))
            negativeExponent = b[i++] == '-';
        if (i == n)
            return false;
        long long exponent = 0;
        for (; i < n && std::isdigit(static_cast<unsigned char>(b[i])); ++i)
            exponent = std::min(exponent * 10 + (b[i] - '0'), 100000LL); // far beyond any scale
        out->scale += negativeExponent ? exponent : -exponent;
    }
    return i == n;
}

// Drops the last `count` digits in one step, rounding half to even on all that was dropped
// (rounding digit by digit would round 0.46 up to 1).
std::string roundOff(const std::string& digits, size_t count)
{
    std::string kept = digits.substr(0, digits.size() - count);
    if (count == 0)
        return kept;
    const char first = digits[kept.size()];
    const bool restNonZero = digits.find_first_not_of('0', kept.size() + 1) != std::string::npos;
    const bool keptOdd = !kept.empty() && (kept.back() - '0') % 2 == 1;
    if (first < '5' || (first == '5' && !restNonZero && !keptOdd))
        return kept;
    size_t k = kept.size();
    while (k > 0 && kept[k - 1] == '9')
        kept[--k] = '0';
    if (k == 0)
        kept.insert(kept.begin(), '1');
    else
        ++kept[k - 1];
    return kept;
}

bool toMantissa(const std::string& digits, Wide* out)
{
    Wide m = 0;
    for (char c : digits) {
        m = m * 10 + static_cast<unsigned>(c - '0');
        if (m > kMostMantissa)
            return false;
    }
    *out = m;
    return true;
}

} // namespace

HRESULT decimalFromText(const QString& text, QString* canonical)
{
    Parsed p;
    if (!parse(text, &p))
        return DISP_E_TYPEMISMATCH;
    std::string digits = p.digits.substr(std::min(p.digits.find_first_not_of('0'), p.digits.size()));
    if (digits.empty()) {
        *canonical = QStringLiteral("0");
        return S_OK;
    }
    long long scale = p.scale;
    // Below 10^-29 everything rounds to zero; beyond 10^40 nothing fits in 96 bits.
    if (scale > static_cast<long long>(digits.size()) + kMostScale) {
        *canonical = QStringLiteral("0");
        return S_OK;
    }
    if (scale < -40)
        return DISP_E_OVERFLOW;
    for (; scale < 0; ++scale)
        digits += '0';
    // As many fraction digits as the scale and the 96 bits allow. When rounding up carries past
    // 2^96 - 1, that largest mantissa itself is the nearest value the type holds.
    Wide mantissa = 0;
    size_t drop = static_cast<size_t>(std::max<long long>(scale - kMostScale, 0));
    while (static_cast<long long>(drop) < scale && !toMantissa(digits.substr(0, digits.size() - drop), &mantissa))
        ++drop;
    if (!toMantissa(digits.substr(0, digits.size() - drop), &mantissa))
        return DISP_E_OVERFLOW;
    toMantissa(roundOff(digits, drop), &mantissa);
    scale -= static_cast<long long>(drop);
    // Back to text from the mantissa, so rounding carries are right.
    std::string out;
    for (Wide m = mantissa; m > 0; m /= 10)
        out.insert(out.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    if (out.empty())
        out = "0";
    while (static_cast<long long>(out.size()) <= scale)
        out.insert(out.begin(), '0');
    std::string integer = out.substr(0, out.size() - static_cast<size_t>(scale));
    std::string fraction = out.substr(out.size() - static_cast<size_t>(scale));
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string result = integer + (fraction.empty() ? "" : "." + fraction);
    if (p.negative && result != "0")
        result.insert(result.begin(), '-');
    *canonical = QString::fromLatin1(result.data(), static_cast<qsizetype>(result.size()));
    return S_OK;
}

} // namespace kavro
