#include "trace_look.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "target_host.h"
#include "trace_model.h"

#include "com/olecolor.h"

namespace kavro::trace {

namespace {
constexpr OLE_COLOR kWhite = 0x00FFFFFF;
}

void applyTraceLook(ITarget* t, const AppOptions& o, float traceSeconds)
{
    t->put_TraceHeadingLength(o.TraceHeadingEnabled ? o.TraceHeadingLength : 0.0f);
    t->put_LabelColor(kWhite);
    t->put_BreachColor(o.BreachColor);
    t->put_SelectedBreachColor(o.SelectedBreachColor);
    t->ResetIntervals();
    t->put_TraceColor(o.TraceColorBefore);
    t->put_TraceHeadingColor(o.TraceHeadingColor);
    t->put_TraceAfterShotColor(o.TraceColorAfter);
    t->AddTraceInterval(-traceSeconds, 0.0f, o.ControlIntervalColor);
    if (o.AdvancedMode)
        for (const TraceIntervalColor& i : o.TraceIntervals)
            t->AddTraceInterval(i.begin, i.end, i.color);
}

QString markShot(ITarget* t, IShot* shot, std::optional<float> result, float traceSeconds, const AppOptions& o)
{
    bool showLength = false;
    float length = 0;
    if (!isMissed(shot)) {
        ComPtr<IRange> range;
        if (SUCCEEDED(shot->Range(-traceSeconds, 0.0f, range.put())) && range) {
            float ax = 0, ay = 0;
            range->get_AveragePointX(&ax);
            range->get_AveragePointY(&ay);
            AddMarkCross(t, ax, ay);
            if (o.TargetLen) {
                showLength = true;
                range->get_Length(&length);
            }
        }
    }
    return traceLabel(result.has_value(), result.value_or(0.0f), showLength, length);
}

QString timeCounterText(IShotCollection* matchShots, DATE now)
{
    ComPtr<IShot> first = countOf(matchShots) > 0 ? shotAt(matchShots, 1) : nullptr;
    ComPtr<IAimingAttr> attr;
    DATE enter = 0;
    if (first && SUCCEEDED(first->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_EnterTime(&enter)))
        return QStringLiteral(" ") + AppendElapsedTime(now - enter, true) + QStringLiteral(" ");
    return QString();
}

} // namespace kavro::trace
