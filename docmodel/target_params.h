#pragma once
// The geometry and colours of one target face and its list of elements.
#include "kavrodoc.h"
#include "com/persist.h"

#include <array>
#include <mutex>
#include <vector>

namespace kavrodoc {

class CTargetParams final : public ComObject<CTargetParams, ITargetParams, IPersistStreamInit, IPersistStream> {
public:
    static constexpr Guid clsid = CLSID_TargetParams;
    static constexpr int32_t kStreamVersion = 1;

    HRESULT get_FormWidth(float* out) override;
    HRESULT put_FormWidth(float value) override;
    HRESULT get_FormHeight(float* out) override;
    HRESULT put_FormHeight(float value) override;
    HRESULT get_Ring(int32_t score, float* out) override;
    HRESULT put_Ring(int32_t score, float value) override;
    HRESULT get_InnerTen(float* out) override;
    HRESULT put_InnerTen(float value) override;
    HRESULT get_RingThickness(float* out) override;
    HRESULT put_RingThickness(float value) override;
    HRESULT get_Black(float* out) override;
    HRESULT put_Black(float value) override;
    HRESULT get_TextHeight(float* out) override;
    HRESULT put_TextHeight(float value) override;
    HRESULT get_LastNumberedRing(int32_t* out) override;
    HRESULT put_LastNumberedRing(int32_t value) override;
    HRESULT get_TextOrientation(int32_t* out) override;
    HRESULT put_TextOrientation(int32_t value) override;
    HRESULT get_FillCenter(enumTargetFillCenter* out) override;
    HRESULT put_FillCenter(enumTargetFillCenter value) override;
    HRESULT get_BackgroundColor(OLE_COLOR* out) override;
    HRESULT put_BackgroundColor(OLE_COLOR value) override;
    HRESULT get_BlackColor(OLE_COLOR* out) override;
    HRESULT put_BlackColor(OLE_COLOR value) override;
    HRESULT get_RingColor(OLE_COLOR* out) override;
    HRESULT put_RingColor(OLE_COLOR value) override;
    HRESULT get_TraceThickness(float* out) override;
    HRESULT put_TraceThickness(float value) override;
    HRESULT get_InnerRingColor(OLE_COLOR* out) override;
    HRESULT put_InnerRingColor(OLE_COLOR value) override;
    HRESULT get_BreachColor(OLE_COLOR* out) override;
    HRESULT put_BreachColor(OLE_COLOR value) override;
    HRESULT get_SelectedBreachColor(OLE_COLOR* out) override;
    HRESULT put_SelectedBreachColor(OLE_COLOR value) override;
    HRESULT get_Picture(IUnknown** out) override;
    HRESULT put_Picture(IUnknown* value) override;
    HRESULT AddElement(enumTargetElementType type, float left, float top, float width, float height,
                       ITargetElement** out) override;
    HRESULT Elements(int32_t index, ITargetElement** out) override;
    HRESULT get_ElementCount(int32_t* out) override;
    HRESULT get_Areas(int32_t nArea, ITargetElement** out) override;
    HRESULT get__NewEnum(IUnknown** out) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;
    HRESULT InitNew() override;

private:
    struct Fields {
        OLE_COLOR backgroundColor = 0xC0C0C0;
        OLE_COLOR blackColor = 0x000000;
        OLE_COLOR breachColor = 0xFFFFFF;
        OLE_COLOR innerRingColor = 0xFFFFFF;
        OLE_COLOR ringColor = 0x000000;
        OLE_COLOR selectedBreachColor = 0xFF00FF;
        int32_t fillCenter = NoFill;
        float black = 0, formHeight = 0, formWidth = 0, innerTen = 0, ringThickness = 0;
        float textHeight = 0, traceThickness = 0;
        int32_t lastNumberedRing = 0;
        int32_t textOrientation = 0;
        std::array<float, 10> rings{}; // Ring(1) first
        ComPtr<IUnknown> picture;
        std::vector<ComPtr<ITargetElement>> elements;
    };
    static HRESULT readFields(IStream* stream, Fields* f);
    HRESULT putChecked(bool valid, auto apply);

    std::recursive_mutex mutex_;
    Fields f_;
    bool dirty_ = false;
};

} // namespace kavrodoc
