#include "shot_page_model.h"

#include "doc_helpers.h"
#include "kavro_doc.h"

namespace kavro::info {

const std::vector<QString>& shotPageIds()
{
    static const std::vector<QString> ids = {"idShotNumber",  "idShotTime",         "idShotPulse",       "idShotResult",
                                             "idShotElapsed", "idShotIntervalPrev", "idShotIntervalNext"};
    return ids;
}

namespace {

DATE shotTime(IShot* shot)
{
    DATE t = 0;
    if (shot)
        shot->get_ShotTime(&t);
    return t;
}

} // namespace

InfoPageModel BuildShotPage(CKavroDoc& doc)
{
    InfoPageModel page;
    for (const QString& id : shotPageIds())
        page.set(id, QString());
    ComPtr<IShot> selected;
    ComPtr<IShotCollection> match;
    if (!doc.GetSelectedShot(&selected) || !doc.GetMatchShots(&match))
        return page;
    const int n = countOf(match.get());
    int position = 0;
    for (int i = 1; i <= n && !position; ++i)
        if (shotAt(match.get(), i).get() == selected.get())
            position = i;
    if (!position)
        return page;

    page.set(QStringLiteral("idShotNumber"), QString::asprintf("%i", position));
    page.set(QStringLiteral("idShotTime"), formatDateTime(shotTime(selected.get())));
    // A shot fired before the sensor had measured a pulse carries none of its own; the practice's
    // pulse samples still tell it, as they tell the replay.
    Variant pulse;
    int32_t value = 0;
    bool known = false;
    if (SUCCEEDED(selected->get_Value(QStringLiteral("_pulse"), &pulse)) && pulse.vt() == VT_I2)
        known = SUCCEEDED(pulse.toInt32(&value));
    else if (doc.GetPulseCount() > 0) {
        value = pulseAt(doc.PulseSamples(), shotTime(selected.get()));
        known = value > 0;
    }
    if (known)
        page.set(QStringLiteral("idShotPulse"), QString::asprintf("%i", value));
    float result = 0;
    selected->get_Result(&result);
    page.set(QStringLiteral("idShotResult"), decimalText("%-4.1f", double(result)));
    if (!doc.HasValidShotTimes())
        return page;
    ComPtr<IAimingAttr> firstAttr;
    DATE enter = 0;
    if (ComPtr<IShot> first = shotAt(match.get(), 1); first && SUCCEEDED(first->get_Attr(firstAttr.put())) && firstAttr)
        firstAttr->get_EnterTime(&enter);
    const DATE t = shotTime(selected.get());
    page.set(QStringLiteral("idShotElapsed"), AppendElapsedTime(t - enter, true));
    if (position > 1)
        page.set(QStringLiteral("idShotIntervalPrev"),
                 AppendElapsedTime(t - shotTime(shotAt(match.get(), position - 1).get()), true));
    if (position < n)
        page.set(QStringLiteral("idShotIntervalNext"),
                 AppendElapsedTime(shotTime(shotAt(match.get(), position + 1).get()) - t, true));
    return page;
}

} // namespace kavro::info
