#include "event_table.h"

#include "com/classregistry.h"

#include <QStringList>
#include <functional>
#include <map>

namespace eventgen {
namespace {

struct Line {
    int number = 0;
    QString key;
    QString value;
};

bool parseFloat(const QString& text, float* out)
{
    bool ok = false;
    *out = text.toFloat(&ok); // QString conversions use the C locale
    return ok;
}

bool parseInt(const QString& text, int32_t* out)
{
    bool ok = false;
    *out = text.startsWith(QLatin1String("0x")) ? static_cast<int32_t>(text.mid(2).toUInt(&ok, 16)) : text.toInt(&ok);
    return ok;
}

bool parseBool(const QString& text, VARIANT_BOOL* out)
{
    if (text != QLatin1String("true") && text != QLatin1String("false"))
        return false;
    *out = toVariantBool(text == QLatin1String("true"));
    return true;
}

bool parseLiteral(const QString& text, Variant* out)
{
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"'))) {
        *out = Variant(text.mid(1, text.size() - 2));
        return true;
    }
    VARIANT_BOOL b;
    if (parseBool(text, &b)) {
        *out = Variant::fromBool(b != 0);
        return true;
    }
    int32_t i;
    if (!text.contains(QLatin1Char('.')) && parseInt(text, &i)) {
        *out = Variant(i);
        return true;
    }
    float f;
    if (parseFloat(text, &f)) {
        *out = Variant(f);
        return true;
    }
    return false;
}

enumTargetElementType elementType(const QString& name, bool* ok)
{
    static const std::map<QString, enumTargetElementType> types = {
        {QStringLiteral("polyline"), elementPolyline}, {QStringLiteral("ellipse"), elementEllipse},
        {QStringLiteral("picture"), elementPicture},   {QStringLiteral("rectangle"), elementRectangle},
        {QStringLiteral("polygon"), elementPolygon},   {QStringLiteral("text"), elementText},
    };
    auto it = types.find(name);
    *ok = it != types.end();
    return *ok ? it->second : elementRectangle;
}

using Setter = std::function<HRESULT(const QString&)>;

template <class I> Setter floatSetter(I* obj, HRESULT (I::*put)(float))
{
    return [=](const QString& v) {
        float f;
        return parseFloat(v, &f) ? (obj->*put)(f) : E_INVALIDARG;
    };
}
template <class I, class T> Setter intSetter(I* obj, HRESULT (I::*put)(T))
{
    return [=](const QString& v) {
        int32_t i;
        return parseInt(v, &i) ? (obj->*put)(static_cast<T>(i)) : E_INVALIDARG;
    };
}
template <class I> Setter boolSetter(I* obj, HRESULT (I::*put)(VARIANT_BOOL))
{
    return [=](const QString& v) {
        VARIANT_BOOL b;
        return parseBool(v, &b) ? (obj->*put)(b) : E_INVALIDARG;
    };
}

std::map<QString, Setter> eventSetters(IEventParams* e)
{
    return {
        {QStringLiteral("ShortName"), [=](const QString& v) { return e->put_ShortName(v); }},
        {QStringLiteral("Name"), [=](const QString& v) { return e->put_Name(v); }},
        {QStringLiteral("Caliber"), floatSetter(e, &IEventParams::put_Caliber)},
        {QStringLiteral("DisplayCaliber"), floatSetter(e, &IEventParams::put_DisplayCaliber)},
        {QStringLiteral("Distance"), floatSetter(e, &IEventParams::put_Distance)},
        {QStringLiteral("MinShotsPerAiming"), intSetter(e, &IEventParams::put_MinShotsPerAiming)},
        {QStringLiteral("MaxShotsPerAiming"), intSetter(e, &IEventParams::put_MaxShotsPerAiming)},
        {QStringLiteral("MaxShotsPerSerie"), intSetter(e, &IEventParams::put_MaxShotsPerSerie)},
    };
}

std::map<QString, Setter> targetSetters(ITargetParams* t)
{
    return {
        {QStringLiteral("FormWidth"), floatSetter(t, &ITargetParams::put_FormWidth)},
        {QStringLiteral("FormHeight"), floatSetter(t, &ITargetParams::put_FormHeight)},
        {QStringLiteral("Rings"),
         [=](const QString& v) {
             const QStringList parts = v.split(QLatin1Char(' '), Qt::SkipEmptyParts);
             if (parts.size() != 10)
                 return E_INVALIDARG;
             for (int n = 1; n <= 10; ++n) {
                 float d;
                 if (!parseFloat(parts[n - 1], &d) || FAILED(t->put_Ring(n, d)))
                     return E_INVALIDARG;
             }
             return S_OK;
         }},
        {QStringLiteral("InnerTen"), floatSetter(t, &ITargetParams::put_InnerTen)},
        {QStringLiteral("RingThickness"), floatSetter(t, &ITargetParams::put_RingThickness)},
        {QStringLiteral("Black"), floatSetter(t, &ITargetParams::put_Black)},
        {QStringLiteral("TextHeight"), floatSetter(t, &ITargetParams::put_TextHeight)},
        {QStringLiteral("LastNumberedRing"), intSetter(t, &ITargetParams::put_LastNumberedRing)},
        {QStringLiteral("TextOrientation"), intSetter(t, &ITargetParams::put_TextOrientation)},
        {QStringLiteral("FillCenter"), intSetter(t, &ITargetParams::put_FillCenter)},
        {QStringLiteral("BackgroundColor"), intSetter(t, &ITargetParams::put_BackgroundColor)},
        {QStringLiteral("BlackColor"), intSetter(t, &ITargetParams::put_BlackColor)},
        {QStringLiteral("RingColor"), intSetter(t, &ITargetParams::put_RingColor)},
        {QStringLiteral("TraceThickness"), floatSetter(t, &ITargetParams::put_TraceThickness)},
        {QStringLiteral("InnerRingColor"), intSetter(t, &ITargetParams::put_InnerRingColor)},
        {QStringLiteral("BreachColor"), intSetter(t, &ITargetParams::put_BreachColor)},
        {QStringLiteral("SelectedBreachColor"), intSetter(t, &ITargetParams::put_SelectedBreachColor)},
    };
}

std::map<QString, Setter> elementSetters(ITargetElement* el)
{
    return {
        {QStringLiteral("Type"),
         [=](const QString& v) {
             bool ok = false;
             enumTargetElementType type = elementType(v, &ok);
             return ok ? el->put_Type(type) : E_INVALIDARG;
         }},
        {QStringLiteral("Left"), floatSetter(el, &ITargetElement::put_Left)},
        {QStringLiteral("Top"), floatSetter(el, &ITargetElement::put_Top)},
        {QStringLiteral("Width"), floatSetter(el, &ITargetElement::put_Width)},
        {QStringLiteral("Height"), floatSetter(el, &ITargetElement::put_Height)},
        {QStringLiteral("Result"), floatSetter(el, &ITargetElement::put_Result)},
        {QStringLiteral("AreaIndex"), intSetter(el, &ITargetElement::put_AreaIndex)},
        {QStringLiteral("BorderWidth"), floatSetter(el, &ITargetElement::put_BorderWidth)},
        {QStringLiteral("Clip"), boolSetter(el, &ITargetElement::put_Clip)},
        {QStringLiteral("Fill"), boolSetter(el, &ITargetElement::put_Fill)},
        {QStringLiteral("DrawBeforeRings"), boolSetter(el, &ITargetElement::put_DrawBeforeRings)},
        {QStringLiteral("CalcAfterRings"), boolSetter(el, &ITargetElement::put_CalcAfterRings)},
        {QStringLiteral("Visible"), boolSetter(el, &ITargetElement::put_Visible)},
        {QStringLiteral("IgnoreResult"), boolSetter(el, &ITargetElement::put_IgnoreResult)},
        {QStringLiteral("BorderColor"), intSetter(el, &ITargetElement::put_BorderColor)},
        {QStringLiteral("BodyColor"), intSetter(el, &ITargetElement::put_BodyColor)},
        {QStringLiteral("Point"),
         [=](const QString& v) {
             const QStringList xy = v.split(QLatin1Char(' '), Qt::SkipEmptyParts);
             float x, y;
             if (xy.size() != 2 || !parseFloat(xy[0], &x) || !parseFloat(xy[1], &y))
                 return E_INVALIDARG;
             return el->AddPoint(x, y);
         }},
    };
}

} // namespace

