#include "practice_rules.h"

#include "app_registry.h"
#include "dialog_texts.h"
#include "res_strings.h"
#include "target_kind.h"

namespace kavro::practice {

namespace {

QString shortNameOf(IEventParams* event)
{
    QString s;
    if (event)
        event->get_ShortName(&s);
    return s;
}

bool valueIsTrue(IEventParams* event, const QString& name)
{
    Variant v;
    if (!event || FAILED(event->get_Value(name, &v)) || v.vt() == VT_EMPTY)
        return false;
    bool b = false;
    return SUCCEEDED(v.toBool(&b)) && b;
}

QString bstrValue(IEventParams* event, const QString& name, bool* isString = nullptr)
{
    Variant v;
    const bool ok = event && SUCCEEDED(event->get_Value(name, &v)) && v.vt() == VT_BSTR;
    if (isString)
        *isString = ok;
    return ok ? v.bstr() : QString();
}

// Key names keep every character but the escape itself and the separators.
QString escapeKeyName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (QChar c : name) {
        if (c == QLatin1Char('%'))
            out += QStringLiteral("%25");
        else if (c == QLatin1Char('\\'))
            out += QStringLiteral("%5C");
        else if (c == QLatin1Char('/'))
            out += QStringLiteral("%2F");
        else
            out += c;
    }
    return out;
}

} // namespace

int presetFCoefficient(IEventParams* event)
{
    const QString shortName = shortNameOf(event);
    if (shortName == QLatin1String("AR10"))
        return 35;
    if (shortName == QLatin1String("AP10"))
        return 12;
    if (valueIsTrue(event, QStringLiteral("_three_positions")))
        return 40;
    if (shortName == QLatin1String("SBP50"))
        return 10;
    if (targetKindOfShortName(shortName) == TargetKind::Biathlon)
        return 15;
    const QString gun = bstrValue(event, QStringLiteral("gun"));
    if (gun == QLatin1String("pistol"))
        return 10;
    if (gun == QLatin1String("rifle"))
        return 30;
    return 15;
}

QString shooterEventKeyPath(const QString& shooterName, const QString& eventShortName)
{
    return escapeKeyName(shooterName) + QLatin1Char('\\') + escapeKeyName(eventShortName);
}

int LoadFCoefficient(const QString& eventShortName, const QString& shooterName)
{
    if (shooterName.isEmpty() || eventShortName.isEmpty())
        return 0;
    const SettingsKey key = OpenAppSubKey(shooterEventKeyPath(shooterName, eventShortName));
    uint32_t v = 0;
    if (!key.isValid() || FAILED(key.readDword(QStringLiteral("FCoefficient"), &v)))
        return 0;
    if (v < kMinStoredFCoefficient || v > kMaxStoredFCoefficient)
        return 0;
    return static_cast<int>(v);
}

bool SaveFCoefficient(const QString& eventShortName, const QString& shooterName, int value)
{
    if (shooterName.isEmpty() || eventShortName.isEmpty())
        return false;
    const SettingsKey key = CreateAppSubKey(shooterEventKeyPath(shooterName, eventShortName));
    return key.isValid() && SUCCEEDED(key.writeDword(QStringLiteral("FCoefficient"), static_cast<uint32_t>(value)));
}

ShotSeconds shotSecondsFor(const QString& shortName, int optionBefore, int optionAfter)
{
    if (targetKindOfShortName(shortName) == TargetKind::Biathlon)
        return {5, 5};
    static const char* const longWindows[]
        = {"MRF-22-6", "MRF-22-8", "MRF-22-10", "MRF-32-6", "MRF-32-8", "MRF-32-10", "N4TL3", "N4TL15"};
    for (const char* name : longWindows)
        if (shortName == QLatin1String(name))
            return {15, 15};
    return {optionBefore, optionAfter};
}

int firstNewPoint(int first, int last, int count)
{
    if (count <= 0 || last < first)
        return last + 1;
    const int64_t start = int64_t(last) - count + 1;
    return start < first ? first : static_cast<int>(start);
}

QString deviceText(const QString& modelName, const QString& serialNumber)
{
    if (serialNumber.isEmpty())
        return modelName;
    if (modelName.isEmpty())
        return serialNumber;
    return modelName + QLatin1Char(' ') + serialNumber;
}

bool serialSensorsEnabled(bool option)
{
    return option || qgetenv("KAVRO_ENABLE_RS232") == "1";
}

void keepOneFilterOn(EventFilter* filter)
{
    if (!filter->issf && !filter->nra && !filter->military && !filter->other)
        filter->issf = true;
}

bool eventPasses(IEventParams* event, const EventFilter& filter, bool sensorRestricted, int distance)
{
    if (!event)
        return false;
    if (sensorRestricted) {
        Variant v;
        int32_t target = 0;
        if (FAILED(event->get_Value(QStringLiteral("_qv_target"), &v)) || v.vt() == VT_EMPTY
            || FAILED(v.toInt32(&target)) || static_cast<uint32_t>(target) > 255)
            return false;
        const QString shortName = shortNameOf(event);
        const bool anyDistance = distance == 0 || distance == -1 || distance == 10000;
        const bool farTarget = (distance == 25000 || distance == 50000) && shortName != QLatin1String("AR10")
            && shortName != QLatin1String("AP10");
        if (!anyDistance && !farTarget)
            return false;
    }
    const QString tags = bstrValue(event, QStringLiteral("tags"));
    if (tags == QLatin1String("issf"))
        return filter.issf;
    if (tags == QLatin1String("nra"))
        return filter.nra;
    if (tags == QLatin1String("military"))
        return filter.military;
    return filter.other;
}

QStringList initialPositions(IEventParams* event, int* selected)
{
    if (selected)
        *selected = -1;
    if (!event)
        return {};
    if (valueIsTrue(event, QStringLiteral("_three_positions"))) {
        if (selected)
            *selected = 1;
        return {LoadResString(32824), LoadResString(32825), LoadResString(32826)};
    }
    if (targetKindOfShortName(shortNameOf(event)) == TargetKind::Biathlon) {
        if (selected)
            *selected = 1;
        return {LoadResString(32824), LoadResString(32825)};
    }
    return {};
}

} // namespace kavro::practice
