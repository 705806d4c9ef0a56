#pragma once
// A recursive filter designed at run time: Chebyshev type I by pole pairs and the bilinear
// transform (0 % ripple is Butterworth). Filtering runs one two-pole section, so only two-pole
// designs are accepted.
#include "com/hresult.h"

namespace kavro {

class IirFilter {
public:
    enum Kind { LowPass = 0, HighPass = 1 };
    static constexpr int kMaxPoles = 20;
    static constexpr int kCoefficients = 23;

    // `cutoff` is a fraction of the sampling rate in (0, 0.5); `ripple` in percent from 0 up to
    // the point where the ripple recipe breaks down (about 29.3); `poles` must be 2.
    // E_INVALIDARG leaves the filter undesigned (Step then returns 0).
    HRESULT Design(double cutoff, int kind, double ripple, int poles);

    double Step(double x);
    // Step, remembering the input and output for LastInput/LastOutput.
    double Filter(double x);

    // Adds `delta` to every remembered input and output, so that a signal that jumps by a whole
    // turn (an unwrapped angle) continues without a transient.
    void ShiftState(double delta);
    // The next sample starts the filter afresh (passes through unchanged).
    void Restart() { firstSample_ = true; }
    bool IsRestartPending() const { return firstSample_; }

    bool IsDesigned() const { return designed_; }
    double LastInput() const { return lastInput_; }
    double LastOutput() const { return lastOutput_; }
    // Coefficients after the design: output = sum A[i] x[n-i] + sum B[i] y[n-i].
    double A(int i) const { return a_[i]; }
    double B(int i) const { return b_[i]; }

private:
    double a_[kCoefficients] = {};
    double b_[kCoefficients] = {};
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
    double lastInput_ = 0, lastOutput_ = 0;
    bool designed_ = false;
    bool firstSample_ = true;
};

} // namespace kavro
