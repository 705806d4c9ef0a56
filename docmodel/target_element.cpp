#include "target_element.h"

#include "locked_property.h"
#include "object_helpers.h"
#include "picture_field.h"
#include "value_members.h"
#include "com/classregistry.h"
#include "storage/stream/stream_forms.h"

namespace kavrodoc {

using kavro::readValue;
using kavro::writeValue;

KAVRO_REGISTER_CLASS(CTargetElement, ProgId_TargetElement);

KAVRO_LOCKED_VALUE_BAG(CTargetElement, f_.values, dirty_)

HRESULT CTargetElement::get_Picture(IUnknown** out)
{
    std::lock_guard guard(mutex_);
    return copyPicture(f_.picture, out);
}

HRESULT CTargetElement::put_Picture(IUnknown* value) KAVRO_LOCKED_PUT(f_.picture)
HRESULT CTargetElement::get_Result(float* out) KAVRO_LOCKED_GET(f_.result)
HRESULT CTargetElement::put_Result(float value) KAVRO_LOCKED_PUT(f_.result)
HRESULT CTargetElement::get_Left(float* out) KAVRO_LOCKED_GET(f_.left)
HRESULT CTargetElement::put_Left(float value) KAVRO_LOCKED_PUT(f_.left)
HRESULT CTargetElement::get_Top(float* out) KAVRO_LOCKED_GET(f_.top)
HRESULT CTargetElement::put_Top(float value) KAVRO_LOCKED_PUT(f_.top)
HRESULT CTargetElement::get_Width(float* out) KAVRO_LOCKED_GET(f_.width)
HRESULT CTargetElement::put_Width(float value) KAVRO_LOCKED_PUT(f_.width)
HRESULT CTargetElement::get_Height(float* out) KAVRO_LOCKED_GET(f_.height)
HRESULT CTargetElement::put_Height(float value) KAVRO_LOCKED_PUT(f_.height)
HRESULT CTargetElement::get_Type(enumTargetElementType* out) KAVRO_LOCKED_GET(f_.type)
HRESULT CTargetElement::put_Type(enumTargetElementType value) KAVRO_LOCKED_PUT(f_.type)
HRESULT CTargetElement::get_Clip(VARIANT_BOOL* out) KAVRO_LOCKED_GET(f_.clip)
HRESULT CTargetElement::put_Clip(VARIANT_BOOL value) KAVRO_LOCKED_PUT(f_.clip)

HRESULT CTargetElement::AddPoint(float x, float y)
{
    std::lock_guard guard(mutex_);
    f_.points.push_back({x, y});
    return S_OK;
}

HRESULT CTargetElement::get_PointCount(int32_t* out) KAVRO_LOCKED_GET(static_cast<int32_t>(f_.points.size()))

// `index` is 1-based.
HRESULT CTargetElement::pointCoordinate(int32_t index, float geometry::PointF::*coordinate, float* out)
{
    if (!out)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    if (index < 1 || static_cast<size_t>(index) > f_.points.size())
        return E_INVALIDARG;
    *out = f_.points[static_cast<size_t>(index) - 1].*coordinate;
    return S_OK;
}

HRESULT CTargetElement::get_x(int32_t index, float* out)
{
    return pointCoordinate(index, &geometry::PointF::x, out);
}

HRESULT CTargetElement::get_y(int32_t index, float* out)
{
    return pointCoordinate(index, &geometry::PointF::y, out);
}

HRESULT CTargetElement::get_BorderWidth(float* out) KAVRO_LOCKED_GET(f_.borderWidth)
HRESULT CTargetElement::put_BorderWidth(float value) KAVRO_LOCKED_PUT(f_.borderWidth)
HRESULT CTargetElement::get_Fill(VARIANT_BOOL* out) KAVRO_LOCKED_GET(f_.fill)
HRESULT CTargetElement::put_Fill(VARIANT_BOOL value) KAVRO_LOCKED_PUT(f_.fill)
HRESULT CTargetElement::get_BodyColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.bodyColor)
HRESULT CTargetElement::put_BodyColor(OLE_COLOR value) KAVRO_LOCKED_PUT(f_.bodyColor)
HRESULT CTargetElement::get_BorderColor(OLE_COLOR* out) KAVRO_LOCKED_GET(f_.borderColor)
HRESULT CTargetElement::put_BorderColor(OLE_COLOR value) KAVRO_LOCKED_PUT(f_.borderColor)
HRESULT CTargetElement::get_DrawBeforeRings(VARIANT_BOOL* out) KAVRO_LOCKED_GET(f_.drawBeforeRings)
HRESULT CTargetElement::put_DrawBeforeRings(VARIANT_BOOL value) KAVRO_LOCKED_PUT(f_.drawBeforeRings)
HRESULT CTargetElement::get_Visible(VARIANT_BOOL* out) KAVRO_LOCKED_GET(f_.visible)
HRESULT CTargetElement::put_Visible(VARIANT_BOOL value) KAVRO_LOCKED_PUT(f_.visible)

