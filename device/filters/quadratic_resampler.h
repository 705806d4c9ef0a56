#pragma once
// Raises a sample stream's rate by an integer factor, interpolating a quadratic through the last
// three inputs. Output lags the input by up to two input intervals.
#include "com/hresult.h"

#include <cstdint>

namespace kavro {

class QuadraticResampler {
public:
    // Factor 1: every value passes through unchanged.
    explicit QuadraticResampler(int factor = 1) { SetFactor(factor); }

    // E_INVALIDARG below 1 (the factor stays). Starts the stream afresh.
    HRESULT SetFactor(int factor);
    int Factor() const { return factor_; }
    void Reset();

    // Takes one input and writes up to `capacity` outputs to `out`; returns how many. Outputs
    // that do not fit come with the next call; ones older than the three held inputs are dropped,
    // so a capacity of at least Factor() loses nothing.
    int Resample(double x, double* out, int capacity);

private:
    int factor_ = 1;
    double y_[3] = {};
    int held_ = 0;
    int64_t n_ = 0; // input index of y_[0]
    int64_t m_ = 0; // next output index
};

} // namespace kavro
