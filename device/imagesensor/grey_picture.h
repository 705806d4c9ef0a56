#pragma once
// The camera picture as the control hands it out through Value(6): a picture object holding a
// bitmap whose every byte is a grey level.
#include "device/usb/grey_image.h"
#include "gdi/picture.h"

namespace kavro {

// An 8-bit grey bitmap of the image's size, one byte per pixel; null for a null image.
QImage greyBitmap(const GreyImage& image);

ComPtr<Picture> greyPicture(const GreyImage& image);

} // namespace kavro
