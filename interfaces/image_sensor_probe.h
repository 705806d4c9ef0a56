#pragma once
// The start-practice dialog's look at an attached image sensor before it lists it: whether the
// sensor opens, in its own words why not, and the working distance it was set up for, which
// decides the events it can be used with. The device module's USB classes answer it.
#include <cstdint>
#include <string>

namespace kavro {

struct ImageSensorProbe {
    bool opened = false;
    std::string errorText; // set when the sensor could not be opened
    int32_t workingDistance = 0; // millimetres; 0 or -1: not set up for one distance
};

// Opens the sensor at `path` without a reader thread and closes it again.
ImageSensorProbe ProbeImageSensor(const std::string& path);

} // namespace kavro