HRESULT buildEvent(const QString& text, ComPtr<IEventParams>* event, QString* error)
{
    ComPtr<IEventParams> e;
    HRESULT hr = createInstance(kavrodoc::CLSID_EventParams, &e);
    if (FAILED(hr)) {
        *error = QStringLiteral("cannot create an event");
        return hr;
    }
    QString section;
    int targets = 0;
    ComPtr<ITargetParams> target;
    ComPtr<ITargetElement> element;
    std::map<QString, Setter> setters;
    std::function<HRESULT(const QString&, const Variant&)> putValue;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        auto fail = [&](const QString& why) {
            *error = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
            return E_INVALIDARG;
        };
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            section = line;
            if (section == QLatin1String("[event]")) {
                setters = eventSetters(e.get());
                putValue = [e](const QString& k, const Variant& v) { return e->put_Value(k, v); };
            } else if (section == QLatin1String("[target]")) {
                target = nullptr;
                if (FAILED(e->get_Target(++targets, target.put())))
                    return fail(QStringLiteral("cannot add a target"));
                setters = targetSetters(target.get());
                putValue = nullptr;
            } else if (section == QLatin1String("[element]")) {
                if (!target)
                    return fail(QStringLiteral("an element needs a target above it"));
                element = nullptr;
                if (FAILED(target->AddElement(elementRectangle, 0, 0, 0, 0, element.put())))
                    return fail(QStringLiteral("cannot add an element"));
                setters = elementSetters(element.get());
                ITargetElement* el = element.get();
                putValue = [el](const QString& k, const Variant& v) { return el->put_Value(k, v); };
            } else {
                return fail(QStringLiteral("unknown section ") + section);
            }
            continue;
        }
        int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || section.isEmpty())
            return fail(QStringLiteral("expected \"Key = value\" inside a section"));
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key.startsWith(QLatin1String("value "))) {
            Variant v;
            if (!putValue || !parseLiteral(value, &v) || FAILED(putValue(key.mid(6).trimmed(), v)))
                return fail(QStringLiteral("bad value ") + key);
            continue;
        }
        auto it = setters.find(key);
        if (it == setters.end())
            return fail(QStringLiteral("unknown key ") + key);
        if (FAILED(it->second(value)))
            return fail(QStringLiteral("bad value for ") + key);
    }
    QString shortName;
    e->get_ShortName(&shortName);
    if (shortName.isEmpty()) {
        *error = QStringLiteral("no ShortName");
        return E_INVALIDARG;
    }
    *event = e;
    return S_OK;
}

} // namespace eventgen
