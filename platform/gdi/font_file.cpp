#include "font_file.h"

#include <QFile>
#include <QStandardPaths>

#include <map>
#include <mutex>

namespace kavro {

namespace {

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : b_(bytes) { }
    bool has(uint64_t at, uint64_t size) const { return at + size <= uint64_t(b_.size()); }
    uint16_t u16(uint64_t at) const
    {
        return has(at, 2) ? uint16_t((uint8_t(b_[qsizetype(at)]) << 8) | uint8_t(b_[qsizetype(at + 1)])) : 0;
    }
    int16_t i16(uint64_t at) const { return int16_t(u16(at)); }
    uint32_t u32(uint64_t at) const { return (uint32_t(u16(at)) << 16) | u16(at + 2); }

private:
    const QByteArray& b_;
};

struct Table {
    uint32_t offset = 0;
    uint32_t length = 0;
};

bool findTable(const Reader& r, const char* tag, Table* out)
{
    const uint16_t count = r.u16(4);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t rec = 12 + 16 * uint64_t(i);
        if (!r.has(rec, 16))
            return false;
        const uint32_t t = r.u32(rec);
        const uint32_t wanted = (uint32_t(uint8_t(tag[0])) << 24) | (uint32_t(uint8_t(tag[1])) << 16)
            | (uint32_t(uint8_t(tag[2])) << 8) | uint8_t(tag[3]);
        if (t == wanted) {
            out->offset = r.u32(rec + 8);
            out->length = r.u32(rec + 12);
            return r.has(out->offset, out->length);
        }
    }
    return false;
}

// The Unicode BMP subtable (format 4) of the character map, as a glyph per character.
bool readCharacterMap(const Reader& r, const Table& cmap, std::vector<uint16_t>* glyphs)
{
    const uint16_t subtables = r.u16(cmap.offset + 2);
    for (uint32_t i = 0; i < subtables; ++i) {
        const uint64_t rec = cmap.offset + 4 + 8 * uint64_t(i);
        const uint16_t platform = r.u16(rec), encoding = r.u16(rec + 2);
        const uint64_t at = cmap.offset + uint64_t(r.u32(rec + 4));
        if (!((platform == 3 && encoding == 1) || platform == 0) || r.u16(at) != 4)
            continue;
        const uint32_t segments = r.u16(at + 6) / 2;
        const uint64_t ends = at + 14, starts = ends + 2 * uint64_t(segments) + 2;
        const uint64_t deltas = starts + 2 * uint64_t(segments), ranges = deltas + 2 * uint64_t(segments);
        if (!r.has(ranges, 2 * uint64_t(segments)))
            return false;
        glyphs->assign(0x10000, 0);
        for (uint32_t s = 0; s < segments; ++s) {
            const uint32_t end = r.u16(ends + 2 * s), start = r.u16(starts + 2 * s);
            const uint16_t delta = r.u16(deltas + 2 * s), rangeOffset = r.u16(ranges + 2 * s);
            for (uint32_t c = start; c <= end && c < 0xFFFF; ++c) {
                uint16_t glyph = 0;
                if (rangeOffset == 0) {
                    glyph = uint16_t(c + delta);
                } else {
                    const uint64_t g = ranges + 2 * s + rangeOffset + 2 * uint64_t(c - start);
                    glyph = r.u16(g);
                    if (glyph != 0)
                        glyph = uint16_t(glyph + delta);
                }
                (*glyphs)[c] = glyph;
            }
        }
        return true;
    }
    return false;
}

QString fontFileName(const QString& family, int weight)
{
    QString style = QStringLiteral("Sans");
    if (family.compare(QLatin1String("Liberation Serif"), Qt::CaseInsensitive) == 0)
        style = QStringLiteral("Serif");
    else if (family.compare(QLatin1String("Liberation Mono"), Qt::CaseInsensitive) == 0)
        style = QStringLiteral("Mono");
    return QStringLiteral("Liberation%1-%2.ttf")
        .arg(style, weight >= 600 ? QStringLiteral("Bold") : QStringLiteral("Regular"));
}

// The folders the fonts package installs into, under every data folder of the system.
QString findFontFile(const QString& name)
{
    QStringList roots = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    roots << QStringLiteral("/usr/share") << QStringLiteral("/usr/local/share");
    for (const QString& root : roots) {
        for (const char* folder : {"/fonts/truetype/liberation/", "/fonts/truetype/liberation2/"}) {
            const QString path = root + QLatin1String(folder) + name;
            if (QFile::exists(path))
                return path;
        }
    }
    return {};
}

} // namespace

std::unique_ptr<FontFileMetrics> FontFileMetrics::parse(const QByteArray& bytes)
{
    Reader r(bytes);
    Table head, hhea, hmtx, cmap;
    if (!r.has(0, 12) || !findTable(r, "head", &head) || !findTable(r, "hhea", &hhea) || !findTable(r, "hmtx", &hmtx)
        || !findTable(r, "cmap", &cmap) || head.length < 54 || hhea.length < 36)
        return nullptr;
    auto m = std::unique_ptr<FontFileMetrics>(new FontFileMetrics);
    m->unitsPerEm_ = r.u16(head.offset + 18);
    if (m->unitsPerEm_ <= 0)
        return nullptr;
    m->ascent_ = r.i16(hhea.offset + 4) / m->unitsPerEm_;
    m->descent_ = -r.i16(hhea.offset + 6) / m->unitsPerEm_;
    m->lineGap_ = r.i16(hhea.offset + 8) / m->unitsPerEm_;
    const uint32_t metrics = r.u16(hhea.offset + 34);
    if (metrics == 0 || uint64_t(metrics) * 4 > hmtx.length)
        return nullptr;
    for (uint32_t g = 0; g < metrics; ++g)
        m->advances_.push_back(r.u16(hmtx.offset + 4 * uint64_t(g)));
    if (!readCharacterMap(r, cmap, &m->glyphOfChar_))
        return nullptr;
    return m;
}

double FontFileMetrics::advance(char32_t c) const
{
    const uint16_t glyph = c < glyphOfChar_.size() ? glyphOfChar_[c] : 0;
    // Glyphs past the metrics table share its last advance.
    const uint16_t units = advances_[std::min<size_t>(glyph, advances_.size() - 1)];
    return units / unitsPerEm_;
}

const FontFileMetrics* liberationFontMetrics(const QString& family, int weight)
{
    static std::mutex lock;
    static std::map<QString, std::unique_ptr<FontFileMetrics>> loaded;
    const QString name = fontFileName(family, weight);
    std::lock_guard guard(lock);
    auto it = loaded.find(name);
    if (it == loaded.end()) {
        std::unique_ptr<FontFileMetrics> metrics;
        QFile file(findFontFile(name));
        if (file.open(QIODevice::ReadOnly))
            metrics = FontFileMetrics::parse(file.readAll());
        it = loaded.emplace(name, std::move(metrics)).first;
    }
    return it->second.get();
}

} // namespace kavro
