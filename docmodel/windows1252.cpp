#include "windows1252.h"

namespace kavrodoc {

namespace {

// 0x80..0x9f; the five unassigned bytes map to the C1 controls of the same value, as the
// platform's own conversion does. Every other byte is its Latin-1 code point.
constexpr char16_t kHighControls[32] = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178,
};

} // namespace

QString fromWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xa0 ? kHighControls[b - 0x80] : char16_t(b));
    }
    return text;
}

} // namespace kavrodoc
