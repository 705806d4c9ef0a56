#include "image_sensor_probe.h"

#include "device/usb/usb_image_sensor.h"

namespace kavro {

namespace {

// The dialog only reads what the sensor reports at open: nothing streams, so no reader.
class ProbedImageSensor final : public UsbImageSensor {
public:
    ProbedImageSensor() { hasReader = false; }
};

} // namespace

ImageSensorProbe ProbeImageSensor(const std::string& path)
{
    ImageSensorProbe probe;
    ProbedImageSensor sensor;
    probe.opened = sensor.Open(path);
    if (!probe.opened) {
        probe.errorText = sensor.ErrorText();
        return probe;
    }
    probe.workingDistance = sensor.Flash().workingDistance;
    sensor.Close();
    return probe;
}

} // namespace kavro
