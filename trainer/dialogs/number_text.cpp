#include "number_text.h"

#include <cmath>
#include <limits>

namespace kavro::trainer {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimBlanks(const QString& text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    return text.mid(b, e - b);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Checks the form sign? digits [sep digits] [e sign? digits] and returns it in C-locale form.
std::optional<QString> plainDecimal(const QString& s, QChar separator)
{
    QString out;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        out += s[i++];
    int mantissaDigits = 0;
    while (i < s.size() && isAsciiDigit(s[i])) {
        out += s[i++];
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == separator) {
        out += u'.';
        ++i;
        while (i < s.size() && isAsciiDigit(s[i])) {
            out += s[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        out += u'e';
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            out += s[i++];
        int exponentDigits = 0;
        while (i < s.size() && isAsciiDigit(s[i])) {
            out += s[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    return out;
}

} // namespace

std::optional<double> parseDecimal(const QString& text, const QLocale& userLocale)
{
    const QString s = trimBlanks(text);
    const QString userSeparator = userLocale.decimalPoint();
    for (QChar separator : {QChar(u'.'), userSeparator.size() == 1 ? userSeparator[0] : QChar(u'.')}) {
        if (const auto plain = plainDecimal(s, separator)) {
            bool ok = false;
            const double v = QLocale::c().toDouble(*plain, &ok);
            if (ok && std::isfinite(v))
                return v;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<int> parseInteger(const QString& text)
{
    const QString s = trimBlanks(text);
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    if (i == s.size())
        return std::nullopt;
    for (qsizetype j = i; j < s.size(); ++j)
        if (!isAsciiDigit(s[j]))
            return std::nullopt;
    bool ok = false;
    const qlonglong v = s.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(v);
}

QString formatSignificant(double value, int digits)
{
    return QString::asprintf("%.*g", digits, value);
}

} // namespace kavro::trainer
