#include "reg_text.h"

#include <optional>

namespace settings_internal {
namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

const char* const kHex = "0123456789abcdef";

void appendHexByte(QString& out, unsigned byte)
{
    out += QLatin1Char(kHex[(byte >> 4) & 0xF]);
    out += QLatin1Char(kHex[byte & 0xF]);
}

// Control characters are escaped so that every value stays on one line.
QString quote(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
                out += QLatin1String("\\x");
                appendHexByte(out, c.unicode());
            } else {
                out += c;
            }
        }
    }
    out += QLatin1Char('"');
    return out;
}

// Reads a quoted string starting at `pos` (on the opening quote); returns the position after the
// closing quote, or nothing when the text is not a well-formed quoted string.
std::optional<qsizetype> unquote(const QString& line, qsizetype pos, QString* out)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return std::nullopt;
    QString text = QStringLiteral("");
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            *out = text;
            return i + 1;
        }
        if (c != QLatin1Char('\\')) {
            text += c;
            continue;
        }
        if (++i >= line.size())
            return std::nullopt;
        switch (line[i].unicode()) {
        case '"': text += QLatin1Char('"'); break;
        case '\\': text += QLatin1Char('\\'); break;
        case 'n': text += QLatin1Char('\n'); break;
        case 'r': text += QLatin1Char('\r'); break;
        case 't': text += QLatin1Char('\t'); break;
        case 'x': {
            if (i + 2 >= line.size())
                return std::nullopt;
            const int hi = hexDigit(line[i + 1]);
            const int lo = hexDigit(line[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            text += QChar(char16_t(hi * 16 + lo));
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

bool onlySpaceFrom(const QString& line, qsizetype pos)
{
    for (qsizetype i = pos; i < line.size(); ++i) {
        if (!line[i].isSpace())
            return false;
    }
    return true;
}

std::optional<uint32_t> parseDword(QStringView digits)
{
    digits = digits.trimmed();
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    uint32_t v = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        v = v * 16 + uint32_t(d);
    }
    return v;
}

std::optional<QByteArray> parseHexBytes(QStringView text)
{
    QByteArray bytes;
    if (text.trimmed().isEmpty())
        return bytes;
    for (QStringView token : text.split(QLatin1Char(','))) {
        token = token.trimmed();
        if (token.isEmpty() || token.size() > 2)
            return std::nullopt;
        int v = 0;
        for (QChar c : token) {
            const int d = hexDigit(c);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + d;
        }
        bytes.append(char(v));
    }
    return bytes;
}

std::optional<SettingsValue> parseData(QStringView data)
{
    static const QLatin1String dwordTag("dword:");
    static const QLatin1String hexTag("hex:");
    if (data.startsWith(QLatin1Char('"'))) {
        const QString line = data.toString();
        QString text;
        const auto end = unquote(line, 0, &text);
        if (!end || !onlySpaceFrom(line, *end))
            return std::nullopt;
        return SettingsValue::fromString(text);
    }
    if (data.startsWith(dwordTag, Qt::CaseInsensitive)) {
        const auto v = parseDword(data.mid(dwordTag.size()));
        if (!v)
            return std::nullopt;
        return SettingsValue::fromDword(*v);
    }
    if (data.startsWith(hexTag, Qt::CaseInsensitive)) {
        const auto bytes = parseHexBytes(data.mid(hexTag.size()));
        if (!bytes)
            return std::nullopt;
        return SettingsValue::fromBinary(*bytes);
    }
    return std::nullopt;
}

// False when the line is no well-formed value line.
bool parseValueLine(const QString& line, SettingsNode* key)
{
    QString name;
    qsizetype pos = 0;
    if (line.startsWith(QLatin1Char('@'))) {
        pos = 1;
    } else {
        const auto end = unquote(line, 0, &name);
        if (!end)
            return false;
        pos = *end;
    }
    while (pos < line.size() && line[pos].isSpace())
        ++pos;
    if (pos >= line.size() || line[pos] != QLatin1Char('='))
        return false;
    const auto value = parseData(QStringView(line).mid(pos + 1).trimmed());
    if (!value)
        return false;
    key->setValue(name, *value);
    return true;
}

QString formatData(const SettingsValue& v)
{
    QString out;
    switch (v.type) {
    case REG_DWORD:
        out = QStringLiteral("dword:");
        for (int shift = 28; shift >= 0; shift -= 4)
            out += QLatin1Char(kHex[(v.dword >> shift) & 0xF]);
        break;
    case REG_SZ: out = quote(v.string); break;
    case REG_BINARY:
        out = QStringLiteral("hex:");
        for (qsizetype i = 0; i < v.binary.size(); ++i) {
            if (i)
                out += QLatin1Char(',');
            appendHexByte(out, uint8_t(v.binary[i]));
        }
        break;
    }
    return out;
}

void appendLines(QByteArray& out, const std::vector<QByteArray>& lines)
{
    for (const QByteArray& line : lines) {
        out += line;
        out += '\n';
    }
}

void formatKey(const SettingsNode& node, const QString& path, QByteArray& out)
{
    QString text = QLatin1Char('[') + path + QLatin1String("]\n");
    for (const NamedValue& v : node.values()) {
        if (v.value.type != REG_DWORD && v.value.type != REG_SZ && v.value.type != REG_BINARY)
            continue;
        text += v.name.isEmpty() ? QStringLiteral("@") : quote(v.name);
        text += QLatin1Char('=') + formatData(v.value) + QLatin1Char('\n');
    }
    out += text.toUtf8();
    appendLines(out, node.keptLines);
    out += '\n';
    for (const auto& [folded, child] : node.children)
        formatKey(*child, path.isEmpty() ? child->name : path + QLatin1Char('\\') + child->name, out);
}

// The key a section header names; a missing "]" does not change which key that is. Nothing when
// the name cannot be a key's.
std::optional<QStringList> headerPath(const QString& line)
{
    QStringView name = QStringView(line).mid(1);
    if (name.endsWith(QLatin1Char(']')))
        name.chop(1);
    QStringList path;
    if (FAILED(splitKeyPath(name.toString(), &path)))
        return std::nullopt;
    return path;
}

} // namespace

std::unique_ptr<SettingsNode> parseSettingsText(const QByteArray& utf8)
{
    auto root = std::make_unique<SettingsNode>();
    SettingsNode* current = nullptr; // values before the first section have no key to go to
    std::vector<QByteArray>* kept = &root->leadingLines;
    for (const QByteArray& raw : utf8.split('\n')) {
        // A byte order mark, as some editors put at the start, is no part of the line; taken off
        // any line, the reading of a line does not depend on where it stands.
        const QByteArray body = raw.startsWith("\xef\xbb\xbf") ? raw.mid(3) : raw;
        const QString decoded = QString::fromUtf8(body);
        const QString line = decoded.trimmed();
        if (line.isEmpty())
            continue;
        // Text that is not UTF-8 would be changed by writing it back decoded.
        const bool verbatim = decoded.toUtf8() == body;
        if (line.startsWith(QLatin1Char('['))) {
            const auto path = verbatim ? headerPath(line) : std::nullopt;
            if (path) {
                bool created = false;
                current = root->createPath(*path, &created);
                kept = &current->keptLines;
                continue;
            }
            // The lines up to the next header belong to a key that cannot be named: they stay
            // where they are, and none of them is taken for a value of the key before.
            current = nullptr;
        } else if (verbatim && current && (line.startsWith(QLatin1Char('"')) || line.startsWith(QLatin1Char('@')))) {
            if (parseValueLine(line, current))
                continue;
        }
        kept->push_back(raw);
    }
    return root;
}

QByteArray formatSettingsText(const SettingsNode& root)
{
    QByteArray out;
    appendLines(out, root.leadingLines);
    if (!root.values().empty() || !root.keptLines.empty()) {
        formatKey(root, QString(), out);
    } else {
        for (const auto& [folded, child] : root.children)
            formatKey(*child, child->name, out);
    }
    return out;
}

} // namespace settings_internal
