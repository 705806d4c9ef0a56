#pragma once
// Heart beats from the Classic's pulse sensor: a low-pass filter, then a peak detector with
// adaptive reference levels and a refractory time after each beat.
#include <array>
#include <cstdint>
#include <functional>

namespace kavro {

class PulseDetector {
public:
    struct Sinks {
        std::function<void(double troughTime, double beatTime)> heartBeat;
        std::function<void(int32_t rate)> pulseChanged;
    };

    explicit PulseDetector(int32_t sampleRate) : rate_(sampleRate) { }

    // One pulse value, stamped `now`.
    void Add(int32_t value, double now, const Sinks& sinks);

    // Beats per minute from the samples of the last five intervals; 0 when none or above 256.
    static int32_t RateFor(int32_t sampleRate, int32_t intervalSum);

private:
    int32_t rate_;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
    std::array<int32_t, 4> intervals_{};
    int32_t interval_ = 0;
    int32_t currentMin_ = 1023, currentMax_ = 0;
    int32_t referenceMin_ = 1023, referenceMax_ = 0;
    int32_t troughLevel_ = 0;
    int32_t refractory_ = 0;
    int32_t lastReported_ = 0;
    int32_t lastComputed_ = 0;
    double troughTime_ = 0;
    int32_t previous_ = 0;
    int32_t previousSlope_ = 0;
};

} // namespace kavro
