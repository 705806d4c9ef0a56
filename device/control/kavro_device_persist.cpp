// The control's persisted state, its extent, through streams and property bags as the target
// control keeps its own; and the widget that shows its face.
#include "device/control/device_face.h"
#include "device/control/kavro_device.h"

#include "storage/stream/stream_io.h"

#include <algorithm>

namespace kavro {

namespace {

// Pixels at the 96 dots per inch of a host's form, in HIMETRIC (0.01 mm) and back, rounded.
constexpr uint32_t himetricOfPixels(int pixels)
{
    return static_cast<uint32_t>((static_cast<int64_t>(pixels) * 2540 + 48) / 96);
}
constexpr int kMaxWidgetPixels = 16384;
int pixelsOfHimetric(uint32_t himetric)
{
    return static_cast<int>(std::min<int64_t>((static_cast<int64_t>(himetric) * 96 + 1270) / 2540, kMaxWidgetPixels));
}

} // namespace

const uint32_t CKavroDevice::kInitialExtent = himetricOfPixels(30);

HRESULT CKavroDevice::GetClassID(CLSID* out)
{
    if (!out)
        return E_POINTER;
    *out = clsid;
    return S_OK;
}

HRESULT CKavroDevice::IsDirty()
{
    return extent_ == savedExtent_ ? S_FALSE : S_OK;
}

HRESULT CKavroDevice::InitNew()
{
    return S_OK;
}

HRESULT CKavroDevice::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    int32_t version = 0;
    std::array<uint32_t, 2> extent{};
    if (FAILED(readVersion(stream, kPersistVersion, &version)) || FAILED(readValue(stream, &extent[0]))
        || FAILED(readValue(stream, &extent[1])))
        return E_FAIL;
    extent_ = savedExtent_ = extent;
    resizeWidget();
    return S_OK;
}

HRESULT CKavroDevice::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    if (FAILED(writeValue(stream, kPersistVersion)) || FAILED(writeValue(stream, extent_[0]))
        || FAILED(writeValue(stream, extent_[1])))
        return E_FAIL;
    if (clearDirty)
        savedExtent_ = extent_;
    return S_OK;
}

HRESULT CKavroDevice::GetSizeMax(uint64_t* size)
{
    if (!size)
        return E_POINTER;
    *size = sizeof(int32_t) + 2 * sizeof(uint32_t);
    return S_OK;
}

HRESULT CKavroDevice::Load(IPropertyBag* bag)
{
    if (!bag)
        return E_POINTER;
    std::array<uint32_t, 2> extent = extent_;
    const char* names[2] = {"_cx", "_cy"};
    for (size_t i = 0; i < 2; ++i) {
        Variant stored, typed;
        if (FAILED(bag->Read(QString::fromLatin1(names[i]), &stored)))
            continue; // not saved: the current extent stays
        if (FAILED(stored.changeType(VT_UI4, &typed)))
            return E_FAIL;
        extent[i] = static_cast<uint32_t>(typed.integer());
    }
    extent_ = savedExtent_ = extent;
    resizeWidget();
    return S_OK;
}

HRESULT CKavroDevice::Save(IPropertyBag* bag, BOOL clearDirty, BOOL)
{
    if (!bag)
        return E_POINTER;
    if (FAILED(bag->Write(QStringLiteral("_cx"), Variant::fromInteger(VT_UI4, extent_[0])))
        || FAILED(bag->Write(QStringLiteral("_cy"), Variant::fromInteger(VT_UI4, extent_[1]))))
        return E_FAIL;
    if (clearDirty)
        savedExtent_ = extent_;
    return S_OK;
}

HRESULT CKavroDevice::CreateWidget(QWidget* parent, QWidget** widget)
{
    if (!widget)
        return E_POINTER;
    *widget = nullptr;
    if (widget_)
        return E_UNEXPECTED;
    widget_ = new DeviceFaceWidget(parent);
    resizeWidget();
    *widget = widget_.data();
    return S_OK;
}

void CKavroDevice::resizeWidget()
{
    if (widget_)
        widget_->resize(pixelsOfHimetric(extent_[0]), pixelsOfHimetric(extent_[1]));
}

} // namespace kavro
