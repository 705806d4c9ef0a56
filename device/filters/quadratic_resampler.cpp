#include "device/filters/quadratic_resampler.h"

#include <algorithm>

namespace kavro {

HRESULT QuadraticResampler::SetFactor(int factor)
{
    if (factor < 1)
        return E_INVALIDARG;
    factor_ = factor;
    Reset();
    return S_OK;
}

void QuadraticResampler::Reset()
{
    y_[0] = y_[1] = y_[2] = 0.0;
    held_ = 0;
    n_ = 0;
    m_ = 0;
}

int QuadraticResampler::Resample(double x, double* out, int capacity)
{
    if (!out)
        capacity = 0;
    if (factor_ == 1) {
        if (capacity < 1)
            return 0;
        out[0] = x;
        return 1;
    }

    if (held_ < 3) {
        y_[held_++] = x;
        if (held_ < 3)
            return 0;
    } else {
        y_[0] = y_[1];
        y_[1] = y_[2];
        y_[2] = x;
    }

    // Outputs before the oldest held input can no longer be interpolated.
    m_ = std::max(m_, n_ * factor_);
    int produced = 0;
    while ((n_ + 2) * factor_ >= m_ && produced < capacity) {
        const double t = static_cast<double>(m_ - n_ * factor_) / factor_;
        out[produced++]
            = y_[0] + t * (2.0 * y_[1] - 1.5 * y_[0] - 0.5 * y_[2]) + t * t * (0.5 * y_[2] + 0.5 * y_[0] - y_[1]);
        ++m_;
    }
    ++n_;
    return produced;
}

} // namespace kavro
