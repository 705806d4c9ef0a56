// The control's drawing entries: the full paint into a back buffer, the incremental drawing of a
// live aiming, and the exported images.
#include "target.h"

#include "layer_cache.h"
#include "target_painter.h"
#include "target_widget.h"
#include "tracking_canvas.h"

#include "com/numeric.h"
#include "gdi/metafile_recorder.h"
#include "gdi/painter_canvas.h"
#include "gdi/picture.h"

#include <QPainter>
#include <algorithm>

namespace kavro::target {

namespace {

// Pixels of the extent a host gives in 0.01 mm, at the 96 dpi of a screen.
int32_t extentPixels(uint32_t himetric)
{
    return int32_t(std::min<int64_t>(int64_t(himetric) * 96 / 2540, kMaxCoordinate));
}

} // namespace

void CTarget::invalidate(const std::optional<GdiRect>& rect)
{
    if (!widget_)
        return;
    if (rect)
        widget_->invalidate(*rect);
    else
        widget_->invalidate();
}

GdiRect CTarget::windowBounds() const
{
    if (widget_)
        return {0, 0, widget_->width(), widget_->height()};
    return {0, 0, extentPixels(state_.extentX), extentPixels(state_.extentY)};
}

DrawGeometry CTarget::windowGeometry() const
{
    return DrawGeometry(windowBounds(), state_.visibleRect);
}

COLORREF CTarget::backgroundColour() const
{
    OLE_COLOR colour = state_.backColor;
    if (state_.defaultBackground && state_.targetParams)
        state_.targetParams->get_BackgroundColor(&colour);
    return drawColour(colour);
}

void CTarget::paintBuffer(QImage* buffer)
{
    const GdiRect bounds{0, 0, buffer->width(), buffer->height()};
    if (!state_.event || !state_.targetParams) {
        dropKeptLayers();
        QPainter painter(buffer);
        painter.fillRect(buffer->rect(), toQColor(systemColor(COLOR_WINDOW)));
        return;
    }
    const COLORREF background = backgroundColour();
    const DrawGeometry geometry(bounds, state_.visibleRect);

    // The face and the aimings' breaches and traces change far less often than the window is
    // painted, and stroking thick traces and playing the face's metafile dominate a paint: the
    // calls that would draw them now decide whether the kept pictures still hold.
    DrawingLog log;
    log.fillRect(bounds, background);
    TargetPainter logged(state_, log, geometry);
    logged.drawFace();
    const size_t faceCalls = log.calls().size();
    logged.drawShotLayers();
    const std::span<const MetafileRecord> lowerCalls(log.calls());

    if (!shotLayer_.restore(lowerCalls, buffer)) {
        if (!faceLayer_.restore(lowerCalls.first(faceCalls), buffer)) {
            QPainter painter(buffer);
            painter.fillRect(buffer->rect(), toQColor(background));
            PainterCanvas canvas(&painter);
            TargetPainter(state_, canvas, geometry).drawFace();
        }
        faceLayer_.offer(lowerCalls.first(faceCalls), *buffer);
        {
            QPainter painter(buffer);
            PainterCanvas canvas(&painter);
            TargetPainter(state_, canvas, geometry).drawShotLayers();
        }
        shotLayer_.offer(lowerCalls, *buffer);
    }

    QPainter painter(buffer);
    PainterCanvas canvas(&painter);
    TargetPainter targetPainter(state_, canvas, geometry);
    state_.mouse.bandDrawn = false;
    const PaintOutcome outcome = targetPainter.drawUpperLayers([&] {
        // Inverting black, as the not-xor pen: the feedback shows on any colour.
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        state_.mouse.bandDrawn = targetPainter.drawMouseFeedback();
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        targetPainter.drawDragEnds();
    });
    state_.replay.labelRect = outcome.replayLabelRect;
}

void CTarget::dropKeptLayers()
{
    faceLayer_.clear();
    shotLayer_.clear();
}

HRESULT CTarget::UpdateAiming(IAiming* aiming)
{
    auto entry = std::find_if(state_.aimings.begin(), state_.aimings.end(),
                              [&](const AimingEntry& e) { return aiming && sameObject(e.aiming.get(), aiming); });
    if (entry == state_.aimings.end() || !state_.displayTrace)
        return S_OK;
    ComPtr<IAimingTrace> trace;
    int32_t first = 0, last = 0;
    if (FAILED(aiming->get_Trace(trace.put())) || !trace || FAILED(trace->get_First(&first))
        || FAILED(trace->get_Last(&last)))
        return S_OK;
    const int32_t b = std::max(entry->lastDrawn, first);
    if (b >= last)
        return S_OK;
    if (!state_.enableUpdate) {
        requestRedraw();
        return S_OK;
    }

    int32_t shotCount = 0;
    aiming->get_ShotCount(&shotCount);
    QImage* buffer = widget_ ? widget_->currentBuffer() : nullptr;
    if (widget_ && !buffer) {
        // A stale buffer is repainted whole, new points included; make sure that repaint comes.
        widget_->invalidate();
    }
    std::optional<QPainter> painter;
    std::optional<PainterCanvas> screen;
    std::optional<MetafileRecorder> nowhere; // without a window the drawing goes nowhere
    GdiCanvas* inner = nullptr;
    if (buffer) {
        painter.emplace(buffer);
        screen.emplace(&*painter);
        inner = &*screen;
    } else {
        nowhere.emplace();
        inner = &*nowhere;
    }
    TrackingCanvas canvas(*inner);
    const DrawGeometry geometry = windowGeometry();
    TargetPainter targetPainter(state_, canvas, geometry);
    if (shotCount > entry->shotsDrawn) {
        targetPainter.drawAllBreaches(true);
        entry->shotsDrawn = shotCount;
        targetPainter.drawTrace(aiming, first, last);
    } else {
        const int32_t heading = roundSaturated(double(state_.traceHeadingLength * float(sampleRateOf(aiming))));
        const int32_t from = std::max(int32_t(std::max<int64_t>(int64_t(b) - heading, INT32_MIN)), first);
        targetPainter.drawTrace(aiming, from, last);
    }
    entry->lastDrawn = last;
    screen.reset();
    painter.reset();
    if (buffer)
        widget_->update(QRect(canvas.touched().left, canvas.touched().top, int(canvas.touched().width()),
                              int(canvas.touched().height())));
    return S_OK;
}

HRESULT CTarget::GetImage(VARIANT_BOOL metafile, IUnknown** image)
{
    if (!image || *image)
        return E_POINTER;
    const GdiRect bounds = windowBounds();
    const DrawGeometry geometry(bounds, state_.visibleRect);
    if (metafile == VARIANT_TRUE) {
        MetafileRecorder recorder;
        recorder.setFrame(bounds);
        recorder.beginPath();
        recorder.rectangle(geometry.fitted());
        recorder.endPath();
        recorder.selectClipPath(ClipMode::Copy);
        TargetPainter(state_, recorder, geometry).paintAll();
        ComPtr<Picture> picture = Picture::fromMetafile(recorder.finish());
        return queryOut(picture.get(), image);
    }
    if (bounds.isEmpty())
        return E_FAIL;
    QImage bitmap(int(bounds.width()), int(bounds.height()), QImage::Format_RGB32);
    paintBuffer(&bitmap);
    if (widget_)
        widget_->setBuffer(bitmap); // the window shows what was handed out
    ComPtr<Picture> picture = Picture::fromImage(std::move(bitmap));
    return queryOut(picture.get(), image);
}

HRESULT CTarget::CreateWidget(QWidget* parent, QWidget** widget)
{
    if (!widget)
        return E_POINTER;
    *widget = nullptr;
    if (widget_)
        return E_UNEXPECTED;
    widget_ = new TargetWidget(this, parent);
    widget_->resize(extentPixels(state_.extentX), extentPixels(state_.extentY));
    *widget = widget_.data();
    return S_OK;
}

void CTarget::widgetDestroyed()
{
    widget_ = nullptr;
    dropKeptLayers();
    endMouseAction(true);
    stopReplay();
}

} // namespace kavro::target
