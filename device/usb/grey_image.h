#pragma once
// A grey camera picture, one byte per pixel, rows top to bottom. The device module keeps no
// drawing library; the calibration dialog turns it into whatever it paints with.
#include "com/unknown.h"

#include <cstdint>
#include <vector>

namespace kavro {

struct GreyImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels; // width x height bytes

    bool isNull() const { return width <= 0 || height <= 0; }
};

// The picture as the device control hands it out in a VARIANT (VT_UNKNOWN).
struct IGreyImage : IUnknown {
    static constexpr Guid iid = Guid::parse("D568B7DA-C7B3-41F8-BEAE-CFDEDE4D79CA");
    virtual HRESULT get_Width(int32_t* out) = 0;
    virtual HRESULT get_Height(int32_t* out) = 0;
    // Copies width x height bytes; E_INVALIDARG when `size` is smaller.
    virtual HRESULT CopyPixels(uint8_t* buffer, size_t size) = 0;

protected:
    ~IGreyImage() = default;
};

} // namespace kavro
