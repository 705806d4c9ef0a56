#include "trace_model.h"

#include "target_kind.h"

#include <algorithm>
#include <cmath>

namespace kavro::trace {

float largestZoomLevel(bool advancedMode)
{
    return advancedMode ? 8.0f : 6.0f;
}

float cappedZoomAfterChange(float zoom, bool advancedMode)
{
    const float cap = advancedMode ? 9.0f : 7.0f;
    return zoom > cap ? cap : zoom;
}

float zoomLevelForResult(float result, float largest)
{
    float level = result - 1.0f;
    if (level < 0.0f)
        level = 0.0f;
    if (level > largest)
        level = largest;
    return level;
}

float zoomAnimationLevel(float start, float target, int64_t elapsedMs)
{
    if (elapsedMs <= 0)
        return start;
    const float level = start + (target - start) * float(elapsedMs) / float(kZoomAnimationMs);
    return target >= start ? std::min(level, target) : std::max(level, target);
}

int heartImageAt(DATE now, DATE lastBeat, DATE previousBeat)
{
    return lastBeat <= now && now <= lastBeat + (lastBeat - previousBeat) * 0.5 * 0.66 ? 0 : 1;
}

int biathlonToneZone(float x, float y, int subTarget)
{
    static const float centres[] = {-500.0f, -250.0f, 0.0f, 250.0f, 500.0f};
    const float inner = subTarget == BiathlonTarget::Standing ? 80.0f : 20.0f;
    const float outer = subTarget == BiathlonTarget::Standing ? 115.0f : 45.0f;
    for (float cx : centres) {
        const float d = std::sqrt((x - cx) * (x - cx) + y * y);
        if (d <= inner)
            return 10;
        if (d <= outer / 2.0f)
            return 9;
    }
    return 0;
}

int clampToneZone(float zone)
{
    if (!(zone > 0.0f))
        return 0;
    if (zone >= 10.0f)
        return 10;
    return int(zone);
}

int clampIndex(int index, int first, int last)
{
    if (last < first)
        return first;
    return std::clamp(index, first, last);
}

int replayScrollTarget(ScrollCode code, int d, int thumb, int rate, int first, int last)
{
    const int line = rate / 30 < 6 ? 5 : rate / 30;
    int n = d;
    switch (code) {
    case ScrollCode::LineLeft: n = d - line; break;
    case ScrollCode::LineRight: n = d + line; break;
    case ScrollCode::PageLeft: n = d - rate / 5; break;
    case ScrollCode::PageRight: n = d + rate / 5; break;
    case ScrollCode::ThumbTrack: n = thumb; break;
    case ScrollCode::Top: n = first; break;
    case ScrollCode::Bottom: n = last; break;
    case ScrollCode::Other: break;
    }
    return clampIndex(n, first, last);
}

int replayHeartImage(const std::vector<Heartbeat>& beats, DATE shotTime, float x)
{
    if (beats.empty())
        return -1;
    DATE previousMax = 0;
    for (const Heartbeat& b : beats) {
        const double a = (b.min - shotTime) * 86400.0;
        const double e = (b.max - shotTime) * 86400.0;
        if (b.min != 0) {
            if (a <= x && x <= e)
                return 0;
        } else if (previousMax > 0 && e - (b.max - previousMax) * 86400.0 / 3.0 <= x && x <= e) {
            return 0;
        }
        previousMax = b.max;
    }
    return 1;
}

int normalisedTriggerScale(int scale)
{
    return scale < 32 ? 32 : scale;
}

int triggerBarHeight(int areaHeight, int value, int scale)
{
    if (areaHeight <= 0 || scale <= 0)
        return 0;
    const int64_t h = int64_t(areaHeight) * value * 100 / scale / 120;
    return int(std::clamp<int64_t>(h, 0, areaHeight));
}

PulsePanelLayout pulsePanelLayout(const QRect& client, bool pulseShown, bool triggerShown)
{
    PulsePanelLayout l;
    int y = client.top();
    if (pulseShown) {
        l.pulseRow1 = QRect(client.left(), y, client.width(), kPulseRow);
        l.pulseRow2 = QRect(client.left(), y + kPulseRow, client.width(), kPulseRow);
        y += 2 * kPulseRow;
    }
    if (triggerShown) {
        if (pulseShown) {
            l.gap = QRect(client.left(), y, client.width(), kPulseGap);
            y += kPulseGap;
        }
        l.triggerCaption = QRect(client.left(), y, client.width(), kPulseRow);
        y += kPulseRow;
        l.triggerBar = QRect(QPoint(client.left(), y), QPoint(client.right(), client.bottom()));
        if (l.triggerBar.height() <= 0)
            l.triggerBar = QRect();
    }
    return l;
}

int pulseSplitterPosition(int clientWidth, int splitterBarWidth, int clientLeft, bool panelShowsAnything)
{
    if (!panelShowsAnything)
        return -1;
    const int pos = clientWidth - splitterBarWidth - clientLeft - kPulseRow;
    return pos < 0 ? -1 : pos;
}

QString traceLabel(bool showResult, float result, bool showLength, float length)
{
    QString text;
    if (showResult)
        text = QString::asprintf(" %-3.1f ", double(result));
    if (showLength) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QString::asprintf(" %-3.1f mm ", double(length));
    }
    return text;
}

QString secondsText(float seconds)
{
    return QString::asprintf("%-5.2f", double(seconds));
}

} // namespace kavro::trace
