#include "doc_helpers.h"

#include "res_strings.h"

#include "com/classregistry.h"

#include <cmath>

int countOf(IShotCollection* shots)
{
    int32_t n = 0;
    if (shots && FAILED(shots->get_Count(&n)))
        n = 0;
    return n;
}

int countOf(IAimingCollection* aimings)
{
    int32_t n = 0;
    if (aimings && FAILED(aimings->get_Count(&n)))
        n = 0;
    return n;
}

ComPtr<IShot> shotAt(IShotCollection* shots, int index)
{
    ComPtr<IShot> s;
    if (shots)
        shots->get_Item(index, s.put());
    return s;
}

ComPtr<IAiming> aimingAt(IAimingCollection* aimings, int index)
{
    ComPtr<IAiming> a;
    if (aimings)
        aimings->get_Item(index, a.put());
    return a;
}

bool isMissed(IShot* shot)
{
    VARIANT_BOOL m = VARIANT_FALSE;
    return shot && SUCCEEDED(shot->get_Missed(&m)) && m == VARIANT_TRUE;
}

bool isHidden(IShot* shot)
{
    VARIANT_BOOL h = VARIANT_FALSE;
    return shot && SUCCEEDED(shot->get_Hidden(&h)) && h == VARIANT_TRUE;
}

namespace {

template <class Holder> int subTargetOf(Holder* holder)
{
    ComPtr<IAimingAttr> attr;
    int32_t sub = 1;
    if (holder && SUCCEEDED(holder->get_Attr(attr.put())) && attr)
        attr->get_SubTarget(&sub);
    return sub;
}

} // namespace

int shotSubTarget(IShot* shot)
{
    return subTargetOf(shot);
}

int aimingSubTarget(IAiming* aiming)
{
    return subTargetOf(aiming);
}

namespace {

template <class Holder> bool readI4(Holder* holder, const QString& key, int32_t* out)
{
    Variant v;
    if (!holder || FAILED(holder->get_Value(key, &v)) || v.vt() != VT_I4)
        return false;
    *out = static_cast<int32_t>(v.integer());
    return true;
}

template <class Holder> bool readDate(Holder* holder, const QString& key, DATE* out)
{
    Variant v;
    if (!holder || FAILED(holder->get_Value(key, &v)) || v.vt() != VT_DATE)
        return false;
    *out = v.r8();
    return true;
}

template <class Holder> int pulseCount(Holder* holder)
{
    int32_t first = 0, last = 0;
    if (!readI4(holder, QStringLiteral("_pulse_fi"), &first) || !readI4(holder, QStringLiteral("_pulse_li"), &last))
        return 0;
    const int64_t n = int64_t(last) - first + 1;
    return n > 0 && n <= INT32_MAX ? int(n) : 0;
}

template <class Holder> bool pulseMinMax(Holder* holder, int i, DATE* min, DATE* max)
{
    if (i < 0 || i >= pulseCount(holder))
        return false;
    int32_t first = 0;
    readI4(holder, QStringLiteral("_pulse_fi"), &first);
    const int64_t k = int64_t(first) + i;
    return readDate(holder, QStringLiteral("_pulse_min%1").arg(k), min)
        && readDate(holder, QStringLiteral("_pulse_max%1").arg(k), max);
}

} // namespace

int GetAttrPulseCount(IKavroDocument* holder)
{
    return pulseCount(holder);
}

int GetAttrPulseCount(IAimingAttr* holder)
{
    return pulseCount(holder);
}

bool GetPulseMinMax(IKavroDocument* holder, int i, DATE* min, DATE* max)
{
    return pulseMinMax(holder, i, min, max);
}

bool GetPulseMinMax(IAimingAttr* holder, int i, DATE* min, DATE* max)
{
    return pulseMinMax(holder, i, min, max);
}

float ComputeIntervalStability(IShotCollection* shots)
{
    std::vector<double> t;
    for (int i = 1, n = countOf(shots); i <= n; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        DATE when = 0;
        if (s && !isMissed(s.get()) && SUCCEEDED(s->get_ShotTime(&when)))
            t.push_back(when);
    }
    const size_t n = t.size();
    if (n < 2 || t[n - 1] == t[0])
        return 0;
    const double d = (t[n - 1] - t[0]) / double(n - 1);
    double s = 0;
    for (size_t j = 1; j < n; ++j)
        s += std::fabs(d - (t[j] - t[j - 1]));
    const double r = 100.0 - s / (t[n - 1] - t[0]) * 100.0;
    return r < 0 ? 0.0f : float(r);
}

float ComputeAimingIntervalStability(IAimingCollection* aimings, bool includeHidden)
{
    double sum = 0;
    int counted = 0;
    for (int i = 1, n = countOf(aimings); i <= n; ++i) {
        ComPtr<IAiming> a = aimingAt(aimings, i);
        ComPtr<IShotCollection> shots;
        if (!a || FAILED(createInstance(kavrodoc::CLSID_ShotCollection, &shots)) || !shots)
            continue;
        int32_t k = 0;
        a->get_ShotCount(&k);
        int valid = 0;
        for (int j = 1; j <= k; ++j) {
            ComPtr<IShot> s;
            VARIANT_BOOL hidden = VARIANT_FALSE;
            if (SUCCEEDED(a->Shot(j, s.put())) && s && !isMissed(s.get())
                && (includeHidden || FAILED(s->get_Hidden(&hidden)) || hidden != VARIANT_TRUE)) {
                shots->Add(s.get());
                ++valid;
            }
        }
        if (valid >= 2) {
            sum += ComputeIntervalStability(shots.get());
            ++counted;
        }
    }
    return counted ? float(sum / counted) : 0.0f;
}

QString FormatEventName(IEventParams* event, int langId)
{
    if (!event)
        return QString();
    QString name;
    Variant v;
    if (SUCCEEDED(event->get_Value(QStringLiteral("_name_%1").arg(langId), &v)) && v.vt() == VT_BSTR)
        name = v.bstr();
    if (name.isEmpty())
        event->get_Name(&name);
    if (name.isEmpty())
        event->get_ShortName(&name);
    float caliber = 0;
    event->get_Caliber(&caliber);
    return name + QStringLiteral(" (") + kavro::formatResString(61224, double(caliber)) + QLatin1Char(')');
}

bool CompareEvents(IEventParams* a, IEventParams* b, int langId)
{
    float da = 0, db = 0;
    a->get_Distance(&da);
    b->get_Distance(&db);
    if (da != db)
        return da > db;
    return FormatEventName(a, langId) < FormatEventName(b, langId);
}

QString AppendElapsedTime(double days, bool shortForm)
{
    const long long total = std::llround(days * 86400.0);
    const int h = int(total / 3600), m = int(total / 60 % 60), s = int(total % 60);
    if (h == 0 && shortForm)
        return QString::asprintf("%02i:%02i", m, s);
    return QString::asprintf("%02i:%02i:%02i", h, m, s);
}

TargetKind::Kind targetKindOf(IEventParams* event)
{
    QString name;
    if (!event || FAILED(event->get_ShortName(&name)))
        return TargetKind::None;
    return targetKindOfShortName(name);
}

bool shotTimesStrictlyIncreasing(IShotCollection* shots)
{
    DATE previous = 25570.0; // 1970-01-02: anything before is no real time
    for (int i = 1, n = countOf(shots); i <= n; ++i) {
        ComPtr<IShot> s = shotAt(shots, i);
        DATE t = 0;
        if (!s || FAILED(s->get_ShotTime(&t)) || !(t > previous))
            return false;
        previous = t;
    }
    return true;
}
