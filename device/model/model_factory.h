#pragma once
// The table from which the control chooses a device model when it connects: serial models by
// the model number of the sensor's banner, USB models by the device-interface class of the
// device path. Each model registers itself with one line in its own source file:
//
//   KAVRO_REGISTER_SERIAL_MODEL(300, [](DeviceHost& h, std::unique_ptr<SerialPort> p)
//       -> std::unique_ptr<CGenericKavro> { return std::make_unique<CKavroVantage>(h, std::move(p)); });
//   KAVRO_REGISTER_USB_MODEL(UsbDeviceClass::ImageSensor, "KAVRO QV SENSOR", 600,
//       [](DeviceHost& h, const QString& path) -> std::unique_ptr<CGenericKavro> { ... });
//
// The serial transport registers the banner check, and the USB layer the test that tells a
// device path's class.
#include "device/model/generic_kavro.h"
#include "device/model/identification.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace kavro {

// The device-interface classes a USB device path is tested against, in this order.
enum class UsbDeviceClass {
    Wireless,
    ImageSensor,
    HomeWireless,
    Optical, // any other path: the plain optical sensor
};

using SerialModelFactory = std::function<std::unique_ptr<CGenericKavro>(DeviceHost&, std::unique_ptr<SerialPort>)>;
using UsbModelFactory = std::function<std::unique_ptr<CGenericKavro>(DeviceHost&, const QString& devicePath)>;
// Asks the sensor on an open port who it is; true with `record` filled when one answered.
using SerialIdentifier = std::function<bool(SerialPort&, DeviceIdentification& record)>;
// Whether a device path belongs to a device-interface class.
using UsbClassMatcher = std::function<bool(const QString& devicePath, UsbDeviceClass cls)>;

struct UsbModelEntry {
    QString modelName;
    int32_t modelNumber = 0;
    UsbModelFactory create;
};

namespace models {

// Each returns true so that it can initialise a static; a later registration replaces an earlier.
bool registerSerialModel(int32_t modelNumber, SerialModelFactory factory);
bool registerUsbModel(UsbDeviceClass cls, const QString& modelName, int32_t modelNumber, UsbModelFactory factory);
bool registerSerialIdentifier(SerialIdentifier identify);
bool registerUsbClassMatcher(UsbClassMatcher matcher);

// Null when no model has that number.
SerialModelFactory serialModel(int32_t modelNumber);
// The entry of a class; its `create` is empty when no model serves it yet.
UsbModelEntry usbModel(UsbDeviceClass cls);
// False (record untouched) when no identifier is registered.
bool identify(SerialPort& port, DeviceIdentification& record);
// The class of a device path: the first of Wireless, ImageSensor, HomeWireless that matches,
// else Optical (also when no matcher is registered).
UsbDeviceClass classOfPath(const QString& devicePath);

// What the table holds, in ascending order: lets a test reach every registered model.
std::vector<int32_t> serialModelNumbers();
std::vector<UsbDeviceClass> usbModelClasses();

// Empties the table (tests).
void clearForTesting();

} // namespace models
} // namespace kavro

#define KAVRO_MODEL_CONCAT2(a, b) a##b
#define KAVRO_MODEL_CONCAT(a, b) KAVRO_MODEL_CONCAT2(a, b)

#define KAVRO_REGISTER_SERIAL_MODEL(number, ...)                                                                       \
    [[maybe_unused]] static const bool KAVRO_MODEL_CONCAT(kavroSerialModel_, __LINE__)                                 \
        = ::kavro::models::registerSerialModel(number, __VA_ARGS__)

#define KAVRO_REGISTER_USB_MODEL(cls, name, number, ...)                                                               \
    [[maybe_unused]] static const bool KAVRO_MODEL_CONCAT(kavroUsbModel_, __LINE__)                                    \
        = ::kavro::models::registerUsbModel(cls, QStringLiteral(name), number, __VA_ARGS__)
