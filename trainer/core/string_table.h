#pragma once
// String tables: text keyed by numeric string id, read from UTF-8 sources of one entry per line,
// "<id><TAB><text>", where the text knows the escapes \n, \t and \\. Blank lines and lines that
// begin with '#' are comments.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>

namespace kavro {

using StringTable = std::map<uint32_t, QString>;

struct StringTableProblem {
    int line = 0; // 1-based
    QString what;
};

// Adds the entries of one source to `table`. Every line that cannot be read (no id, no tab, a
// bad escape, invalid UTF-8, an id seen before) is reported in `problems` and left out; returns
// true when there was none.
bool parseStringTable(const QByteArray& utf8, StringTable* table, QList<StringTableProblem>* problems = nullptr);

// The printf-style conversions of a text ("%s", "%d", "%3.1f", ...), in order; "%%" is none.
QStringList placeholdersOf(const QString& text);

} // namespace kavro
