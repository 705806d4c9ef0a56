#pragma once
// The device classes' ids (shared with the trainer) and what the device module reads from them.
#include "usb_devices.h"

#include <cstdint>

namespace kavro::usbids {

// The home target and the image sensor frame their own data (type 68 / 136 packets); reads from
// every other product are one auxiliary packet each. The ids are the ones that rule is written for.
bool productFramesItsData(uint16_t productId);

} // namespace kavro::usbids
