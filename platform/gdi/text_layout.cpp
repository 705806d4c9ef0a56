#include "text_layout.h"

#include "font_file.h"

#include <QFontMetricsF>
#include <QGuiApplication>
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
    {"Times", "Liberation Serif"},    {"Times New Roman", "Liberation Serif"}, {"Arial", "Liberation Sans"},
    {"Helvetica", "Liberation Sans"}, {"Courier New", "Liberation Mono"},      {"Courier", "Liberation Mono"},
};

constexpr int kDefaultHeight = 16; // what a request for height 0 gets, in logical units

QString twinOf(const QString& face)
{
    for (const FaceTwin& t : kTwins)
        if (face.compare(QLatin1String(t.face), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(t.twin);
    return face;
}

QString resolveFace(const QString& face)
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const FaceTwin& t : kTwins)
            QFont::insertSubstitution(QString::fromLatin1(t.face), QString::fromLatin1(t.twin));
    });
    return twinOf(face);
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

// What DrawText shows of a text with prefixes: "&x" is x (underlined), "&&" is "&".
QString withoutPrefixes(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        if (text[i] != QLatin1Char('&') || i > 0)
            out += text[i];
    }
    return out;
}

double lineWidth(const FontFileMetrics& m, const QString& line)
{
    double width = 0;
    for (char32_t c : line.toUcs4())
        width += m.advance(c);
    return width;
}

// Breaks a paragraph into lines no wider than `limit` ems, at spaces; a word wider than the
// limit stands on a line of its own.
std::vector<double> wrappedLineWidths(const FontFileMetrics& m, const QString& paragraph, double limit)
{
    std::vector<double> widths;
    const double space = m.advance(U' ');
    double current = -1;
    for (const QString& word : paragraph.split(QLatin1Char(' '))) {
        const double w = lineWidth(m, word);
        if (current >= 0 && current + space + w <= limit) {
            current += space + w;
            continue;
        }
        if (current >= 0)
            widths.push_back(current);
        current = w;
    }
    widths.push_back(std::max(current, 0.0));
    return widths;
}

} // namespace

QFont makeFont(const GdiFont& request)
{
    QFont font(resolveFace(request.face));
    // Hinted metrics would change with the size in logical units; text must scale linearly.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(request.weight, 1, 1000)));
    font.setItalic(request.italic);
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
    // DT_LEFT and DT_RIGHT name sides of the rectangle, whatever the widget's layout direction.
    int flags = Qt::AlignAbsolute;
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
    QRectF box = metrics.boundingRect(
        QRectF(rect.left, rect.top, width, 1e7),
        (textFlags(format) & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom)) | Qt::AlignLeft
            | Qt::AlignTop,
        text);
    GdiRect out = rect;
    out.right = clampCoordinate(int64_t(rect.left) + std::llround(std::ceil(box.width())));
    out.bottom = clampCoordinate(int64_t(rect.top) + std::llround(std::ceil(box.height())));
    return out;
}

GdiRect measureTextFromFontFiles(const GdiFont& request, const QString& text, const GdiRect& rect, uint32_t format)
{
    GdiRect out = rect;
    const FontFileMetrics* m = liberationFontMetrics(twinOf(request.face), request.weight);
    if (!m) {
        out.right = rect.left;
        out.bottom = rect.top;
        return out;
    }
    const double cell = m->ascent() + m->descent();
    double em = request.height < 0 ? -double(request.height) : std::round(double(request.height) / cell);
    if (em <= 0)
        em = kDefaultHeight;
    em = std::min<double>(em, kMaxCoordinate);

    QString shown = (format & DT_NOPREFIX) ? text : withoutPrefixes(text);
    std::vector<double> widths;
    if (format & DT_SINGLELINE) {
        widths.push_back(lineWidth(*m, shown.replace(QLatin1Char('\n'), QLatin1Char(' '))));
    } else {
        const double limit = rect.width() > 0 ? double(rect.width()) / em : 1e300;
        for (const QString& paragraph : shown.split(QLatin1Char('\n'))) {
            if (format & DT_WORDBREAK) {
                for (double w : wrappedLineWidths(*m, paragraph, limit))
                    widths.push_back(w);
            } else {
                widths.push_back(lineWidth(*m, paragraph));
            }
        }
    }
    const double width = *std::max_element(widths.begin(), widths.end()) * em;
    // Lines are whole units high, as the font engine rounds ascent and descent, with the
    // font's line gap between them.
    const double lines = double(widths.size());
    const double height = lines * (std::round(m->ascent() * em) + std::round(m->descent() * em))
        + (lines - 1) * std::round(m->lineGap() * em);
    out.right = clampCoordinate(int64_t(rect.left) + std::llround(std::ceil(width)));
    out.bottom = clampCoordinate(int64_t(rect.top) + std::llround(std::ceil(height)));
    return out;
}

GdiRect measureText(const GdiFont& font, const QString& text, const GdiRect& rect, uint32_t format)
{
    // Qt's font database exists only in a GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return measureTextFromFontFiles(font, text, rect, format);
    return measureText(makeFont(font), text, rect, format);
}

} // namespace kavro
