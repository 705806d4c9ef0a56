#pragma once
// Metrics of a TrueType font read straight from its file: what laying out a line of text needs
// (ascent, descent and advance widths), in a process that has no font database because it has no
// GUI application (services and command-line tools).
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace kavro {

class FontFileMetrics {
public:
    // Parses a font file's bytes; null when they are no TrueType font we can read.
    static std::unique_ptr<FontFileMetrics> parse(const QByteArray& bytes);

    // In units of the em square.
    double ascent() const { return ascent_; }
    double descent() const { return descent_; }
    double lineGap() const { return lineGap_; }
    double advance(char32_t c) const;

private:
    double ascent_ = 0;
    double descent_ = 0;
    double lineGap_ = 0;
    std::vector<uint16_t> advances_; // per glyph, in font units
    std::vector<uint16_t> glyphOfChar_; // per BMP character
    double unitsPerEm_ = 1;
};

// The metrics of the installed Liberation font of `family` ("Liberation Serif", "Liberation
// Mono"; any other family gets Liberation Sans) at `weight`; null when no font file is found.
const FontFileMetrics* liberationFontMetrics(const QString& family, int weight);

} // namespace kavro
