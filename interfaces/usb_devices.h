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

// The one-row table of a product (one per product, made on first use).
template <uint16_t productId> const UsbDeviceTable& productTable(const char* className)
{
    static const UsbDeviceTable t{{kPlaceholderVendorId, productId, className}};
    return t;
}

// One table per device class, as the device model passes them to OpenFirst and
// DevicePathHasInterface and the trainer to the USB backend's enumeration.
inline const UsbDeviceTable& opticalSensorDevices()
{
    return productTable<kOpticalSensorProductId>("optical sensor");
}
inline const UsbDeviceTable& wiredTargetDevices()
{
    return productTable<kWiredTargetProductId>("target controller");
}
inline const UsbDeviceTable& wirelessReceiverDevices()
{
    return productTable<kWirelessReceiverProductId>("wireless receiver");
}
inline const UsbDeviceTable& homeTargetDevices()
{
    return productTable<kHomeTargetProductId>("home target");
}
inline const UsbDeviceTable& triggerSensorDevices()
{
    return productTable<kTriggerSensorProductId>("trigger sensor");
}
inline const UsbDeviceTable& pulseSensorDevices()
{
    return productTable<kPulseSensorProductId>("pulse sensor");
}
inline const UsbDeviceTable& imageSensorDevices()
{
    return productTable<kImageSensorProductId>("image sensor");
}

} // namespace kavro::usbids
