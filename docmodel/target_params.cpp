#include "target_params.h"

#include "locked_property.h"
#include "object_helpers.h"
#include "picture_field.h"
#include "target_element.h"
#include "com/classregistry.h"
#include "com/enumvariant.h"
#include "storage/stream/stream_forms.h"

namespace kavrodoc {

using kavro::readValue;
using kavro::writeValue;

KAVRO_REGISTER_CLASS(CTargetParams, ProgId_TargetParams);

// A put that changes the target marks it modified.
#define KAVRO_TARGET_PUT(member)                                                                                       \
    {                                                                                                                  \
        std::lock_guard guard(mutex_);                                                                                 \
        member = value;                                                                                                \
        dirty_ = true;                                                                                                 \
        return S_OK;                                                                                                   \
    }

HRESULT CTargetParams::putChecked(bool valid, auto apply)
{
    if (!valid)
        return E_INVALIDARG;
    std::lock_guard guard(mutex_);
    apply();
    dirty_ = true;
    return S_OK;
}

HRESULT CTargetParams::get_FormWidth(float* out) KAVRO_LOCKED_GET(f_.formWidth)
HRESULT CTargetParams::put_FormWidth(float value) KAVRO_TARGET_PUT(f_.formWidth)
HRESULT CTargetParams::get_FormHeight(float* out) KAVRO_LOCKED_GET(f_.formHeight)
HRESULT CTargetParams::put_FormHeight(float value) KAVRO_TARGET_PUT(f_.formHeight)

HRESULT CTargetParams::get_Ring(int32_t score, float* out)
{
    if (!out)
        return E_POINTER;
    if (score < 1 || score > 10)
        return E_INVALIDARG;
    std::lock_guard guard(mutex_);
    *out = f_.rings[static_cast<size_t>(score - 1)];
    return S_OK;
}

HRESULT CTargetParams::put_Ring(int32_t score, float value)
{
    return putChecked(score >= 1 && score <= 10, [&] { f_.rings[static_cast<size_t>(score - 1)] = value; });
}

HRESULT CTargetParams::get_InnerTen(float* out) KAVRO_LOCKED_GET(f_.innerTen)
HRESULT CTargetParams::put_InnerTen(float value) KAVRO_TARGET_PUT(f_.innerTen)
HRESULT CTargetParams::get_RingThickness(float* out) KAVRO_LOCKED_GET(f_.ringThickness)
HRESULT CTargetParams::put_RingThickness(float value) KAVRO_TARGET_PUT(f_.ringThickness)
HRESULT CTargetParams::get_Black(float* out) KAVRO_LOCKED_GET(f_.black)
HRESULT CTargetParams::put_Black(float value) KAVRO_TARGET_PUT(f_.black)
HRESULT CTargetParams::get_TextHeight(float* out) KAVRO_LOCKED_GET(f_.textHeight)

HRESULT CTargetParams::put_TextHeight(float value)
{
    return putChecked(value >= 0, [&] { f_.textHeight = value; });
}

HRESULT CTargetParams::get_LastNumberedRing(int32_t* out) KAVRO_LOCKED_GET(f_.lastNumberedRing)

HRESULT CTargetParams::put_LastNumberedRing(int32_t value)
{
    return putChecked(value >= 0 && value <= 10, [&] { f_.lastNumberedRing = value; });
}

HRESULT CTargetParams::get_TextOrientation(int32_t* out) KAVRO_LOCKED_GET(f_.textOrientation)

HRESULT CTargetParams::put_TextOrientation(int32_t value)
{
    return putChecked(value >= 0 && value <= 1, [&] { f_.textOrientation = value; });
}

HRESULT CTargetParams::get_FillCenter(enumTargetFillCenter* out)
    KAVRO_LOCKED_GET(static_cast<enumTargetFillCenter>(f_.fillCenter))

HRESULT CTargetParams::put_FillCenter(enumTargetFillCenter value)
{
    return putChecked(value >= NoFill && value <= FillInnerTen, [&] { f_.fillCenter = value; });
}

HRESULT CTargetParams::get_BackgroundColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.backgroundColor)
HRESULT CTargetParams::put_BackgroundColor(OLE_COLOR value) KAVRO_TARGET_PUT(f_.backgroundColor)
HRESULT CTargetParams::get_BlackColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.blackColor)
HRESULT CTargetParams::put_BlackColor(OLE_COLOR value) KAVRO_TARGET_PUT(f_.blackColor)
HRESULT CTargetParams::get_RingColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.ringColor)
HRESULT CTargetParams::put_RingColor(OLE_COLOR value) KAVRO_TARGET_PUT(f_.ringColor)
HRESULT CTargetParams::get_TraceThickness(float* out) KAVRO_LOCKED_GET(f_.traceThickness)

