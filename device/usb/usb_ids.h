#pragma once
// The vendor/product ids by which each kind of Kavro USB device is found. The manufacturer's ids
// are not known to us yet: every id below is a placeholder, kept in this one header (and in
// data/udev/60-kavro-usb.rules) so that the real ones replace them in one step.
#include "usb/usbbackend.h"

#include <cstdint>

namespace kavro::usbids {

constexpr uint16_t kPlaceholderVendorId = 0x4B56;

constexpr uint16_t kOpticalSensorProductId = 0x0010;
constexpr uint16_t kWiredTargetProductId = 0x0011;
constexpr uint16_t kWirelessReceiverProductId = 0x0012;
constexpr uint16_t kTriggerSensorProductId = 0x0013;
constexpr uint16_t kPulseSensorProductId = 0x0015;
// These two products frame their own data (type 68 / 136 packets); reads from every other
// product are one auxiliary packet each. The numbers are the ones that rule is written for.
constexpr uint16_t kHomeTargetProductId = 14;
constexpr uint16_t kImageSensorProductId = 34;

bool productFramesItsData(uint16_t productId);

// One table per device class, as the device model passes them to OpenFirst and
// DevicePathHasInterface.
const UsbDeviceTable& opticalSensorDevices();
const UsbDeviceTable& wiredTargetDevices();
const UsbDeviceTable& wirelessReceiverDevices();
const UsbDeviceTable& homeTargetDevices();
const UsbDeviceTable& triggerSensorDevices();
const UsbDeviceTable& pulseSensorDevices();
const UsbDeviceTable& imageSensorDevices();

} // namespace kavro::usbids
