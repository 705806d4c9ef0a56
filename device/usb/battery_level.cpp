#include "device/usb/battery_level.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kavro {

BatteryState batteryState(int deviceType, uint8_t batteryByte)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    // The byte is the top of a 10-bit reading of a 4 V reference.
    const double v = batteryByte * 4.0 / 1023.0;
    double voltage = nan;
    switch (deviceType) {
    case 0:
    case 1: voltage = v * 1.92 * 2; break;
    case 3:
    case 7:
    case 8: voltage = v * 2.06 * 2; break;
    case 6: voltage = v * 2.62 * 2; break;
    case 2:
    case 4:
    case 5: voltage = v * 2.18 * 3; break;
    default: break;
    }
    double full = nan;
    double empty = nan;
    if (deviceType == 1) {
        full = 3.1;
        empty = 2.6;
    } else if (deviceType == 2 || deviceType == 4 || deviceType == 5) {
        full = 4.2;
        empty = 3.3;
    } else if (deviceType >= 0 && deviceType <= 8) {
        full = 1.55;
        empty = 1.15;
    }
    if (std::isnan(voltage) || std::isnan(full))
        return {voltage, 0};
    const float share = static_cast<float>(std::max(voltage - empty, 0.0) / (full - empty) * 100.0);
    const long level = std::lrintf(share);
    return {voltage, static_cast<int>(std::min(level, 100L))};
}

} // namespace kavro
