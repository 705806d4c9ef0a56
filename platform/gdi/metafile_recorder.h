#pragma once
// The canvas that records a metafile. The frame is the extent of everything drawn, unless one is
// set; the physical size follows from the size of one logical unit.
#include "canvas.h"
#include "metafile.h"

#include <optional>

namespace kavro {

class MetafileRecorder final : public GdiCanvas {
public:
    // `himetricPerUnit`: the physical size of one logical unit in 0.01 mm (a 96 dpi pixel by default).
    explicit MetafileRecorder(double himetricPerUnit = 2540.0 / 96.0);

    void setFrame(const GdiRect& frame) { frame_ = frame; }

    void selectPen(const GdiPen& pen) override;
    void selectBrush(const GdiBrush& brush) override;
    void selectFont(const GdiFont& font) override;
    void setTextColor(COLORREF color) override;
    void setBkMode(BkMode mode) override;
    void setBkColor(COLORREF color) override;

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

    // The metafile recorded so far; the recorder starts over empty.
    Metafile finish();

private:
    void add(MetafileRecord record);
    void extend(const GdiRect& r);
    void extendBox(const GdiRect& box);
    std::vector<GdiPoint> clamped(std::span<const GdiPoint> points) const;

    double himetricPerUnit_;
    std::vector<MetafileRecord> records_;
    std::optional<GdiRect> frame_;
    GdiRect bounds_;
    GdiPen pen_;
    GdiFont font_;
    bool inPath_ = false;
};

} // namespace kavro
