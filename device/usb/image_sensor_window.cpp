#include "device/usb/image_sensor_window.h"

#include "com/numeric.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdlib>

namespace kavro {

bool parseFlashBlock(ByteSpan bytes, FlashBlock* out, std::string* error)
{
    if (bytes.size() < FlashBlock::kMinSize) {
        *error = "invalid flash block: too short (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    FlashBlock f;
    f.centreX = readU16(&bytes[0]);
    f.centreY = readU16(&bytes[2]);
    f.lensFigure = readF32(&bytes[4]);
    f.imageWidth = bytes[8];
    f.imageHeight = bytes[9];
    if (bytes.size() >= 14)
        f.workingDistance = static_cast<int32_t>(readU32(&bytes[10]));
    if (!std::isfinite(f.lensFigure) || !(f.lensFigure > 0)) {
        *error = "invalid flash block: the sensor's calibration is missing";
        return false;
    }
    *out = f;
    return true;
}

double pixelScaleFor(double distance, float lensFigure)
{
    const double scale = distance * 1000.0 / lensFigure * 0.006;
    if (!std::isfinite(scale) || !(scale > 0))
        return std::nan("");
    return scale;
}

PixelList buildPixelList(const std::vector<ImageSensorMark>& marks, double pixelScale, int binning)
{
    PixelList list;
    list.binning = binning;
    list.entries.reserve(marks.size() * 3);
    for (const ImageSensorMark& m : marks) {
        int64_t p[2] = {};
        const float at[2] = {m.x, m.y};
        const int8_t offset[2] = {m.dx, m.dy};
        for (int i = 0; i < 2; ++i) {
            const double v = static_cast<float>(at[i] / pixelScale / binning);
            p[i] = int64_t{m.truncate ? truncSaturated(v) : roundSaturated(v)} + offset[i];
            if (!std::isfinite(v) || p[i] < -128 || p[i] > 127)
                list.fits = false;
        }
        const int extent = static_cast<int>(std::min<int64_t>(std::max(std::abs(p[0]), std::abs(p[1])), INT32_MAX));
        list.fullExtent = std::max(list.fullExtent, extent);
        if (m.dark)
            list.darkExtent = std::max(list.darkExtent, extent);
        for (int64_t c : p)
            list.entries.push_back(static_cast<uint8_t>(static_cast<int8_t>(std::clamp<int64_t>(c, -128, 127))));
        list.entries.push_back(m.dark ? 1 : 0);
    }
    return list;
}

size_t chooseBinning(int windowMode, const std::array<PixelList, 3>& lists)
{
    constexpr size_t b1 = 0, b2 = 1, b4 = 2;
    if (windowMode == kWindowOnAimingOffset) {
        // The whole target must fit the tracking window.
        constexpr int kTrackingHalfWidth = 32;
        if (lists[b1].fullExtent <= kTrackingHalfWidth)
            return b1;
        if (lists[b2].fullExtent <= kTrackingHalfWidth)
            return b2;
        return b4;
    }
    // Calibration looks for the dark marks: fine binning unless they spread too far to be seen.
    if (lists[b4].darkExtent > 3)
        return b4;
    if (lists[b2].darkExtent < 4)
        return b1;
    return b2;
}

uint16_t exposureFor(bool indoor, bool lowLight)
{
    if (indoor && lowLight)
        return 127;
    if (indoor || lowLight)
        return 64;
    return 20;
}

uint16_t windowSubModeFor(bool indoor, bool lowLight, int binning, int windowMode)
{
    if (indoor || lowLight || binning != 1)
        return 0;
    return windowMode == kWindowOnAimingOffset ? 6 : 4;
}

} // namespace kavro
