#pragma once
// The lower layers of the picture kept for the next full paint. A layer is served again only when
// the drawing calls that would make it now are the very calls that made it, on a surface of the
// same size and kind: the calls carry everything a layer depends on (view, zoom, colours, flags,
// the event's face, shots and traces), so no member has to remember to throw the layer away.
#include "gdi/canvas.h"
#include "gdi/metafile.h"
#include "gdi/picture.h"

#include <QImage>
#include <span>
#include <vector>

namespace kavro::target {

// A canvas that draws nothing and keeps every call with its arguments exactly as made. A picture
// counts by its identity, as pictures are replaced rather than reloaded; it is kept referenced, so
// that its identity cannot pass to another picture while a log holds it.
class DrawingLog final : public GdiCanvas {
public:
    const std::vector<MetafileRecord>& calls() const { return calls_; }

    void selectPen(const GdiPen& pen) override { calls_.emplace_back(rec::SelectPen{pen}); }
    void selectBrush(const GdiBrush& brush) override { calls_.emplace_back(rec::SelectBrush{brush}); }
    void selectFont(const GdiFont& font) override;
    void setTextColor(COLORREF color) override { calls_.emplace_back(rec::TextColor{color}); }
    void setBkMode(BkMode mode) override { calls_.emplace_back(rec::SetBkMode{mode}); }
    void setBkColor(COLORREF color) override { calls_.emplace_back(rec::BkColor{color}); }

    void fillRect(const GdiRect& rect, COLORREF color) override { calls_.emplace_back(rec::FillRect{rect, color}); }
    void setPixel(GdiPoint point, COLORREF color) override { calls_.emplace_back(rec::SetPixel{point, color}); }
    void rectangle(const GdiRect& box) override { calls_.emplace_back(rec::Rectangle{box}); }
    void ellipse(const GdiRect& box) override { calls_.emplace_back(rec::Ellipse{box}); }
    void polyline(std::span<const GdiPoint> points) override;
    void polygon(std::span<const GdiPoint> points, FillMode mode) override;
    int drawText(const QString& text, GdiRect* rect, uint32_t format) override;

    void beginPath() override { calls_.emplace_back(rec::BeginPath{}); }
    void endPath() override { calls_.emplace_back(rec::EndPath{}); }
    void selectClipPath(ClipMode mode) override { calls_.emplace_back(rec::SelectClipPath{mode}); }
    void restoreClip() override { calls_.emplace_back(rec::RestoreClip{}); }

    void drawPicture(IPicture* picture, const GdiRect& box) override;

private:
    std::vector<MetafileRecord> calls_;
    GdiFont font_;
};

// One kept layer: the picture of a surface after the logged calls were drawn on it.
class LayerCache {
public:
    // Copies the kept picture into `surface` when it was made by the same calls on a surface of
    // the same size and kind; false, and `surface` untouched, otherwise.
    bool restore(std::span<const MetafileRecord> calls, QImage* surface) const;
    // `surface` as `calls` made it. A copy is kept once the same calls made the same kind of
    // surface twice running, so that a layer which changes with every paint (a zoom being
    // animated) costs no copying.
    void offer(std::span<const MetafileRecord> calls, const QImage& surface);
    void clear();

private:
    struct Surface {
        QSize size;
        QImage::Format format = QImage::Format_Invalid;
        qreal pixelRatio = 1;
        qsizetype bytesPerLine = 0;
        bool operator==(const Surface&) const = default;
    };
    static Surface surfaceOf(const QImage& image);

    std::vector<MetafileRecord> calls_;
    QImage image_;
    std::vector<MetafileRecord> seen_; // the calls of the last layer offered and not kept
    Surface seenSurface_;
};

} // namespace kavro::target
