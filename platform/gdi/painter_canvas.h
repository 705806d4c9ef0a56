#pragma once
// The canvas that draws at once on a QPainter, in the painter's current coordinates: the one place
// where GDI drawing rules become QPainter calls. It saves the painter's state when made and
// restores it when destroyed; the painter's transform must not change in between.
#include "canvas.h"

#include <QFont>
#include <QPainterPath>
#include <optional>

class QPainter;

namespace kavro {

class PainterCanvas final : public GdiCanvas {
public:
    explicit PainterCanvas(QPainter* painter);
    ~PainterCanvas() override;
    PainterCanvas(const PainterCanvas&) = delete;
    PainterCanvas& operator=(const PainterCanvas&) = delete;

    void selectPen(const GdiPen& pen) override { pen_ = pen; }
    void selectBrush(const GdiBrush& brush) override { brush_ = brush; }
    void selectFont(const GdiFont& font) override;
    void setTextColor(COLORREF color) override { textColor_ = color; }
    void setBkMode(BkMode mode) override { bkMode_ = mode; }
    void setBkColor(COLORREF color) override { bkColor_ = color; }

    void fillRect(const GdiRect& rect, COLORREF color) override;
    void setPixel(GdiPoint point, COLORREF color) override;
    void rectangle(const GdiRect& box) override;
    void ellipse(const GdiRect& box) override;
    void polyline(std::span<const GdiPoint> points) override;
    void polygon(std::span<const GdiPoint> points, FillMode mode) override;
    int drawText(const QString& text, GdiRect* rect, uint32_t format) override;

    void beginPath() override;
    void endPath() override;
    void selectClipPath(ClipMode mode) override;
    void restoreClip() override;

    void drawPicture(IPicture* picture, const GdiRect& box) override;

private:
    // Text up to this size in device pixels goes through the glyph cache.
    static constexpr double kMaxGlyphPixels = 2048;
    // ...and only while neither axis is stretched more than this against the other.
    static constexpr double kMaxGlyphStretch = 16;
    void drawTextAsPath(const QRectF& r, int flags, const QString& text);

    enum class Shape { Rectangle, Ellipse };
    void drawBoxShape(Shape shape, const GdiRect& box);
    void applyPen();
    void applyBrush();
    void applyClip();
    double devicePixelX() const;
    double devicePixelY() const;

    QPainter* painter_;
    GdiPen pen_;
    GdiBrush brush_;
    GdiFont fontRequest_;
    QFont font_;
    COLORREF textColor_ = 0;
    COLORREF bkColor_ = 0xFFFFFF;
    BkMode bkMode_ = BkMode::Opaque;

    bool inPath_ = false;
    QPainterPath path_;
    std::optional<QPainterPath> initialClip_; // the painter's clip when the canvas began
    std::optional<QPainterPath> clip_; // ours, in logical coordinates
};

// The QColor of a COLORREF (0x00BBGGRR).
QColor toQColor(COLORREF color);

} // namespace kavro
