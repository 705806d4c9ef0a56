#pragma once
// The fake USB backend scripted as an image sensor, and status packets as the camera sends them.
#include "support/usb_test_support.h"
#include "device/usb/usb_image_sensor.h"

#include <QTemporaryDir>

#include <cmath>
#include <cstring>

namespace kavro::testing {

// The flash of the scripted sensor: centre (320, 240), lens figure 16: 3.75 mm per pixel at 10 m.
inline Bytes flashBlock(uint16_t cx = 320, uint16_t cy = 240, float lens = 16.0f, size_t size = 26)
{
    Bytes b(size, 0);
    if (size >= 4) {
        putU16(b, 0, cx);
        putU16(b, 2, cy);
    }
    if (size >= 8) {
        uint32_t bits;
        std::memcpy(&bits, &lens, 4);
        putU32(b, 4, bits);
    }
    if (size >= 10) {
        b[8] = 80;
        b[9] = 60;
    }
    return b;
}

struct CameraScript {
    uint16_t firmware = 25;
    uint16_t hardware = 2;
    uint16_t protocolMajor = 3;
    uint16_t protocolMinor = 1;
    uint16_t state = 7;
    Bytes flash = flashBlock();
    Bytes serial = {1, 2, 3, 4, 5, 6, 7, 8};
};

// One status packet of the camera.
struct Status {
    bool valid = true;
    float spotX = 320;
    float spotY = 240;
    uint16_t shotLevel = 0;
    uint32_t foreign = 0;
    uint8_t marker = 0;
    int angleX = 0; // the angle vector, before its bias of 2048
    int angleY = -100;
    uint16_t third = 0;
    uint16_t total = 54;
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t kind = 2;

    Bytes bytes() const
    {
        Bytes b(54, 0);
        b[0] = 0;
        b[1] = kind;
        putU16(b, 2, total);
        b[10] = width;
        b[11] = height;
        b[13] = valid ? 1 : 0;
        uint32_t bits;
        std::memcpy(&bits, &spotX, 4);
        putU32(b, 16, bits);
        std::memcpy(&bits, &spotY, 4);
        putU32(b, 20, bits);
        putU16(b, 32, shotLevel);
        putU32(b, 38, foreign);
        putU16(b, 42, static_cast<uint16_t>(angleX + 2048));
        putU16(b, 44, static_cast<uint16_t>(angleY + 2048));
        putU16(b, 46, third);
        b[52] = 0x5A;
        b[53] = marker;
        return b;
    }
};

class ImageSensorTest : public FakeUsbTest {
protected:
    ImageSensorTest()
    {
        // Defaults of the options, whatever the user running the tests has set.
        qputenv("KAVRO_CONFIG_HOME", config.path().toUtf8());
    }
    ~ImageSensorTest() override { qunsetenv("KAVRO_CONFIG_HOME"); }

    std::string plugCamera(const CameraScript& s = {}, const std::string& port = "cam")
    {
        const std::string path = plug(usbids::kImageSensorProductId, port);
        Bytes version(4), protocol(4), state(2), length(2);
        putU16(version, 0, s.firmware);
        putU16(version, 2, s.hardware);
        putU16(protocol, 0, s.protocolMajor);
        putU16(protocol, 2, s.protocolMinor);
        putU16(state, 0, s.state);
        putU16(length, 0, static_cast<uint16_t>(s.flash.size()));
        answer(path, 68, version);
        answer(path, 64, s.serial);
        answer(path, 69, protocol);
        answer(path, 208, state);
        answer(path, 162, length);
        answer(path, 163, s.flash);
        return path;
    }

    // The air rifle target: black 30.5 mm, form 80 mm, at 10 m.
    static ImageSensorTarget ringTarget(double distance = 10.0);

    QTemporaryDir config;
};

inline UsbControlRecord out(uint8_t request, uint16_t value, uint16_t index = 0)
{
    return UsbControlRecord(UsbControlKind::Out, request, value, index);
}

} // namespace kavro::testing