HRESULT CTargetElement::IsPointInside(float x, float y, float caliber, VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    geometry::PointF p{x, y};
    bool inside = false;
    switch (f_.type) {
    case elementRectangle: inside = geometry::rectangleHolds(f_.left, f_.top, f_.width, f_.height, p, caliber); break;
    case elementEllipse: inside = geometry::ellipseHolds(f_.left, f_.top, f_.width, f_.height, p); break;
    case elementPolyline:
    case elementPolygon:
        inside = geometry::polygonHolds(f_.points.data(), static_cast<int>(f_.points.size()), p, caliber);
        break;
    default: break;
    }
    *out = toVariantBool(inside);
    return S_OK;
}

HRESULT CTargetElement::get_IgnoreResult(VARIANT_BOOL* out) KAVRO_LOCKED_GET(f_.ignoreResult)
HRESULT CTargetElement::put_IgnoreResult(VARIANT_BOOL value) KAVRO_LOCKED_PUT(f_.ignoreResult)
HRESULT CTargetElement::get_AreaIndex(int32_t* out) KAVRO_LOCKED_GET(f_.areaIndex)
HRESULT CTargetElement::put_AreaIndex(int32_t value) KAVRO_LOCKED_PUT(f_.areaIndex)
HRESULT CTargetElement::get_ValuesCount(int32_t* out) KAVRO_LOCKED_GET(f_.values.count())

HRESULT CTargetElement::KeyValue(int32_t index, QString* key, Variant* value)
{
    std::lock_guard guard(mutex_);
    return bagKeyValue(f_.values, index, key, value);
}

HRESULT CTargetElement::get_CalcAfterRings(VARIANT_BOOL* out) KAVRO_LOCKED_GET(f_.calcAfterRings)
HRESULT CTargetElement::put_CalcAfterRings(VARIANT_BOOL value) KAVRO_LOCKED_PUT(f_.calcAfterRings)

KAVRO_PERSIST_STREAM_INIT_BASICS(CTargetElement, mutex_, dirty_)

namespace {
// VARIANT_BOOL fields are stored as int16; anything but 0 reads as true.
HRESULT readFlag(IStream* s, VARIANT_BOOL* out)
{
    int16_t v = 0;
    if (FAILED(readValue(s, &v)))
        return E_FAIL;
    *out = toVariantBool(v != 0);
    return S_OK;
}
} // namespace

