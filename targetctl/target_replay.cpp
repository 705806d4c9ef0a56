// Replay of one aiming in time: a ticker thread paces it, every tick moves the position by the
// time elapsed at the replay speed, and only the new samples are drawn.
#include "target.h"

#include "plane_math.h"
#include "target_painter.h"
#include "target_widget.h"
#include "tracking_canvas.h"

#include "gdi/painter_canvas.h"
#include "thread/qt_control_queue.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kavro::target {

namespace {

struct TraceSpan {
    ComPtr<IAimingTrace> trace;
    int32_t first = 0;
    int32_t last = 0;
};

std::optional<TraceSpan> traceSpan(IAiming* aiming)
{
    TraceSpan span;
    if (!aiming || FAILED(aiming->get_Trace(span.trace.put())) || !span.trace
        || FAILED(span.trace->get_First(&span.first)) || FAILED(span.trace->get_Last(&span.last)))
        return std::nullopt;
    return span;
}

int32_t toIndex(int64_t v)
{
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Some shot of the aiming falls in the samples [e, d].
bool crossesShot(IAiming* aiming, int32_t e, int32_t d)
{
    int32_t count = 0;
    aiming->get_ShotCount(&count);
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IShot> shot;
        int32_t index = 0;
        if (SUCCEEDED(aiming->Shot(i, shot.put())) && shot && SUCCEEDED(shot->get_TraceIndex(&index)) && e <= index
            && index <= d)
            return true;
    }
    return false;
}

} // namespace

void CTarget::setReplayTiming(Clock& clock, QueueFactory makeQueue)
{
    stopReplay();
    ticker_.reset();
    queue_.reset();
    clock_ = &clock;
    makeQueue_ = std::move(makeQueue);
}

bool CTarget::startTicker(int32_t rate)
{
    if (rate <= 0)
        return false;
    if (!queue_) {
        QueueHandler handler = [this](const QueueMessage& msg) {
            if (msg.id == kReplayTickMessage)
                replayTick();
        };
        queue_ = makeQueue_ ? makeQueue_(std::move(handler)) : std::make_unique<QtControlQueue>(std::move(handler));
        if (!queue_)
            return false;
    }
    if (!ticker_) {
        const QueuePoster poster = queue_->poster();
        ticker_ = std::make_unique<CoalescingTicker>(*clock_, [poster] { return poster.post(kReplayTickMessage); });
    }
    if (ticker_->isRunning())
        return true;
    return ticker_->start(uint32_t(1000 / rate));
}

void CTarget::stopTicker()
{
    // Once this returns no tick is posted any more; one already queued finds no replay.
    if (ticker_)
        ticker_->stop();
}

void CTarget::startReplay()
{
    ReplayState& r = state_.replay;
    const std::optional<TraceSpan> span = traceSpan(r.aiming.get());
    ++r.starts;
    r.position = r.startPosition = span ? span->first : 0;
    if (!ticker_ || !ticker_->isRunning())
        startTicker(sampleRateOf(r.aiming.get()));
    r.startTick = clock_->tickMs();
    r.markVisible = true;
    // A full picture: it shows the label and forgets what an earlier replay drew.
    requestRedraw();
    fire([](_ITargetEvents* s) { s->StartReplay(); });
    fire([](_ITargetEvents* s) { s->ReplayPositionChanged(); });
}

void CTarget::stopReplay()
{
    ReplayState& r = state_.replay;
    stopTicker();
    const bool shown = r.aiming || (r.markVisible && state_.displayReplayMark);
    r.markVisible = false;
    r.labelRect = {};
    r.aiming = nullptr;
    r.shot = nullptr;
    // The replayed trace and the label go with the replay.
    if (shown)
        requestRedraw();
}

