#pragma once
// The camera picture handed out through the control's Value(6).
#include "device/usb/grey_image.h"

namespace kavro {

class GreyImageObject final : public ComObject<GreyImageObject, IGreyImage> {
public:
    explicit GreyImageObject(GreyImage image) : image_(std::move(image)) {}

    HRESULT get_Width(int32_t* out) override;
    HRESULT get_Height(int32_t* out) override;
    HRESULT CopyPixels(uint8_t* buffer, size_t size) override;

private:
    const GreyImage image_;
};

} // namespace kavro
