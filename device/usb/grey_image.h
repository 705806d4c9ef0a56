#pragma once
// A grey camera picture, one byte per pixel, rows top to bottom, as the sensor sends it. The
// control hands it out as a picture object (device/imagesensor/grey_picture.h).

#include <cstdint>
#include <vector>

namespace kavro {

struct GreyImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels; // width x height bytes

    bool isNull() const { return width <= 0 || height <= 0; }
};

} // namespace kavro
