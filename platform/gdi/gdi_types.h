#pragma once
// The value types of the drawing layer: integer logical coordinates and GDI-shaped drawing state.
// Flag and style values are the Windows ones, because drawing code is written against them.
#include "com/hresult.h"

#include <QString>
#include <cstdint>

namespace kavro {

// Coordinates beyond this magnitude are clamped when recorded and refused when loaded (the
// logical range of GDI), so that no stored drawing can overflow a later computation.
constexpr int32_t kMaxCoordinate = (1 << 27) - 1;

struct GdiPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const GdiPoint&) const = default;
};

// Right and bottom are exclusive: a fill of {0, 0, 10, 10} covers 10 x 10 units.
struct GdiRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int64_t width() const { return int64_t(right) - left; }
    int64_t height() const { return int64_t(bottom) - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    GdiRect normalized() const;
    GdiRect united(const GdiRect& o) const; // an empty rectangle adds nothing
    bool operator==(const GdiRect&) const = default;
};

enum class PenStyle : uint32_t { Solid = 0, Dash = 1, Dot = 2, Null = 5 };

// Width 0 is the cosmetic pen: one device pixel whatever the scale. An inside-frame pen keeps the
// outline of a rectangle or ellipse inside its box.
struct GdiPen {
    PenStyle style = PenStyle::Solid;
    int32_t width = 0;
    COLORREF color = 0;
    bool insideFrame = false;

    static GdiPen solid(int32_t width, COLORREF color) { return {PenStyle::Solid, width, color, false}; }
    static GdiPen inside(int32_t width, COLORREF color) { return {PenStyle::Solid, width, color, true}; }
    static GdiPen null() { return {PenStyle::Null, 0, 0, false}; }
    bool operator==(const GdiPen&) const = default;
};

enum class BrushStyle : uint32_t { Solid = 0, Null = 1 };

struct GdiBrush {
    BrushStyle style = BrushStyle::Solid;
    COLORREF color = 0xFFFFFF;

    static GdiBrush solid(COLORREF color) { return {BrushStyle::Solid, color}; }
    static GdiBrush null() { return {BrushStyle::Null, 0}; }
    bool operator==(const GdiBrush&) const = default;
};

// Height as GDI takes it: negative is the character height (em size), positive the cell height
// (ascent + descent), 0 the default size. Weight 400 is normal, 700 bold.
struct GdiFont {
    int32_t height = 0;
    int32_t weight = 400;
    QString face = QStringLiteral("Arial");
    bool italic = false;
    bool operator==(const GdiFont&) const = default;
};

enum class BkMode : uint32_t { Transparent = 1, Opaque = 2 };
enum class FillMode : uint32_t { Alternate = 1, Winding = 2 };
enum class ClipMode : uint32_t { Or = 2, Copy = 5 };

// DrawText format flags.
enum : uint32_t {
    DT_TOP = 0x0,
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_WORDBREAK = 0x10,
    DT_SINGLELINE = 0x20,
    DT_EXPANDTABS = 0x40,
    DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
    DT_EDITCONTROL = 0x2000,
};

// a * b / c with the 64-bit product, rounded half away from zero; -1 when c is 0 or the result
// does not fit in 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

int32_t clampCoordinate(int64_t v);

} // namespace kavro
