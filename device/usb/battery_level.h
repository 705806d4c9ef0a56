#pragma once
// Battery state of a wireless device from its battery byte: the cell voltage by device type and
// the charge level in percent between the type's full and empty voltages.
#include <cstdint>

namespace kavro {

struct BatteryState {
    double voltage; // NaN for a device type without a known divider
    int level; // 0..100; 0 when the voltage is unknown
};

BatteryState batteryState(int deviceType, uint8_t batteryByte);

} // namespace kavro
