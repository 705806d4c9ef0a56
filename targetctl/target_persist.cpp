// Persistence of the control's properties (stream and property bag) and the value browsing of
// EventShortName. Every property is read and written through its member, in one fixed order.
#include "target.h"

#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

namespace kavro::target {

namespace {

struct PersistedProperty {
    const char* name;
    DISPID dispid;
    VARTYPE type;
};

// The order is the stored layout. "ReplayPaused" holds the ReplayLabel text: hosts' saved forms
// carry it under that name.
constexpr PersistedProperty kPersisted[] = {
    {"EventShortName", dispidEventShortName, VT_BSTR},
    {"DisplayTrace", dispidDisplayTrace, VT_BOOL},
    {"AutoZoom", dispidAutoZoom, VT_BOOL},
    {"ReplaySpeed", dispidReplaySpeed, VT_I4},
    {"Dragable", dispidDragable, VT_BOOL},
    {"Match", dispidMatch, VT_BOOL},
    {"ReplayMarkColor", dispidReplayMarkColor, VT_UI4},
    {"SightingMarkColor", dispidSightingMarkColor, VT_UI4},
    {"DisplayBreach", dispidDisplayBreach, VT_BOOL},
    {"DisplayReplayMark", dispidDisplayReplayMark, VT_BOOL},
    {"Label", dispidLabel, VT_BSTR},
    {"Zoom", dispidZoom, VT_R4},
    {"TraceHeadingLength", dispidTraceHeadingLength, VT_R4},
    {"TraceHeadingColor", dispidTraceHeadingColor, VT_UI4},
    {"TraceColor", dispidTraceColor, VT_UI4},
    {"TraceAfterShotColor", dispidTraceAfterShotColor, VT_UI4},
    {"Selectable", dispidSelectable, VT_BOOL},
    {"ShadeLabel", dispidShadeLabel, VT_BOOL},
    {"LabelColor", dispidLabelColor, VT_UI4},
    {"DefaultBackground", dispidDefaultBackground, VT_BOOL},
    {"ReplayPaused", dispidReplayLabel, VT_BSTR},
    {"ReplayPausedLabel", dispidReplayPausedLabel, VT_BSTR},
    {"TraceThickness", dispidTraceThickness, VT_R4},
    {"BreachColor", dispidBreachColor, VT_UI4},
    {"SelectedBreachColor", dispidSelectedBreachColor, VT_UI4},
    {"SubTarget", dispidSubTarget, VT_I4},
    {"BackColor", dispidBackColor, VT_UI4},
};

// The persisted Label is label 1: the position a caller without one means.
constexpr int32_t kPersistedLabel = 1;

template <class T> HRESULT read(HRESULT (ITarget::*get)(T*), ITarget* t, Variant* out, Variant (*make)(T))
{
    T value{};
    HRESULT hr = (t->*get)(&value);
    if (SUCCEEDED(hr))
        *out = make(value);
    return hr;
}

Variant fromFlag(VARIANT_BOOL v)
{
    return Variant::fromBool(v != VARIANT_FALSE);
}
Variant fromColour(OLE_COLOR v)
{
    return Variant::fromInteger(VT_UI4, v);
}
Variant fromInt(int32_t v)
{
    return Variant(v);
}
Variant fromFloat(float v)
{
    return Variant(v);
}
Variant fromText(QString v)
{
    return Variant(v);
}

HRESULT getProperty(ITarget* t, DISPID dispid, Variant* out)
{
    switch (dispid) {
    case dispidEventShortName: return read(&ITarget::get_EventShortName, t, out, fromText);
    case dispidDisplayTrace: return read(&ITarget::get_DisplayTrace, t, out, fromFlag);
    case dispidAutoZoom: return read(&ITarget::get_AutoZoom, t, out, fromFlag);
    case dispidReplaySpeed: return read(&ITarget::get_ReplaySpeed, t, out, fromInt);
    case dispidDragable: return read(&ITarget::get_Dragable, t, out, fromFlag);
    case dispidMatch: return read(&ITarget::get_Match, t, out, fromFlag);
    case dispidReplayMarkColor: return read(&ITarget::get_ReplayMarkColor, t, out, fromColour);
    case dispidSightingMarkColor: return read(&ITarget::get_SightingMarkColor, t, out, fromColour);
    case dispidDisplayBreach: return read(&ITarget::get_DisplayBreach, t, out, fromFlag);
    case dispidDisplayReplayMark: return read(&ITarget::get_DisplayReplayMark, t, out, fromFlag);
    case dispidLabel: {
        QString text;
        HRESULT hr = t->get_Label(kPersistedLabel, &text);
        if (SUCCEEDED(hr))
            *out = Variant(text);
        return hr;
    }
    case dispidZoom: return read(&ITarget::get_Zoom, t, out, fromFloat);
    case dispidTraceHeadingLength: return read(&ITarget::get_TraceHeadingLength, t, out, fromFloat);
    case dispidTraceHeadingColor: return read(&ITarget::get_TraceHeadingColor, t, out, fromColour);
    case dispidTraceColor: return read(&ITarget::get_TraceColor, t, out, fromColour);
    case dispidTraceAfterShotColor: return read(&ITarget::get_TraceAfterShotColor, t, out, fromColour);
    case dispidSelectable: return read(&ITarget::get_Selectable, t, out, fromFlag);
    case dispidShadeLabel: return read(&ITarget::get_ShadeLabel, t, out, fromFlag);
    case dispidLabelColor: return read(&ITarget::get_LabelColor, t, out, fromColour);
    case dispidDefaultBackground: return read(&ITarget::get_DefaultBackground, t, out, fromFlag);
    case dispidReplayLabel: return read(&ITarget::get_ReplayLabel, t, out, fromText);
    case dispidReplayPausedLabel: return read(&ITarget::get_ReplayPausedLabel, t, out, fromText);
    case dispidTraceThickness: return read(&ITarget::get_TraceThickness, t, out, fromFloat);
    case dispidBreachColor: return read(&ITarget::get_BreachColor, t, out, fromColour);
    case dispidSelectedBreachColor: return read(&ITarget::get_SelectedBreachColor, t, out, fromColour);
    case dispidSubTarget: return read(&ITarget::get_SubTarget, t, out, fromInt);
    case dispidBackColor: return read(&ITarget::get_BackColor, t, out, fromColour);
    default: return E_INVALIDARG;
    }
}

// `v` already has the property's type.
HRESULT putProperty(ITarget* t, DISPID dispid, const Variant& v)
{
    const auto flag = static_cast<VARIANT_BOOL>(v.integer());
    const auto colour = static_cast<OLE_COLOR>(v.integer());
    const auto integer = static_cast<int32_t>(v.integer());
    switch (dispid) {
    case dispidEventShortName: return t->put_EventShortName(v.bstr());
    case dispidDisplayTrace: return t->put_DisplayTrace(flag);
    case dispidAutoZoom: return t->put_AutoZoom(flag);
    case dispidReplaySpeed: return t->put_ReplaySpeed(integer);
    case dispidDragable: return t->put_Dragable(flag);
    case dispidMatch: return t->put_Match(flag);
    case dispidReplayMarkColor: return t->put_ReplayMarkColor(colour);
    case dispidSightingMarkColor: return t->put_SightingMarkColor(colour);
    case dispidDisplayBreach: return t->put_DisplayBreach(flag);
    case dispidDisplayReplayMark: return t->put_DisplayReplayMark(flag);
    case dispidLabel: return t->put_Label(kPersistedLabel, v.bstr());
    case dispidZoom: return t->put_Zoom(v.r4());
    case dispidTraceHeadingLength: return t->put_TraceHeadingLength(v.r4());
    case dispidTraceHeadingColor: return t->put_TraceHeadingColor(colour);
    case dispidTraceColor: return t->put_TraceColor(colour);
    case dispidTraceAfterShotColor: return t->put_TraceAfterShotColor(colour);
    case dispidSelectable: return t->put_Selectable(flag);
    case dispidShadeLabel: return t->put_ShadeLabel(flag);
    case dispidLabelColor: return t->put_LabelColor(colour);
    case dispidDefaultBackground: return t->put_DefaultBackground(flag);
    case dispidReplayLabel: return t->put_ReplayLabel(v.bstr());
    case dispidReplayPausedLabel: return t->put_ReplayPausedLabel(v.bstr());
    case dispidTraceThickness: return t->put_TraceThickness(v.r4());
    case dispidBreachColor: return t->put_BreachColor(colour);
    case dispidSelectedBreachColor: return t->put_SelectedBreachColor(colour);
    case dispidSubTarget: return t->put_SubTarget(integer);
    case dispidBackColor: return t->put_BackColor(colour);
    default: return E_INVALIDARG;
    }
}

// The extent and the properties as loading hands them over, before anything is applied.
struct LoadedValues {
    uint32_t extentX = 0;
    uint32_t extentY = 0;
    std::vector<std::optional<Variant>> values; // none: keep the current value
};

} // namespace

std::vector<Variant> CTarget::persistedValues()
{
    std::vector<Variant> values;
    values.push_back(Variant::fromInteger(VT_UI4, state_.extentX));
    values.push_back(Variant::fromInteger(VT_UI4, state_.extentY));
    for (const PersistedProperty& p : kPersisted) {
        Variant v;
        getProperty(this, p.dispid, &v);
        values.push_back(v);
    }
    return values;
}

HRESULT CTarget::GetClassID(CLSID* out)
{
    if (!out)
        return E_POINTER;
    *out = clsid;
    return S_OK;
}

HRESULT CTarget::IsDirty()
{
    return persistedValues() == savedValues_ ? S_FALSE : S_OK;
}

HRESULT CTarget::InitNew()
{
    return S_OK;
}

namespace {

// Applies loaded values through the members; on any refusal the control is left as it was.
template <class Apply> HRESULT applyLoaded(TargetState& state, const LoadedValues& loaded, Apply&& apply)
{
    TargetState before = state;
    state.extentX = loaded.extentX;
    state.extentY = loaded.extentY;
    for (size_t i = 0; i < std::size(kPersisted); ++i) {
        if (!loaded.values[i])
            continue;
        if (FAILED(apply(kPersisted[i].dispid, *loaded.values[i]))) {
            state = std::move(before);
            return E_FAIL;
        }
    }
    return S_OK;
}

} // namespace

HRESULT CTarget::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    int32_t version = 0;
    LoadedValues loaded;
    if (FAILED(readVersion(stream, kVersion, &version)) || FAILED(readValue(stream, &loaded.extentX))
        || FAILED(readValue(stream, &loaded.extentY)))
        return E_FAIL;
    for (const PersistedProperty& p : kPersisted) {
        Variant stored, typed;
        if (FAILED(readVariant(stream, &stored)) || FAILED(stored.changeType(p.type, &typed)))
            return E_FAIL;
        loaded.values.push_back(typed);
    }
    HRESULT hr = applyLoaded(state_, loaded, [&](DISPID d, const Variant& v) { return putProperty(this, d, v); });
    if (SUCCEEDED(hr))
        savedValues_ = persistedValues();
    return hr;
}

