#pragma once
// The arithmetic of the image sensor's camera window: the calibration block kept in the sensor's
// flash, the pixel lists of the target marks at each binning, and the settings that follow from
// the lighting switches. No requests here: UsbImageSensor sends what these compute.
#include "device/usb/usb_packets.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kavro {

// The flash block as the sensor stores it (little-endian):
//   0-1   camera centre x (unsigned 16-bit, pixels)
//   2-3   camera centre y (unsigned 16-bit, pixels)
//   4-7   lens figure (32-bit float; with the shooting distance it gives the pixel scale)
//   8     image width (pixels)
//   9     image height (pixels)
//   10-13 working distance (signed 32-bit, millimetres; 0 or -1 when the sensor was not set up
//         for one distance); blocks shorter than 14 bytes have none
//   14-25 reserved
struct FlashBlock {
    static constexpr size_t kMinSize = 10;
    static constexpr size_t kMaxSize = 26;

    uint16_t centreX = 0;
    uint16_t centreY = 0;
    float lensFigure = 0;
    uint8_t imageWidth = 0;
    uint8_t imageHeight = 0;
    int32_t workingDistance = 0;
};

// False with a message for the user when the block is too short or its lens figure is not a
// positive finite number (the pixel scale would be 0 or infinite).
bool parseFlashBlock(ByteSpan bytes, FlashBlock* out, std::string* error);

// Millimetres on the target per camera pixel at `distance` metres; NaN when either input cannot
// give a positive finite scale.
double pixelScaleFor(double distance, float lensFigure);

// One mark of the target as the camera should look for it.
struct ImageSensorMark {
    bool dark = false; // on the dark part of the target
    bool truncate = false; // pixel position truncated instead of rounded
    int8_t dx = 0; // pixel offset added after scaling
    int8_t dy = 0;
    float x = 0; // millimetres from the target centre
    float y = 0;
};

// The marks in camera pixels at one binning: three bytes per mark (x, y as signed bytes, 1 for
// a dark mark), and the largest |x| or |y| over the dark marks and over all marks.
struct PixelList {
    int binning = 1;
    std::vector<uint8_t> entries;
    int darkExtent = 0;
    int fullExtent = 0;
    bool fits = true; // every coordinate within -128..127
};

constexpr std::array<int, 3> kBinnings = {1, 2, 4};

PixelList buildPixelList(const std::vector<ImageSensorMark>& marks, double pixelScale, int binning);

// The window modes: 1 centred on the flash centre (calibration), 2 on the aiming offset.
constexpr int kWindowOnFlashCentre = 1;
constexpr int kWindowOnAimingOffset = 2;

// Index into `lists` (built for kBinnings in order) of the binning the camera should use.
size_t chooseBinning(int windowMode, const std::array<PixelList, 3>& lists);

uint16_t exposureFor(bool indoor, bool lowLight);
uint16_t windowSubModeFor(bool indoor, bool lowLight, int binning, int windowMode);

} // namespace kavro
