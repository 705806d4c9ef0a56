#pragma once
// The marks by which the image sensor's camera recognises a target, built from the event's
// target: the dark centre and a cross of dark marks with a ring of light ones around the black
// of a ring target, or the corners of an outline target on both sides of its edge.
#include "device/usb/image_sensor_window.h"

#include <vector>

namespace kavro {

// False for a kind other than the two known, or a ring target without a black.
bool buildImageSensorMarks(int kind, float black, std::vector<ImageSensorMark>* out);

} // namespace kavro
