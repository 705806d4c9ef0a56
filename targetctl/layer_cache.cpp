#include "layer_cache.h"

#include "gdi/picture.h"
#include "gdi/text_layout.h"

#include <algorithm>
#include <cstring>

namespace kavro::target {

void DrawingLog::selectFont(const GdiFont& font)
{
    font_ = font;
    calls_.emplace_back(rec::SelectFont{font});
}

void DrawingLog::polyline(std::span<const GdiPoint> points)
{
    calls_.emplace_back(rec::Polyline{{points.begin(), points.end()}});
}

void DrawingLog::polygon(std::span<const GdiPoint> points, FillMode mode)
{
    calls_.emplace_back(rec::Polygon{{points.begin(), points.end()}, mode});
}

int DrawingLog::drawText(const QString& text, GdiRect* rect, uint32_t format)
{
    if (!rect)
        return 0;
    calls_.emplace_back(rec::DrawText{text, *rect, format});
    if (format & DT_CALCRECT) {
        *rect = measureText(makeFont(font_), text, *rect, format);
        return static_cast<int>(rect->height());
    }
    return 0;
}

void DrawingLog::drawPicture(IPicture* picture, const GdiRect& box)
{
    calls_.emplace_back(rec::DrawPicture{ComPtr<IPicture>(picture), box});
}

namespace {

bool sameCalls(std::span<const MetafileRecord> a, const std::vector<MetafileRecord>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace

LayerCache::Surface LayerCache::surfaceOf(const QImage& image)
{
    return {image.size(), image.format(), image.devicePixelRatio(), image.bytesPerLine()};
}

bool LayerCache::restore(std::span<const MetafileRecord> calls, QImage* surface) const
{
    if (!surface || image_.isNull() || surfaceOf(image_) != surfaceOf(*surface) || !sameCalls(calls, calls_))
        return false;
    std::memcpy(surface->bits(), image_.constBits(), size_t(image_.sizeInBytes()));
    return true;
}

void LayerCache::offer(std::span<const MetafileRecord> calls, const QImage& surface)
{
    const Surface shape = surfaceOf(surface);
    if (!image_.isNull() && surfaceOf(image_) == shape && sameCalls(calls, calls_))
        return;
    if (!sameCalls(calls, seen_) || seenSurface_ != shape) {
        seen_.assign(calls.begin(), calls.end());
        seenSurface_ = shape;
        return;
    }
    if (!image_.isNull() && surfaceOf(image_) == shape && image_.isDetached())
        std::memcpy(image_.bits(), surface.constBits(), size_t(surface.sizeInBytes()));
    else
        image_ = surface.copy();
    calls_ = std::move(seen_);
    seen_.clear();
}

void LayerCache::clear()
{
    calls_.clear();
    seen_.clear();
    image_ = QImage();
}

} // namespace kavro::target
