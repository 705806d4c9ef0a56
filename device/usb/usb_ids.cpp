#include "device/usb/usb_ids.h"

namespace kavro::usbids {
namespace {

UsbDeviceTable oneProduct(uint16_t productId, const char* className)
{
    return {UsbDeviceMatch{kPlaceholderVendorId, productId, className}};
}

} // namespace

bool productFramesItsData(uint16_t productId)
{
    return productId == kHomeTargetProductId || productId == kImageSensorProductId;
}

const UsbDeviceTable& opticalSensorDevices()
{
    static const UsbDeviceTable t = oneProduct(kOpticalSensorProductId, "optical sensor");
    return t;
}

const UsbDeviceTable& wiredTargetDevices()
{
    static const UsbDeviceTable t = oneProduct(kWiredTargetProductId, "target controller");
    return t;
}

const UsbDeviceTable& wirelessReceiverDevices()
{
    static const UsbDeviceTable t = oneProduct(kWirelessReceiverProductId, "wireless receiver");
    return t;
}

const UsbDeviceTable& homeTargetDevices()
{
    static const UsbDeviceTable t = oneProduct(kHomeTargetProductId, "home target");
    return t;
}

const UsbDeviceTable& triggerSensorDevices()
{
    static const UsbDeviceTable t = oneProduct(kTriggerSensorProductId, "trigger sensor");
    return t;
}

const UsbDeviceTable& pulseSensorDevices()
{
    static const UsbDeviceTable t = oneProduct(kPulseSensorProductId, "pulse sensor");
    return t;
}

const UsbDeviceTable& imageSensorDevices()
{
    static const UsbDeviceTable t = oneProduct(kImageSensorProductId, "image sensor");
    return t;
}

} // namespace kavro::usbids