void CTarget::replayTick()
{
    if (ticker_)
        ticker_->acknowledge();
    ReplayState& r = state_.replay;
    if (!r.aiming || !r.shot || r.paused)
        return;
    const std::optional<TraceSpan> span = traceSpan(r.aiming.get());
    const int32_t rate = sampleRateOf(r.aiming.get());
    if (!span || rate <= 0)
        return;
    ComPtr<CTarget> keepAlive(this); // a sink may let go of the control while it is told
    ComPtr<IAiming> aiming = r.aiming;

    // Samples per second first, in integers; the product with the elapsed time in 64 bits.
    const int64_t elapsed = uint32_t(clock_->tickMs() - r.startTick);
    const int64_t advanced = elapsed * (int64_t(r.speed) * rate / 100) / 1000;
    const int32_t d = toIndex(std::clamp<int64_t>(int64_t(r.startPosition) + advanced, span->first, span->last));
    const int32_t e = r.position;
    if (d != e) {
        r.position = d;
        std::optional<bool> visible;
        if (state_.displayReplayMark)
            visible = ((int64_t(d) - r.startPosition) * 2 / rate + 1) % 2 == 0;
        if (d < e) {
            if (visible)
                r.markVisible = *visible;
            requestRedraw();
        } else {
            drawReplayAdvance(e, d, visible);
        }
        fire([](_ITargetEvents* s) { s->ReplayPositionChanged(); });
    }
    // The sinks may have stopped or replaced the replay.
    if (r.aiming.get() == aiming.get() && r.shot && r.position >= span->last) {
        // The sinks hear of the end while ReplayAiming and ReplayShot still say what was replayed,
        // with no tick to come while they act on it; the replay lets go after them, unless one of
        // them started the next.
        stopTicker();
        const uint32_t starts = r.starts;
        fire([](_ITargetEvents* s) { s->EndReplay(); });
        if (r.starts == starts)
            stopReplay();
    }
}

void CTarget::drawReplayAdvance(int32_t e, int32_t d, std::optional<bool> markVisible)
{
    ReplayState& r = state_.replay;
    if (!state_.enableUpdate) {
        if (markVisible)
            r.markVisible = *markVisible;
        requestRedraw();
        return;
    }
    const std::optional<TraceSpan> span = traceSpan(r.aiming.get());
    const int32_t rate = sampleRateOf(r.aiming.get());
    if (!span)
        return;
    const bool crossed = crossesShot(r.aiming.get(), e, d);
    drawOnWindow([&](TargetPainter& painter) {
        if (crossed) {
            // The last second is drawn again so that the colours around the new shot are right.
            painter.drawReplayBreaches(true);
            painter.drawColouredTrace(r.aiming.get(), span->trace.get(), toIndex(int64_t(e) - rate), d);
            return;
        }
        const int32_t h = roundedProduct(state_.traceHeadingLength, float(rate));
        const int32_t headStart = toIndex(int64_t(d) - h);
        if (h != 0)
            painter.drawSegment(span->trace.get(), headStart, d, state_.traceHeadingColor);
        // What was heading before is normal trace now.
        const int32_t from = std::max(toIndex(int64_t(e) - h), span->first);
        if (from < headStart)
            painter.drawColouredTrace(r.aiming.get(), span->trace.get(), from, headStart);
    });
    if (markVisible && state_.displayReplayMark && *markVisible != r.markVisible)
        setMarkVisible(*markVisible);
    else if (markVisible)
        r.markVisible = *markVisible;
}

void CTarget::setMarkVisible(bool visible)
{
    ReplayState& r = state_.replay;
    r.markVisible = visible;
    if (visible) {
        drawOnWindow([&](TargetPainter& painter) { r.labelRect = painter.drawReplayLabel(); });
        return;
    }
    if (!r.labelRect.isEmpty())
        invalidate(r.labelRect);
    r.labelRect = {};
}

