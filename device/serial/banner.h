#pragma once
// The identification banner a serial sensor sends after the line handshake:
//   <noise>(<2 chars><3-letter tag><model>\<serial>\<field3>\<field4>\<name><2 hex digits>)
// The hex digits are the 8-bit sum of the bytes from "(" up to the name, plus that of ")".
#include "device/model/identification.h"

#include <cstddef>
#include <cstdint>

namespace kavro {

// The most a banner read takes from the port.
constexpr size_t kBannerMaxBytes = 282;

// Parses `size` received bytes into `record`; false (record zeroed) when they hold no sound
// banner. Success does not yet mean a Kavro sensor: the tag must be checked too.
bool parseBanner(const uint8_t* bytes, size_t size, DeviceIdentification& record);

} // namespace kavro
