#include "string_table.h"

#include <QStringDecoder>

namespace kavro {

namespace {

bool unescape(QByteArrayView raw, QByteArray* out)
{
    out->clear();
    out->reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '\\') {
            out->append(c);
            continue;
        }
        if (++i == raw.size())
            return false;
        switch (raw[i]) {
        case 'n': out->append('\n'); break;
        case 't': out->append('\t'); break;
        case '\\': out->append('\\'); break;
        default: return false;
        }
    }
    return true;
}

bool parseId(QByteArrayView digits, uint32_t* id)
{
    if (digits.isEmpty() || digits.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > UINT32_MAX)
        return false;
    *id = static_cast<uint32_t>(v);
    return true;
}

} // namespace

bool parseStringTable(const QByteArray& utf8, StringTable* table, QList<StringTableProblem>* problems)
{
    bool clean = true;
    auto problem = [&](int line, const char* what) {
        clean = false;
        if (problems)
            problems->append({line, QString::fromLatin1(what)});
    };

    QByteArrayView rest(utf8);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    int lineNo = 0;
    while (!rest.isEmpty()) {
        ++lineNo;
        const qsizetype nl = rest.indexOf('\n');
        QByteArrayView line = nl < 0 ? rest : rest.first(nl);
        rest = nl < 0 ? QByteArrayView() : rest.sliced(nl + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;

        const qsizetype tab = line.indexOf('\t');
        uint32_t id = 0;
        if (tab < 0 || !parseId(line.first(tab), &id)) {
            problem(lineNo, "expected a numeric id and a tab");
            continue;
        }
        QByteArray bytes;
        if (!unescape(line.sliced(tab + 1), &bytes)) {
            problem(lineNo, "unknown escape");
            continue;
        }
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decode(bytes);
        if (decode.hasError()) {
            problem(lineNo, "not UTF-8");
            continue;
        }
        if (!table->emplace(id, std::move(text)).second)
            problem(lineNo, "id given twice");
    }
    return clean;
}

QStringList placeholdersOf(const QString& text)
{
    QStringList out;
    const auto at = [&](qsizetype k) { return k < text.size() ? text[k] : QChar(); };
    // Conversions are Latin letters; a translation may write its own words right after "%1".
    const auto conversion = [&](qsizetype k) { return at(k).unicode() < 0x80 && at(k).isLetter(); };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('%'))
            continue;
        qsizetype j = i + 1;
        if (at(j) == QLatin1Char('%')) {
            i = j;
            continue;
        }
        // Positional forms: "%1" (and "%1!d!", the message-format form with its conversion).
        qsizetype k = j;
        while (at(k).isDigit())
            ++k;
        if (k > j && at(j) != QLatin1Char('0') && at(k) == QLatin1Char('!')) {
            const qsizetype close = text.indexOf(QLatin1Char('!'), k + 1);
            if (close > k) {
                out.append(text.mid(i, close - i + 1));
                i = close;
                continue;
            }
        }
        // A dot after the digits is a printf precision ("%3.1f") only when more of the conversion
        // follows; "from %1 to %2." ends a sentence.
        const bool precision = at(k) == QLatin1Char('.') && (at(k + 1).isDigit() || conversion(k + 1));
        if (k > j && at(j) != QLatin1Char('0') && !precision && !conversion(k) && at(k) != QLatin1Char('$')) {
            out.append(text.mid(i, k - i));
            i = k - 1;
            continue;
        }
        // printf: flags, width, precision, length, then the conversion letter.
        while (QStringLiteral("-+ #0").contains(at(j)) && j < text.size())
            ++j;
        while (at(j).isDigit() || at(j) == QLatin1Char('*'))
            ++j;
        if (at(j) == QLatin1Char('.')) {
            ++j;
            while (at(j).isDigit() || at(j) == QLatin1Char('*'))
                ++j;
        }
        while (QStringLiteral("hlLqjzt").contains(at(j)) && j < text.size())
            ++j;
        if (conversion(j)) {
            out.append(text.mid(i, j - i + 1));
            i = j;
        }
    }
    return out;
}

} // namespace kavro
