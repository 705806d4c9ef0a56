#pragma once
// Turns the optical sensor's raw items into optical samples: the two light spots on the
// four-quadrant detector, their separation (giving the scale), the cant angle and the aiming
// point rotated and scaled into target units. Pure state, no device: the sensor class feeds it
// under its lock, and tests and the fuzzer feed it directly.
#include "device/filters/iir_filter.h"
#include "device/usb/usb_packets.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kavro {

struct OpticalSample {
    double meanX = 0, x0 = 0, x1 = 0;
    double meanY = 0, y0 = 0, y1 = 0;
    double totalSum = 0, sum0 = 0, sum1 = 0;
    double outputX = 0, outputY = 0;
    // Spot 0 quadrants 0-3, then spot 1 quadrants 0-3.
    std::array<double, 8> amplitudes{};
    double shotLevel = 0;
    float shotFraction = 0; // NaN when the item carries no shot mark
    double angle = 0; // used for the rotation
    double smoothedAngle = 0; // measured, after the angle filter
    double scale = 0;
    uint8_t valid = 0;
    uint8_t shotFlag = 0; // 47-byte items only
};

constexpr size_t kOldItemSize = 93;
constexpr size_t kNewItemSize = 47;
constexpr size_t kHalfItemFirst = 63;
constexpr size_t kHalfItemSecond = 30;

class OpticalDecoder {
public:
    static constexpr int kSkippedItems = 3;
    static constexpr double kDefaultScaleDivisor = 500.0 / 13.0;
    static constexpr double kDefaultNominalSeparation = 182.0;
    static constexpr double kStartScale = 0.025;

    OpticalDecoder();

    // The state of a freshly started sensor (what Start resets).
    void Reset();

    // Settings the device model writes. Kind 2 measures scale and angle itself; other kinds
    // rotate by the fixed angle unless told to use the measured one.
    int sensorKind = 2;
    std::array<double, 4> gains{1.0, 1.0, 1.0, 1.0};
    double scaleDivisor = kDefaultScaleDivisor;
    double nominalSeparation = kDefaultNominalSeparation;
    bool useMeasuredAngle = false;
    double fixedAngle = 0;
    uint16_t shotThreshold = 0; // as last sent to the sensor

    // 93-byte items; a remainder shorter than an item is ignored.
    void DecodeOldItems(ByteSpan data, std::vector<OpticalSample>& out);
    // 47-byte items (nothing unless the length is a multiple of 47). Each sample comes out one
    // item late, so that a shot measured in the next item can still be given to it.
    void DecodeNewItems(ByteSpan data, std::vector<OpticalSample>& out);
    // Firmware that splits each 93-byte item into a 63- and a 30-byte packet.
    void DecodeHalfItem(ByteSpan data, std::vector<OpticalSample>& out);

private:
    struct Spots {
        double x[2], y[2], s[2];
    };
    Spots spotsFrom(const std::array<double, 8>& m, double rescaleAbove) const;
    // Steps shared by both formats: means, scale, angle, output. `angle` and `smoothed` carry
    // over from the previous item of the same packet for an invalid item.
    void finish(OpticalSample& s, const Spots& spots, double& angle, double& smoothed);
    double outputScale(double filteredScale) const;

    IirFilter scaleFilter_;
    IirFilter angleFilter_;
    bool angleFirst_ = true;
    double lastScale_ = kStartScale;
    int countdown_ = kSkippedItems;
    std::array<uint8_t, kOldItemSize> previous_{};
    std::array<uint8_t, kHalfItemFirst> half_{};
    size_t halfLength_ = 0;
    OpticalSample held_;
    bool hasHeld_ = false;
};

} // namespace kavro
