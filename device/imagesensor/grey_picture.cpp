#include "device/imagesensor/grey_picture.h"

#include <cstring>

namespace kavro {

QImage greyBitmap(const GreyImage& image)
{
    const auto width = static_cast<size_t>(image.width);
    if (image.isNull() || image.pixels.size() < width * static_cast<size_t>(image.height))
        return QImage();
    QImage bitmap(image.width, image.height, QImage::Format_Grayscale8);
    if (bitmap.isNull())
        return bitmap;
    // The bitmap's rows are padded; the camera's are not.
    for (int32_t y = 0; y < image.height; ++y)
        std::memcpy(bitmap.scanLine(y), image.pixels.data() + static_cast<size_t>(y) * width, width);
    return bitmap;
}

ComPtr<Picture> greyPicture(const GreyImage& image)
{
    QImage bitmap = greyBitmap(image);
    if (bitmap.isNull())
        return nullptr;
    return Picture::fromImage(std::move(bitmap));
}

} // namespace kavro