HRESULT CTargetParams::put_TraceThickness(float value)
{
    return putChecked(value >= 0, [&] { f_.traceThickness = value; });
}

HRESULT CTargetParams::get_InnerRingColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.innerRingColor)
HRESULT CTargetParams::put_InnerRingColor(OLE_COLOR value) KAVRO_TARGET_PUT(f_.innerRingColor)
HRESULT CTargetParams::get_BreachColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.breachColor)
HRESULT CTargetParams::put_BreachColor(OLE_COLOR value) KAVRO_TARGET_PUT(f_.breachColor)
HRESULT CTargetParams::get_SelectedBreachColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.selectedBreachColor)
HRESULT CTargetParams::put_SelectedBreachColor(OLE_COLOR value) KAVRO_TARGET_PUT(f_.selectedBreachColor)

HRESULT CTargetParams::get_Picture(IUnknown** out)
{
    std::lock_guard guard(mutex_);
    return copyPicture(f_.picture, out);
}

HRESULT CTargetParams::put_Picture(IUnknown* value) KAVRO_TARGET_PUT(f_.picture)

HRESULT CTargetParams::AddElement(enumTargetElementType type, float left, float top, float width, float height,
                                  ITargetElement** out)
{
    if (!out || *out)
        return E_POINTER;
    ComPtr<ITargetElement> element = CTargetElement::create();
    element->put_Type(type);
    element->put_Left(left);
    element->put_Top(top);
    element->put_Width(width);
    element->put_Height(height);
    std::lock_guard guard(mutex_);
    f_.elements.push_back(element);
    dirty_ = true;
    return element.copyTo(out);
}

HRESULT CTargetParams::Elements(int32_t index, ITargetElement** out)
{
    if (!out || *out)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    if (index < 1 || static_cast<size_t>(index) > f_.elements.size())
        return E_INVALIDARG;
    return f_.elements[static_cast<size_t>(index) - 1].copyTo(out);
}

HRESULT CTargetParams::get_ElementCount(int32_t* out) KAVRO_LOCKED_GET(static_cast<int32_t>(f_.elements.size()))

HRESULT CTargetParams::get_Areas(int32_t nArea, ITargetElement** out)
{
    if (!out || *out)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    for (const auto& element : f_.elements) {
        int32_t area = 0;
        if (SUCCEEDED(element->get_AreaIndex(&area)) && area == nArea)
            return element.copyTo(out);
    }
    return S_OK;
}

HRESULT CTargetParams::get__NewEnum(IUnknown** out)
{
    std::lock_guard guard(mutex_);
    return enumerateObjects(f_.elements, out);
}

KAVRO_PERSIST_STREAM_INIT_BASICS(CTargetParams, mutex_, dirty_)

