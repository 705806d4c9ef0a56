#include "text_layout.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace kavro {
namespace {

struct FaceTwin {
    const char* face;
    const char* twin;
};
constexpr FaceTwin kTwins[] = {
    {"Times", "Liberation Serif"},   {"Times New Roman", "Liberation Serif"},
    {"Arial", "Liberation Sans"},    {"Helvetica", "Liberation Sans"},
    {"Courier New", "Liberation Mono"}, {"Courier", "Liberation Mono"},
};

constexpr int kDefaultHeight = 16; // what a request for height 0 gets, in logical units

QString resolveFace(const QString& face)
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const FaceTwin& t : kTwins)
            QFont::insertSubstitution(QString::fromLatin1(t.face), QString::fromLatin1(t.twin));
    });
    for (const FaceTwin& t : kTwins)
        if (face.compare(QLatin1String(t.face), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(t.twin);
    return face;
}

// Ascent + descent of a font per unit of em size, to turn a cell height into a character height.
double cellPerEm(const QFont& font)
{
    QFont probe(font);
    probe.setPixelSize(1000);
    QFontMetricsF m(probe);
    double cell = m.ascent() + m.descent();
    return cell > 0 ? cell / 1000.0 : 1.0;
}

} // namespace

QFont makeFont(const GdiFont& request)
{
    QFont font(resolveFace(request.face));
    // Hinted metrics would change with the size in logical units; text must scale linearly.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(request.weight, 1, 1000)));
    int64_t em = request.height < 0 ? -int64_t(request.height) : request.height;
    if (request.height > 0)
        em = std::llround(double(request.height) / cellPerEm(font));
    if (em <= 0)
        em = kDefaultHeight;
    font.setPixelSize(static_cast<int>(std::min<int64_t>(em, kMaxCoordinate)));
    return font;
}

int textFlags(uint32_t format)
{
    int flags = 0;
    if (format & DT_CENTER)
        flags |= Qt::AlignHCenter;
    else if (format & DT_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    // Vertical placement applies to a single line only; other text starts at the top.
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        flags |= Qt::AlignVCenter;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignTop;
    if (format & DT_SINGLELINE)
        flags |= Qt::TextSingleLine;
    else if (format & DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    if (format & DT_EXPANDTABS)
        flags |= Qt::TextExpandTabs;
    if (format & DT_NOCLIP)
        flags |= Qt::TextDontClip;
    if (!(format & DT_NOPREFIX))
        flags |= Qt::TextShowMnemonic; // "&x" underlines x and "&&" is "&", as DrawText does
    return flags;
}

GdiRect measureText(const QFont& font, const QString& text, const GdiRect& rect, uint32_t format)
{
    QFontMetricsF metrics(font);
    double width = rect.width() > 0 ? double(rect.width()) : 1e7;
    QRectF box = metrics.boundingRect(QRectF(rect.left, rect.top, width, 1e7),
        (textFlags(format) & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom))
            | Qt::AlignLeft | Qt::AlignTop,
        text);
    GdiRect out = rect;
    out.right = clampCoordinate(int64_t(rect.left) + std::llround(std::ceil(box.width())));
    out.bottom = clampCoordinate(int64_t(rect.top) + std::llround(std::ceil(box.height())));
    return out;
}

} // namespace kavro
