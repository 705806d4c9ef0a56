#include "doc_facts.h"

#include "doc_helpers.h"
#include "ui_text.h"

bool isValidDocument(IKavroDocument* doc)
{
    VARIANT_BOOL v = VARIANT_FALSE;
    return doc && SUCCEEDED(doc->get_Valid(&v)) && v == VARIANT_TRUE;
}

bool documentString(IKavroDocument* doc, const QString& key, QString* out)
{
    Variant v;
    if (!doc || FAILED(doc->get_Value(key, &v)) || v.vt() != VT_BSTR)
        return false;
    *out = v.bstr();
    return true;
}

bool positionNameOf(IKavroDocument* doc, QString* out)
{
    QString p;
    if (!documentString(doc, QStringLiteral("_position"), &p))
        return false;
    if (p == u"prone")
        *out = uiText(32824);
    else if (p == u"standing")
        *out = uiText(32825);
    else if (p == u"kneeling")
        *out = uiText(32826);
    else
        *out = p;
    return true;
}

bool isThreePositions(IEventParams* event)
{
    Variant v;
    bool three = false;
    return event && SUCCEEDED(event->get_Value(QStringLiteral("_three_positions"), &v)) && SUCCEEDED(v.toBool(&three))
        && three;
}

bool anyShotHasTriggerData(IShotCollection* shots)
{
    for (int i = 1, n = countOf(shots); i <= n; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        ComPtr<IAimingTrace> trace;
        int32_t index = -1;
        if (s && SUCCEEDED(s->get_Trace(trace.put())) && trace
            && SUCCEEDED(trace->GetUserData(QStringLiteral("_trigger"), &index)) && index > 0)
            return true;
    }
    return false;
}

int shotCountWithHidden(IAimingCollection* aimings, bool matchOnly)
{
    ComPtr<IShotCollection> all, match;
    if (!aimings || FAILED(aimings->Shots(VARIANT_TRUE, all.put())) || !all)
        return 0;
    if (!matchOnly)
        return countOf(all.get());
    if (FAILED(all->Match(match.put())) || !match)
        return 0;
    return countOf(match.get());
}