HRESULT CTargetParams::readFields(IStream* s, Fields* f)
{
    if (FAILED(kavro::readVersion(s, kStreamVersion, nullptr)))
        return E_FAIL;
    bool ok = SUCCEEDED(readValue(s, &f->backgroundColor)) && SUCCEEDED(readValue(s, &f->blackColor))
        && SUCCEEDED(readValue(s, &f->breachColor)) && SUCCEEDED(readValue(s, &f->innerRingColor))
        && SUCCEEDED(readValue(s, &f->ringColor)) && SUCCEEDED(readValue(s, &f->selectedBreachColor))
        && SUCCEEDED(readValue(s, &f->fillCenter)) && SUCCEEDED(readValue(s, &f->black))
        && SUCCEEDED(readValue(s, &f->formHeight)) && SUCCEEDED(readValue(s, &f->formWidth))
        && SUCCEEDED(readValue(s, &f->innerTen)) && SUCCEEDED(readValue(s, &f->ringThickness))
        && SUCCEEDED(readValue(s, &f->textHeight)) && SUCCEEDED(readValue(s, &f->traceThickness))
        && SUCCEEDED(readValue(s, &f->lastNumberedRing)) && SUCCEEDED(readValue(s, &f->textOrientation))
        && SUCCEEDED(kavro::readExact(s, f->rings.data(), sizeof f->rings));
    if (!ok)
        return E_FAIL;
    HRESULT hr = readPictureField(s, &f->picture);
    if (FAILED(hr))
        return hr;
    int32_t count = 0;
    // An element takes at least its class id and a version.
    if (FAILED(readValue(s, &count)) || count < 0 || !kavro::fitsInStream(s, static_cast<uint64_t>(count), 20))
        return E_FAIL;
    for (int32_t i = 0; i < count; ++i) {
        ComPtr<IUnknown> object;
        hr = kavro::readObject(s, &object);
        if (FAILED(hr))
            return hr;
        ComPtr<ITargetElement> element = object.query<ITargetElement>();
        if (!element)
            return E_FAIL;
        f->elements.push_back(element);
    }
    return S_OK;
}

HRESULT CTargetParams::Load(IStream* stream)
{
    std::lock_guard guard(mutex_);
    HRESULT hr = loadIntoCopy(stream, f_, &readFields);
    if (SUCCEEDED(hr))
        dirty_ = false;
    return hr;
}

HRESULT CTargetParams::Save(IStream* s, BOOL clearDirty)
{
    if (!s)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    bool ok = SUCCEEDED(writeValue<int32_t>(s, kStreamVersion)) && SUCCEEDED(writeValue(s, f_.backgroundColor))
        && SUCCEEDED(writeValue(s, f_.blackColor)) && SUCCEEDED(writeValue(s, f_.breachColor))
        && SUCCEEDED(writeValue(s, f_.innerRingColor)) && SUCCEEDED(writeValue(s, f_.ringColor))
        && SUCCEEDED(writeValue(s, f_.selectedBreachColor)) && SUCCEEDED(writeValue(s, f_.fillCenter))
        && SUCCEEDED(writeValue(s, f_.black)) && SUCCEEDED(writeValue(s, f_.formHeight))
        && SUCCEEDED(writeValue(s, f_.formWidth)) && SUCCEEDED(writeValue(s, f_.innerTen))
        && SUCCEEDED(writeValue(s, f_.ringThickness)) && SUCCEEDED(writeValue(s, f_.textHeight))
        && SUCCEEDED(writeValue(s, f_.traceThickness)) && SUCCEEDED(writeValue(s, f_.lastNumberedRing))
        && SUCCEEDED(writeValue(s, f_.textOrientation))
        && SUCCEEDED(kavro::writeAll(s, f_.rings.data(), sizeof f_.rings));
    if (!ok)
        return E_FAIL;
    HRESULT hr = writePictureField(s, f_.picture.get());
    if (SUCCEEDED(hr))
        hr = writeValue<int32_t>(s, static_cast<int32_t>(f_.elements.size()));
    for (size_t i = 0; SUCCEEDED(hr) && i < f_.elements.size(); ++i)
        hr = kavro::writeObject(s, f_.elements[i].get());
    return endSave(hr, clearDirty, &dirty_);
}

} // namespace kavrodoc
