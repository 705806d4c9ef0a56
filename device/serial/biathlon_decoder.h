#pragma once
// The Biathlon sensor sees the five targets of a biathlon row; the aiming position follows from
// where the nearest target and its neighbours appear, scaled and turned to the row's geometry.
#include "device/pipeline/sample_record.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace kavro {

constexpr size_t kBiathlonFrameLength = 28;
constexpr int kBiathlonTargets = 5;

// The raw values of one frame.
struct BiathlonFrameValues {
    std::array<int32_t, 18> z{};
    int32_t counter = 0;
};

// False when the frame's checksum does not hold.
bool unpackBiathlonFrame(const uint8_t* frame, BiathlonFrameValues& out);

// Reader-thread state: smoothing history and the last position (reused while the shot shakes the
// sensor). ResetSmoothing may be called from any thread.
class BiathlonDecoder {
public:
    // False for a frame with a bad checksum; otherwise `record` is filled, valid or not.
    bool Decode(const uint8_t* frame, int32_t piezoThreshold, SampleRecord& record);
    void ResetSmoothing() { resetRequested_ = true; }

private:
    bool Locate(const BiathlonFrameValues& v, int32_t piezoThreshold, SampleRecord& record);

    std::atomic<bool> resetRequested_{false};
    bool haveHistory_ = false;
    std::array<double, kBiathlonTargets> prevS_{};
    std::array<double, kBiathlonTargets> prevD_{};
    bool haveLast_ = false;
    bool lastValid_ = false;
    double lastX_ = 0, lastY_ = 0, lastScale_ = 0, lastAngle_ = 0;
    int32_t lastIntensity_ = 0;
};

} // namespace kavro
