#include "device/model/model_factory.h"

#include <map>
#include <mutex>

namespace kavro::models {
namespace {

struct Table {
    std::mutex lock;
    std::map<int32_t, SerialModelFactory> serial;
    std::map<UsbDeviceClass, UsbModelEntry> usb;
    SerialIdentifier identify;
    UsbClassMatcher matcher;
};

// Built on first use: registrations run from static initialisers in any order.
Table& table()
{
    static Table t;
    return t;
}

// The names and numbers a USB class stands for, also before its model registers.
UsbModelEntry defaultEntry(UsbDeviceClass cls)
{
    switch (cls) {
    case UsbDeviceClass::Wireless: return {QStringLiteral("KAVRO WIRELESS"), 500, {}};
    case UsbDeviceClass::ImageSensor: return {QStringLiteral("KAVRO QV SENSOR"), 600, {}};
    case UsbDeviceClass::HomeWireless: return {QStringLiteral("KAVRO HOME WIRELESS"), 500, {}};
    case UsbDeviceClass::Optical: break;
    }
    return {QStringLiteral("KAVRO USB"), 500, {}};
}

} // namespace

bool registerSerialModel(int32_t modelNumber, SerialModelFactory factory)
{
    auto& t = table();
    std::lock_guard g(t.lock);
    t.serial[modelNumber] = std::move(factory);
    return true;
}

bool registerUsbModel(UsbDeviceClass cls, const QString& modelName, int32_t modelNumber, UsbModelFactory factory)
{
    auto& t = table();
    std::lock_guard g(t.lock);
    t.usb[cls] = UsbModelEntry{modelName, modelNumber, std::move(factory)};
    return true;
}

bool registerSerialIdentifier(SerialIdentifier identify)
{
    auto& t = table();
    std::lock_guard g(t.lock);
    t.identify = std::move(identify);
    return true;
}

bool registerUsbClassMatcher(UsbClassMatcher matcher)
{
    auto& t = table();
    std::lock_guard g(t.lock);
    t.matcher = std::move(matcher);
    return true;
}

SerialModelFactory serialModel(int32_t modelNumber)
{
    auto& t = table();
    std::lock_guard g(t.lock);
    auto it = t.serial.find(modelNumber);
    return it == t.serial.end() ? SerialModelFactory{} : it->second;
}

UsbModelEntry usbModel(UsbDeviceClass cls)
{
    auto& t = table();
    std::lock_guard g(t.lock);
    auto it = t.usb.find(cls);
    return it == t.usb.end() ? defaultEntry(cls) : it->second;
}

bool identify(SerialPort& port, DeviceIdentification& record)
{
    SerialIdentifier identify;
    {
        auto& t = table();
        std::lock_guard g(t.lock);
        identify = t.identify;
    }
    return identify && identify(port, record);
}

UsbDeviceClass classOfPath(const QString& devicePath)
{
    UsbClassMatcher matcher;
    {
        auto& t = table();
        std::lock_guard g(t.lock);
        matcher = t.matcher;
    }
    if (matcher) {
        for (UsbDeviceClass cls : {UsbDeviceClass::Wireless, UsbDeviceClass::ImageSensor, UsbDeviceClass::HomeWireless})
            if (matcher(devicePath, cls))
                return cls;
    }
    return UsbDeviceClass::Optical;
}

std::vector<int32_t> serialModelNumbers()
{
    auto& t = table();
    std::lock_guard g(t.lock);
    std::vector<int32_t> out;
    for (const auto& [number, factory] : t.serial)
        if (factory)
            out.push_back(number);
    return out;
}

std::vector<UsbDeviceClass> usbModelClasses()
{
    auto& t = table();
    std::lock_guard g(t.lock);
    std::vector<UsbDeviceClass> out;
    for (const auto& [cls, entry] : t.usb)
        if (entry.create)
            out.push_back(cls);
    return out;
}

void clearForTesting()
{
    auto& t = table();
    std::lock_guard g(t.lock);
    t.serial.clear();
    t.usb.clear();
    t.identify = {};
    t.matcher = {};
}

} // namespace kavro::models