HRESULT CTarget::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    const std::vector<Variant> values = persistedValues();
    HRESULT hr = writeValue(stream, kVersion);
    if (SUCCEEDED(hr))
        hr = writeValue(stream, state_.extentX);
    if (SUCCEEDED(hr))
        hr = writeValue(stream, state_.extentY);
    for (size_t i = 2; i < values.size() && SUCCEEDED(hr); ++i)
        hr = writeVariant(stream, values[i]);
    if (FAILED(hr))
        return E_FAIL;
    if (clearDirty)
        savedValues_ = values;
    return S_OK;
}

HRESULT CTarget::GetSizeMax(uint64_t* size)
{
    if (!size)
        return E_POINTER;
    auto stream = MemoryStream::create();
    HRESULT hr = Save(stream.get(), 0);
    *size = SUCCEEDED(hr) ? uint64_t(stream->bytes().size()) : 0;
    return hr;
}

HRESULT CTarget::Load(IPropertyBag* bag)
{
    if (!bag)
        return E_POINTER;
    LoadedValues loaded{state_.extentX, state_.extentY, {}};
    auto readExtent = [&](const char* name, uint32_t* out) {
        Variant stored, typed;
        if (FAILED(bag->Read(QString::fromLatin1(name), &stored)))
            return S_OK; // not saved: the default stays
        if (FAILED(stored.changeType(VT_UI4, &typed)))
            return E_FAIL;
        *out = static_cast<uint32_t>(typed.integer());
        return S_OK;
    };
    if (FAILED(readExtent("_cx", &loaded.extentX)) || FAILED(readExtent("_cy", &loaded.extentY)))
        return E_FAIL;
    for (const PersistedProperty& p : kPersisted) {
        Variant stored, typed;
        if (FAILED(bag->Read(QString::fromLatin1(p.name), &stored))) {
            loaded.values.emplace_back();
            continue;
        }
        if (FAILED(stored.changeType(p.type, &typed)))
            return E_FAIL;
        loaded.values.emplace_back(typed);
    }
    HRESULT hr = applyLoaded(state_, loaded, [&](DISPID d, const Variant& v) { return putProperty(this, d, v); });
    if (SUCCEEDED(hr))
        savedValues_ = persistedValues();
    return hr;
}

