#include "trace_replay.h"

#include "doc_helpers.h"

namespace kavro::trace {

namespace {

// The heartbeats stored with a shot's aiming attributes.
std::vector<Heartbeat> heartbeatsOf(IShot* shot)
{
    std::vector<Heartbeat> beats;
    ComPtr<IAimingAttr> attr;
    if (!shot || FAILED(shot->get_Attr(attr.put())) || !attr)
        return beats;
    for (int i = 0, n = GetAttrPulseCount(attr.get()); i < n; ++i) {
        Heartbeat b;
        if (!GetPulseMinMax(attr.get(), i, &b.min, &b.max))
            break;
        beats.push_back(b);
    }
    return beats;
}

bool triggerChannelOf(IShot* shot, ComPtr<IAimingTrace>* trace, int32_t* channel)
{
    *channel = -1;
    return SUCCEEDED(shot->get_Trace(trace->put())) && *trace
        && SUCCEEDED((*trace)->GetUserData(QStringLiteral("_trigger"), channel)) && *channel >= 0;
}

} // namespace

std::optional<ReplaySpan> replaySpanOf(IRange* range)
{
    if (!range)
        return std::nullopt;
    ReplaySpan s;
    range->get_First(&s.first);
    range->get_Last(&s.last);
    range->Index2Sec(s.first, &s.start);
    range->Index2Sec(s.last, &s.end);
    return s;
}

std::optional<float> firstVisibleSecond(IRange* range, float left, float top, float width, float height)
{
    const std::optional<ReplaySpan> span = replaySpanOf(range);
    if (!span)
        return std::nullopt;
    for (int32_t i = span->first; i <= span->last; ++i) {
        VARIANT_BOOL valid = VARIANT_FALSE;
        float x = 0, y = 0;
        if (FAILED(range->get_ValidCoordinate(i, &valid)) || valid != VARIANT_TRUE)
            continue;
        range->get_x(i, &x);
        range->get_y(i, &y);
        if (x >= left && x <= left + width && y >= top && y <= top + height) {
            float sec = 0;
            range->Index2Sec(i, &sec);
            return sec;
        }
    }
    return std::nullopt;
}

std::optional<int> replayTriggerScale(IShot* shot)
{
    ComPtr<IAimingTrace> trace;
    int32_t channel = -1;
    if (!triggerChannelOf(shot, &trace, &channel))
        return std::nullopt;
    int32_t first = 0, last = -1, largest = 0;
    trace->get_First(&first);
    trace->get_Last(&last);
    for (int32_t i = first; i <= last; ++i) {
        int32_t v = 0;
        if (SUCCEEDED(trace->get_UserData(channel, i, &v)))
            largest = std::max(largest, v);
    }
    return largest < 1 ? 1 : largest;
}

std::optional<float> replayScrollSecond(IShot* shot, float position, ScrollCode code, int thumb)
{
    ComPtr<IRange> range;
    if (FAILED(shot->Range(0.0f, 0.0f, range.put())) || !range)
        return std::nullopt;
    int32_t first = 0, last = 0, rate = 0, d = 0;
    range->get_First(&first);
    range->get_Last(&last);
    range->get_SampleRate(&rate);
    range->Sec2Index(position, &d);
    d = clampIndex(d, first, last);
    const int n = replayScrollTarget(code, d, thumb, rate, first, last);
    if (n == d)
        return std::nullopt;
    float sec = 0;
    range->Index2Sec(n, &sec);
    return sec;
}

std::optional<ReplayMoment> replayMomentAt(IShot* shot, float x, const std::vector<PulseSample>& pulse)
{
    ComPtr<IRange> range;
    if (FAILED(shot->Range(0.0f, 0.0f, range.put())) || !range)
        return std::nullopt;
    ReplayMoment m;
    int32_t first = 0, last = 0;
    range->get_First(&first);
    range->get_Last(&last);
    range->Sec2Index(x, &m.index);
    m.index = clampIndex(m.index, first, last);
    VARIANT_BOOL valid = VARIANT_FALSE;
    if (SUCCEEDED(range->get_ValidCoordinate(m.index, &valid)) && valid == VARIANT_TRUE) {
        TonePoint p;
        range->get_x(m.index, &p.x);
        range->get_y(m.index, &p.y);
        range->get_Event(p.event.put());
        shot->get_Attr(p.attr.put());
        m.point = std::move(p);
    }

    ComPtr<IAimingTrace> trace;
    int32_t channel = -1;
    if (triggerChannelOf(shot, &trace, &channel)) {
        int32_t traceIndex = 0, offset = 0, tFirst = 0, tLast = 0, value = 0;
        shot->get_TraceIndex(&traceIndex);
        trace->Sec2Index(x, &offset);
        trace->get_First(&tFirst);
        trace->get_Last(&tLast);
        if (SUCCEEDED(trace->get_UserData(channel, clampIndex(traceIndex + offset, tFirst, tLast), &value)))
            m.trigger = value;
    }

    DATE shotTime = 0;
    shot->get_ShotTime(&shotTime);
    m.heartImage = replayHeartImage(heartbeatsOf(shot), shotTime, x);
    m.pulse = pulseAt(pulse, shotTime + x / 86400.0);
    return m;
}

} // namespace kavro::trace
