#pragma once
// The vendor/product ids by which each kind of Kavro USB device is found: the device module opens
// the devices by them and the trainer lists them for the start-practice dialog. The
// manufacturer's ids are not known to us yet: every id below is a placeholder, kept in this one
// header (and in data/udev/60-kavro-usb.rules) so that the real ones replace them in one step.
#include "usb/usbbackend.h"

#include <cstdint>

namespace kavro::usbids {

constexpr uint16_t kPlaceholderVendorId = 0x4B56;

constexpr uint16_t kOpticalSensorProductId = 0x0010;
constexpr uint16_t kWiredTargetProductId = 0x0011;
constexpr uint16_t kWirelessReceiverProductId = 0x0012;
constexpr uint16_t kTriggerSensorProductId = 0x0013;
constexpr uint16_t kPulseSensorProductId = 0x0015;
constexpr uint16_t kHomeTargetProductId = 14;
constexpr uint16_t kImageSensorProductId = 34;

// One table per device class, as the device model passes them to OpenFirst and
// DevicePathHasInterface and the trainer to the USB backend's enumeration.
inline const UsbDeviceTable& opticalSensorDevices()
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, kOpticalSensorProductId, "optical sensor"}};
    return t;
}

inline const UsbDeviceTable& wiredTargetDevices()
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, kWiredTargetProductId, "target controller"}};
    return t;
}

inline const UsbDeviceTable& wirelessReceiverDevices()
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, kWirelessReceiverProductId, "wireless receiver"}};
    return t;
}

inline const UsbDeviceTable& homeTargetDevices()
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, kHomeTargetProductId, "home target"}};
    return t;
}

inline const UsbDeviceTable& triggerSensorDevices()
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, kTriggerSensorProductId, "trigger sensor"}};
    return t;
}

inline const UsbDeviceTable& pulseSensorDevices()
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, kPulseSensorProductId, "pulse sensor"}};
    return t;
}

inline const UsbDeviceTable& imageSensorDevices()
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, kImageSensorProductId, "image sensor"}};
    return t;
}

} // namespace kavro::usbids