HRESULT CTarget::Save(IPropertyBag* bag, BOOL clearDirty, BOOL)
{
    if (!bag)
        return E_POINTER;
    const std::vector<Variant> values = persistedValues();
    HRESULT hr = bag->Write(QStringLiteral("_cx"), values[0]);
    if (SUCCEEDED(hr))
        hr = bag->Write(QStringLiteral("_cy"), values[1]);
    for (size_t i = 0; i < std::size(kPersisted) && SUCCEEDED(hr); ++i)
        hr = bag->Write(QString::fromLatin1(kPersisted[i].name), values[i + 2]);
    if (FAILED(hr))
        return E_FAIL;
    if (clearDirty)
        savedValues_ = values;
    return S_OK;
}

HRESULT CTarget::GetDisplayString(DISPID dispid, QString* text)
{
    if (!text)
        return E_POINTER;
    if (dispid != dispidEventShortName)
        return E_NOTIMPL;
    *text = state_.eventShortName;
    return S_OK;
}

HRESULT CTarget::MapPropertyToPage(DISPID, CLSID*)
{
    return E_NOTIMPL;
}

HRESULT CTarget::GetPredefinedStrings(DISPID dispid, std::vector<QString>* texts, std::vector<uint32_t>* cookies)
{
    if (!texts || !cookies)
        return E_POINTER;
    if (dispid != dispidEventShortName)
        return E_NOTIMPL;
    texts->clear();
    cookies->clear();
    int32_t count = 0;
    if (!state_.eventManager || FAILED(state_.eventManager->get_Count(&count)))
        return E_FAIL;
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IEventParams> event;
        QString name;
        if (FAILED(state_.eventManager->get_Item(i, event.put())) || !event || FAILED(event->get_ShortName(&name)))
            return E_FAIL;
        texts->push_back(name);
        cookies->push_back(uint32_t(i));
    }
    return S_OK;
}

HRESULT CTarget::GetPredefinedValue(DISPID dispid, uint32_t cookie, Variant* value)
{
    if (!value)
        return E_POINTER;
    if (dispid != dispidEventShortName)
        return E_NOTIMPL;
    int32_t count = 0;
    if (!state_.eventManager || FAILED(state_.eventManager->get_Count(&count)))
        return E_FAIL;
    if (cookie == 0 || cookie > uint32_t(count))
        return E_INVALIDARG;
    ComPtr<IEventParams> event;
    QString name;
    if (FAILED(state_.eventManager->get_Item(int32_t(cookie), event.put())) || !event
        || FAILED(event->get_ShortName(&name)))
        return E_FAIL;
    *value = Variant(name);
    return S_OK;
}

} // namespace kavro::target
