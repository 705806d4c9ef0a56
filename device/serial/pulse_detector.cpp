#include "device/serial/pulse_detector.h"

#include "com/numeric.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kavro {

int32_t PulseDetector::RateFor(int32_t sampleRate, int32_t intervalSum)
{
    if (intervalSum < 1)
        return 0;
    const int32_t rate = sampleRate * 300 / intervalSum;
    return rate > 256 ? 0 : rate;
}

void PulseDetector::Add(int32_t value, double now, const Sinks& sinks)
{
    const double x = value;
    const double y = 0.00333421775144416 * x + 0.00666843550288831 * x1_ + 0.00333421775144416 * x2_
        + 1.83785702925343 * y1_ - 0.851193900259204 * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    const int32_t a = roundSaturated(y);

    ++interval_;
    currentMin_ = std::min(currentMin_, a);
    currentMax_ = std::max(currentMax_, a);
    if (refractory_ > 0 && --refractory_ == 0)
        troughLevel_ = a;

    const int32_t slope = a - previous_;
    if (previousSlope_ > 0 && slope < 1) {
        const bool beat = a - troughLevel_ > 0.7 * (referenceMax_ - referenceMin_) && std::abs(a - troughLevel_) > 64
            && refractory_ == 0;
        if (beat) {
            if (interval_ >= rate_ / 5 && troughTime_ != 0 && sinks.heartBeat)
                sinks.heartBeat(troughTime_, now);
            referenceMin_ = troughLevel_;
            currentMin_ = troughLevel_;
            referenceMax_ = a;
            troughLevel_ = a;
            currentMax_ = a;
            int32_t sum = interval_;
            for (int32_t i : intervals_)
                sum += i;
            const int32_t rate = RateFor(rate_, sum);
            const int32_t last = interval_;
            std::rotate(intervals_.begin(), intervals_.begin() + 1, intervals_.end());
            intervals_.back() = interval_;
            interval_ = 0;
            if (rate != lastReported_ && rate == lastComputed_) {
                lastReported_ = rate;
                if (sinks.pulseChanged)
                    sinks.pulseChanged(rate);
            }
            lastComputed_ = rate;
            refractory_ = std::min(static_cast<int32_t>(last / 2.3), rate_ / 2);
        }
    } else if (previousSlope_ < 0 && slope >= 0 && refractory_ == 0) {
        troughLevel_ = a;
        troughTime_ = now;
    }

    if (interval_ > 3 * rate_) {
        referenceMax_ = currentMax_;
        referenceMin_ = currentMin_;
        currentMax_ = 0;
        currentMin_ = 1023;
    }
    previousSlope_ = slope;
    previous_ = a;
}

} // namespace kavro