// Older versions lack some fields; those keep their current values.
HRESULT CTargetElement::readFields(IStream* s, Fields* f)
{
    int32_t version = 0;
    if (FAILED(kavro::readVersion(s, kStreamVersion, &version)))
        return E_FAIL;
    int32_t type = 0;
    bool ok = SUCCEEDED(readValue(s, &f->bodyColor)) && SUCCEEDED(readValue(s, &f->borderColor))
        && SUCCEEDED(readValue(s, &type)) && SUCCEEDED(readValue(s, &f->borderWidth))
        && SUCCEEDED(readValue(s, &f->height)) && SUCCEEDED(readValue(s, &f->left))
        && SUCCEEDED(readValue(s, &f->result)) && (version < 3 || SUCCEEDED(readValue(s, &f->areaIndex)))
        && SUCCEEDED(readValue(s, &f->top)) && SUCCEEDED(readValue(s, &f->width))
        && SUCCEEDED(readFlag(s, &f->drawBeforeRings)) && (version < 5 || SUCCEEDED(readFlag(s, &f->calcAfterRings)))
        && SUCCEEDED(readFlag(s, &f->clip)) && SUCCEEDED(readFlag(s, &f->fill)) && SUCCEEDED(readFlag(s, &f->visible))
        && (version < 2 || SUCCEEDED(readFlag(s, &f->ignoreResult)));
    if (!ok)
        return E_FAIL;
    f->type = static_cast<enumTargetElementType>(type);
    int32_t n = 0;
    if (FAILED(readValue(s, &n)) || n < 0 || !kavro::fitsInStream(s, static_cast<uint64_t>(n), 8))
        return E_FAIL;
    for (int32_t i = 0; i < n; ++i) {
        geometry::PointF p;
        if (FAILED(readValue(s, &p.x)) || FAILED(readValue(s, &p.y)))
            return E_FAIL;
        f->points.push_back(p);
    }
    HRESULT hr = readPictureField(s, &f->picture);
    if (FAILED(hr))
        return hr;
    if (version < 4)
        return S_OK;
    return readBagInto(s, f->values);
}

HRESULT CTargetElement::Load(IStream* stream)
{
    std::lock_guard guard(mutex_);
    HRESULT hr = loadIntoCopy(stream, f_, &readFields);
    if (SUCCEEDED(hr))
        dirty_ = false;
    return hr;
}

HRESULT CTargetElement::Save(IStream* s, BOOL clearDirty)
{
    if (!s)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    bool ok = SUCCEEDED(writeValue<int32_t>(s, kStreamVersion)) && SUCCEEDED(writeValue(s, f_.bodyColor))
        && SUCCEEDED(writeValue(s, f_.borderColor)) && SUCCEEDED(writeValue<int32_t>(s, f_.type))
        && SUCCEEDED(writeValue(s, f_.borderWidth)) && SUCCEEDED(writeValue(s, f_.height))
        && SUCCEEDED(writeValue(s, f_.left)) && SUCCEEDED(writeValue(s, f_.result))
        && SUCCEEDED(writeValue(s, f_.areaIndex)) && SUCCEEDED(writeValue(s, f_.top))
        && SUCCEEDED(writeValue(s, f_.width)) && SUCCEEDED(writeValue<int16_t>(s, f_.drawBeforeRings))
        && SUCCEEDED(writeValue<int16_t>(s, f_.calcAfterRings)) && SUCCEEDED(writeValue<int16_t>(s, f_.clip))
        && SUCCEEDED(writeValue<int16_t>(s, f_.fill)) && SUCCEEDED(writeValue<int16_t>(s, f_.visible))
        && SUCCEEDED(writeValue<int16_t>(s, f_.ignoreResult))
        && SUCCEEDED(writeValue<int32_t>(s, static_cast<int32_t>(f_.points.size())));
    for (size_t i = 0; ok && i < f_.points.size(); ++i)
        ok = SUCCEEDED(writeValue(s, f_.points[i].x)) && SUCCEEDED(writeValue(s, f_.points[i].y));
    if (!ok)
        return E_FAIL;
    HRESULT hr = writePictureField(s, f_.picture.get());
    if (SUCCEEDED(hr))
        hr = f_.values.write(s);
    return endSave(hr, clearDirty, &dirty_);
}

} // namespace kavrodoc
