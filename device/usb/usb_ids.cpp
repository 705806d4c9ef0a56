#include "device/usb/usb_ids.h"

namespace kavro::usbids {

bool productFramesItsData(uint16_t productId)
{
    return productId == kHomeTargetProductId || productId == kImageSensorProductId;
}

} // namespace kavro::usbids
