#pragma once
// Our metafile: a display list of integer logical drawing records and a frame. Playing it maps the
// frame onto a destination rectangle of any painter, so a metafile covers the same physical size
// on a 96 dpi screen and on a 1200 dpi printer when the destinations are the same physical size.
#include "com/persist.h"
#include "gdi_types.h"

#include <variant>
#include <vector>

class QPainter;
class QRectF;

namespace kavro {

struct IPicture;
class GdiCanvas;

namespace rec {
struct SelectPen {
    GdiPen pen;
    bool operator==(const SelectPen&) const = default;
};
struct SelectBrush {
    GdiBrush brush;
    bool operator==(const SelectBrush&) const = default;
};
struct SelectFont {
    GdiFont font;
    bool operator==(const SelectFont&) const = default;
};
struct TextColor {
    COLORREF color = 0;
    bool operator==(const TextColor&) const = default;
};
struct SetBkMode {
    BkMode mode = BkMode::Opaque;
    bool operator==(const SetBkMode&) const = default;
};
struct BkColor {
    COLORREF color = 0;
    bool operator==(const BkColor&) const = default;
};
struct FillRect {
    GdiRect rect;
    COLORREF color = 0;
    bool operator==(const FillRect&) const = default;
};
struct SetPixel {
    GdiPoint point;
    COLORREF color = 0;
    bool operator==(const SetPixel&) const = default;
};
struct Rectangle {
    GdiRect box;
    bool operator==(const Rectangle&) const = default;
};
struct Ellipse {
    GdiRect box;
    bool operator==(const Ellipse&) const = default;
};
struct Polyline {
    std::vector<GdiPoint> points;
    bool operator==(const Polyline&) const = default;
};
struct Polygon {
    std::vector<GdiPoint> points;
    FillMode mode = FillMode::Alternate;
    bool operator==(const Polygon&) const = default;
};
struct DrawText {
    QString text;
    GdiRect rect;
    uint32_t format = 0;
    bool operator==(const DrawText&) const = default;
};
struct BeginPath {
    bool operator==(const BeginPath&) const = default;
};
struct EndPath {
    bool operator==(const EndPath&) const = default;
};
struct SelectClipPath {
    ClipMode mode = ClipMode::Copy;
    bool operator==(const SelectClipPath&) const = default;
};
struct RestoreClip {
    bool operator==(const RestoreClip&) const = default;
};
struct DrawPicture {
    ComPtr<IPicture> picture;
    GdiRect box;
    bool operator==(const DrawPicture&) const = default;
};
} // namespace rec

// The alternatives' order is the record type number of the stored form (index + 1): append only.
using MetafileRecord = std::variant<rec::SelectPen, rec::SelectBrush, rec::SelectFont, rec::TextColor, rec::SetBkMode,
                                    rec::BkColor, rec::FillRect, rec::SetPixel, rec::Rectangle, rec::Ellipse,
                                    rec::Polyline, rec::Polygon, rec::DrawText, rec::BeginPath, rec::EndPath,
                                    rec::SelectClipPath, rec::RestoreClip, rec::DrawPicture>;

class Metafile {
public:
    Metafile() = default;
    Metafile(GdiRect frame, int32_t himetricWidth, int32_t himetricHeight, std::vector<MetafileRecord> records);

    // The logical rectangle that maps onto the destination when played.
    const GdiRect& frame() const { return frame_; }
    // The physical size of the frame in 0.01 mm.
    int32_t himetricWidth() const { return himetricWidth_; }
    int32_t himetricHeight() const { return himetricHeight_; }
    const std::vector<MetafileRecord>& records() const { return records_; }

    // Maps the frame onto `dest` (in the painter's current coordinates) and plays every record.
    // Nothing is drawn for an empty frame or destination.
    void play(QPainter* painter, const QRectF& dest) const;
    // Sends every record to a canvas as it was recorded, in the canvas's own coordinates.
    void replay(GdiCanvas* canvas) const;

    // The stored form: frame, physical size, record count and records (see metafile_io.cpp).
    HRESULT write(IStream* stream) const;
    // Replaces this metafile on success only; `depth` counts pictures nested in pictures.
    HRESULT read(IStream* stream, int depth = 0);

private:
    GdiRect frame_;
    int32_t himetricWidth_ = 0;
    int32_t himetricHeight_ = 0;
    std::vector<MetafileRecord> records_;
};

} // namespace kavro
