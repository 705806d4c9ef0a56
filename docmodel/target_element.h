#pragma once
// One extra element of a target face beyond the rings.
#include "kavrodoc.h"
#include "com/persist.h"
#include "point_geometry.h"
#include "storage/stream/value_bag.h"

#include <mutex>
#include <vector>

namespace kavrodoc {

class CTargetElement final : public ComObject<CTargetElement, ITargetElement, IPersistStreamInit, IPersistStream> {
public:
    static constexpr Guid clsid = CLSID_TargetElement;
    static constexpr int32_t kStreamVersion = 5;

    HRESULT get_Value(const QString& key, Variant* out) override;
    HRESULT put_Value(const QString& key, const Variant& value) override;
    HRESULT putref_Value(const QString& key, const Variant& value) override;
    HRESULT get_Picture(IUnknown** out) override;
    HRESULT put_Picture(IUnknown* value) override;
    HRESULT get_Result(float* out) override;
    HRESULT put_Result(float value) override;
    HRESULT get_Left(float* out) override;
    HRESULT put_Left(float value) override;
    HRESULT get_Top(float* out) override;
    HRESULT put_Top(float value) override;
    HRESULT get_Width(float* out) override;
    HRESULT put_Width(float value) override;
    HRESULT get_Height(float* out) override;
    HRESULT put_Height(float value) override;
    HRESULT get_Type(enumTargetElementType* out) override;
    HRESULT put_Type(enumTargetElementType value) override;
    HRESULT get_Clip(VARIANT_BOOL* out) override;
    HRESULT put_Clip(VARIANT_BOOL value) override;
    HRESULT AddPoint(float x, float y) override;
    HRESULT get_PointCount(int32_t* out) override;
    HRESULT get_x(int32_t index, float* out) override;
    HRESULT get_y(int32_t index, float* out) override;
    HRESULT get_BorderWidth(float* out) override;
    HRESULT put_BorderWidth(float value) override;
    HRESULT get_Fill(VARIANT_BOOL* out) override;
    HRESULT put_Fill(VARIANT_BOOL value) override;
    HRESULT get_BodyColor(OLE_COLOR* out) override;
    HRESULT put_BodyColor(OLE_COLOR value) override;
    HRESULT get_BorderColor(OLE_COLOR* out) override;
    HRESULT put_BorderColor(OLE_COLOR value) override;
    HRESULT get_DrawBeforeRings(VARIANT_BOOL* out) override;
    HRESULT put_DrawBeforeRings(VARIANT_BOOL value) override;
    HRESULT get_Visible(VARIANT_BOOL* out) override;
    HRESULT put_Visible(VARIANT_BOOL value) override;
    HRESULT IsPointInside(float x, float y, float caliber, VARIANT_BOOL* out) override;
    HRESULT get_IgnoreResult(VARIANT_BOOL* out) override;
    HRESULT put_IgnoreResult(VARIANT_BOOL value) override;
    HRESULT get_AreaIndex(int32_t* out) override;
    HRESULT put_AreaIndex(int32_t value) override;
    HRESULT get_ValuesCount(int32_t* out) override;
    HRESULT KeyValue(int32_t index, QString* key, Variant* value) override;
    HRESULT get_CalcAfterRings(VARIANT_BOOL* out) override;
    HRESULT put_CalcAfterRings(VARIANT_BOOL value) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

private:
    struct Fields {
        enumTargetElementType type = elementRectangle;
        float left = 0, top = 0, width = 0, height = 0;
        float result = 0;
        int32_t areaIndex = 0;
        float borderWidth = 0;
        VARIANT_BOOL clip = VARIANT_FALSE;
        VARIANT_BOOL fill = VARIANT_TRUE;
        VARIANT_BOOL drawBeforeRings = VARIANT_FALSE;
        VARIANT_BOOL calcAfterRings = VARIANT_FALSE;
        VARIANT_BOOL visible = VARIANT_TRUE;
        VARIANT_BOOL ignoreResult = VARIANT_FALSE;
        OLE_COLOR borderColor = 0x000000;
        OLE_COLOR bodyColor = 0xFFFFFF;
        std::vector<geometry::PointF> points;
        ComPtr<IUnknown> picture;
        kavro::ValueBag values;
    };
    static HRESULT readFields(IStream* stream, Fields* f);
    HRESULT pointCoordinate(int32_t index, float geometry::PointF::*coordinate, float* out);

    std::recursive_mutex mutex_;
    Fields f_;
    bool dirty_ = false;
};

} // namespace kavrodoc
