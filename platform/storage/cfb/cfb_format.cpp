#include "cfb_format.h"

namespace cfb {

namespace {

char16_t upperUnit(char16_t c)
{
    // QChar maps one BMP unit to one unit; a mapping that would lengthen the text (German sharp s)
    // keeps the unit, which is what a per-unit table does too.
    return QChar(c).toUpper().unicode();
}

} // namespace

int compareNames(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = upperUnit(a.at(i).unicode());
        char16_t y = upperUnit(b.at(i).unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

QString nameKey(const QString& name)
{
    QString key(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i)
        key[i] = QChar(upperUnit(name.at(i).unicode()));
    return key;
}

} // namespace cfb
