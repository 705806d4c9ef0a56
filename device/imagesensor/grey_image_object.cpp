#include "device/imagesensor/grey_image_object.h"

#include <cstring>

namespace kavro {

HRESULT GreyImageObject::get_Width(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = image_.width;
    return S_OK;
}

HRESULT GreyImageObject::get_Height(int32_t* out)
{
    if (!out)
        return E_POINTER;
    *out = image_.height;
    return S_OK;
}

HRESULT GreyImageObject::CopyPixels(uint8_t* buffer, size_t size)
{
    if (!buffer && !image_.pixels.empty())
        return E_POINTER;
    if (size < image_.pixels.size())
        return E_INVALIDARG;
    if (!image_.pixels.empty())
        std::memcpy(buffer, image_.pixels.data(), image_.pixels.size());
    return S_OK;
}

} // namespace kavro
