#include "trace_tone.h"

#include "trace_model.h"

#include "sounds/blind_tone.h"

#include <cmath>

namespace kavro::trace {

namespace {

// Drives whatever tone the program has at the time of each call.
class ProgramTone final : public BlindToneGenerator {
public:
    void update(int zone, float x, float formWidth) override
    {
        if (BlindTone* t = GetBlindTone())
            t->Update(zone, x, formWidth);
    }
    bool isPlaying() const override
    {
        const BlindTone* t = GetBlindTone();
        return t && t->IsPlaying();
    }
    void stop() override
    {
        if (BlindTone* t = GetBlindTone())
            t->Stop();
    }
};

BlindToneGenerator*& installedTone()
{
    static BlindToneGenerator* generator = nullptr;
    return generator;
}

} // namespace

void setBlindTone(BlindToneGenerator* generator)
{
    installedTone() = generator;
}

BlindToneGenerator& blindTone()
{
    static ProgramTone program;
    BlindToneGenerator* g = installedTone();
    return g ? *g : program;
}

void tuneBlindTone(BlindToneGenerator& tone, bool biathlon, float x, float y, IEventParams* event, IAimingAttr* attr)
{
    int zone = 0;
    if (biathlon) {
        int32_t sub = 1;
        if (attr)
            attr->get_SubTarget(&sub);
        zone = biathlonToneZone(x, y, sub);
    } else {
        float score = 0;
        event->GetPointScore(x, y, 1, &score);
        zone = clampToneZone(std::trunc(score));
    }
    ComPtr<ITargetParams> params;
    float w = 0;
    if (SUCCEEDED(event->get_Target(1, params.put())) && params)
        params->get_FormWidth(&w);
    tone.update(clampToneZone(float(zone)), x, w);
}

std::optional<TonePoint> newestTracePoint(IAiming* aiming)
{
    ComPtr<IAimingTrace> trace;
    TonePoint p;
    int32_t last = 0;
    VARIANT_BOOL valid = VARIANT_FALSE;
    if (FAILED(aiming->get_Trace(trace.put())) || !trace || FAILED(trace->get_Last(&last))
        || FAILED(trace->ValidCoordinate(last, &valid)) || valid != VARIANT_TRUE
        || FAILED(aiming->get_Attr(p.attr.put())) || !p.attr || FAILED(p.attr->get_Event(p.event.put())))
        return std::nullopt;
    trace->get_x(last, &p.x);
    trace->get_y(last, &p.y);
    return p;
}

} // namespace kavro::trace