bool CTarget::drawOnWindow(const std::function<void(TargetPainter&)>& draw)
{
    if (!widget_)
        return false;
    QImage* buffer = widget_->currentBuffer();
    if (!buffer) {
        // The whole picture is painted again; all of it must reach the screen.
        widget_->update();
        return false;
    }
    GdiRect touched;
    {
        QPainter painter(buffer);
        PainterCanvas screen(&painter);
        TrackingCanvas canvas(screen);
        const DrawGeometry geometry = windowGeometry();
        TargetPainter targetPainter(state_, canvas, geometry);
        draw(targetPainter);
        touched = canvas.touched();
    }
    if (!touched.isEmpty())
        widget_->update(QRect(touched.left, touched.top, int(touched.width()), int(touched.height())));
    return true;
}

HRESULT CTarget::put_ReplayAiming(IAiming* value)
{
    if (!value) {
        stopReplay();
        return S_OK;
    }
    // Without a rate there is no time to replay in.
    if (sampleRateOf(value) <= 0 || !traceSpan(value))
        return E_INVALIDARG;
    ReplayState& r = state_.replay;
    r.aiming = value;
    r.shot = nullptr;
    int32_t count = 0;
    if (SUCCEEDED(value->get_ShotCount(&count)) && count >= 1)
        value->Shot(1, r.shot.put());
    if (r.shot) {
        startReplay();
        return S_OK;
    }
    // Nothing to replay towards: an earlier replay's ticker and label go.
    stopTicker();
    r.markVisible = false;
    r.labelRect = {};
    requestRedraw();
    return S_OK;
}

HRESULT CTarget::put_ReplayShot(IShot* value)
{
    ReplayState& r = state_.replay;
    if (!value || !r.aiming)
        return E_INVALIDARG;
    int32_t count = 0;
    r.aiming->get_ShotCount(&count);
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IShot> shot;
        if (SUCCEEDED(r.aiming->Shot(i, shot.put())) && shot && sameObject(shot.get(), value)) {
            r.shot = value;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT CTarget::put_ReplayPosition(float seconds)
{
    ReplayState& r = state_.replay;
    if (!r.aiming || !r.shot)
        return S_OK;
    if (!std::isfinite(seconds))
        return E_INVALIDARG;
    const std::optional<TraceSpan> span = traceSpan(r.aiming.get());
    const int32_t rate = sampleRateOf(r.aiming.get());
    int32_t shotIndex = 0;
    if (!span || FAILED(r.shot->get_TraceIndex(&shotIndex)))
        return E_FAIL;
    const int32_t p = toIndex(
        std::clamp<int64_t>(int64_t(shotIndex) + roundedProduct(seconds, float(rate)), span->first, span->last));
    const int32_t h = r.position;
    if (p == h)
        return S_OK;
    r.position = p;
    if (!r.paused) {
        r.startPosition = p;
        r.startTick = clock_->tickMs();
    }
    if (p < h) {
        r.markVisible = true;
        requestRedraw();
        return S_OK;
    }
    drawReplayAdvance(h, p, true);
    return S_OK;
}

HRESULT CTarget::put_ReplaySpeed(int32_t percent)
{
    if (percent < 10 || percent > 300)
        return E_INVALIDARG;
    ReplayState& r = state_.replay;
    r.speed = percent;
    // The new speed applies from now on, without a jump.
    if (!r.paused && r.aiming) {
        r.startTick = clock_->tickMs();
        r.startPosition = r.position;
    }
    return S_OK;
}

HRESULT CTarget::put_ReplayPaused(VARIANT_BOOL value)
{
    ReplayState& r = state_.replay;
    const bool on = value == VARIANT_TRUE;
    if (on == r.paused)
        return S_OK;
    r.paused = on;
    ComPtr<CTarget> keepAlive(this);
    requestRedraw(); // the label switches between the running and the paused text
    if (on) {
        stopTicker();
        if (r.aiming)
            fire([](_ITargetEvents* s) { s->PauseReplay(); });
    } else if (r.aiming) {
        startTicker(sampleRateOf(r.aiming.get()));
        r.startTick = clock_->tickMs();
        r.startPosition = r.position;
        fire([](_ITargetEvents* s) { s->StartReplay(); });
    }
    return S_OK;
}

} // namespace kavro::target
