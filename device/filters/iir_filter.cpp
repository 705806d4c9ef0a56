#include "device/filters/iir_filter.h"

#include <cmath>
#include <numbers>

namespace kavro {
namespace {

struct Section {
    double a0, a1, a2, b1, b2;
};

// One pole pair p (1-based) of an n-pole design, transformed to the z-plane at `cutoff`.
Section poleSection(double cutoff, bool highPass, double ripple, int poles, int p)
{
    constexpr double pi = std::numbers::pi;
    const double angle = pi / (2.0 * poles) + (p - 1) * pi / poles;
    double rp = -std::cos(angle);
    double ip = std::sin(angle);

    if (ripple != 0.0) {
        // Warp the circle of poles into the Chebyshev ellipse.
        const double r = 100.0 / (100.0 - ripple);
        const double es = std::sqrt(r * r - 1.0);
        const double vx = (1.0 / poles) * std::log(1.0 / es + std::sqrt(1.0 / (es * es) + 1.0));
        double kx = (1.0 / poles) * std::log(1.0 / es + std::sqrt(1.0 / (es * es) - 1.0));
        kx = (std::exp(kx) + std::exp(-kx)) / 2.0;
        rp = rp * ((std::exp(vx) - std::exp(-vx)) / 2.0) / kx;
        ip = ip * ((std::exp(vx) + std::exp(-vx)) / 2.0) / kx;
    }

    const double t = 2.0 * std::tan(0.5);
    const double w = 2.0 * pi * cutoff;
    const double m = rp * rp + ip * ip;
    double d = 4.0 - 4.0 * rp * t + m * t * t;
    const double x0 = t * t / d;
    const double x1 = 2.0 * t * t / d;
    const double x2 = t * t / d;
    const double y1 = (8.0 - 2.0 * m * t * t) / d;
    const double y2 = (-4.0 - 4.0 * rp * t - m * t * t) / d;

    const double k = highPass ? -std::cos(w / 2.0 + 0.5) / std::cos(w / 2.0 - 0.5)
                              : std::sin(0.5 - w / 2.0) / std::sin(0.5 + w / 2.0);
    d = 1.0 + y1 * k - y2 * k * k;
    Section s;
    s.a0 = (x0 - x1 * k + x2 * k * k) / d;
    s.a1 = (-2.0 * x0 * k + x1 + x1 * k * k - 2.0 * x2 * k) / d;
    s.a2 = (x0 * k * k - x1 * k + x2) / d;
    s.b1 = (2.0 * k + y1 + y1 * k * k - 2.0 * y2 * k) / d;
    s.b2 = (-k * k - y1 * k + y2) / d;
    if (highPass) {
        s.a1 = -s.a1;
        s.b1 = -s.b1;
    }
    return s;
}

bool rippleUsable(double ripple)
{
    if (!(ripple >= 0.0 && ripple < 100.0))
        return false;
    if (ripple == 0.0)
        return true;
    // The ellipse needs 1/es >= 1, i.e. (100 / (100 - ripple))^2 <= 2.
    const double r = 100.0 / (100.0 - ripple);
    return r * r - 1.0 <= 1.0;
}

} // namespace

HRESULT IirFilter::Design(double cutoff, int kind, double ripple, int poles)
{
    designed_ = false;
    if (!(cutoff > 0.0 && cutoff < 0.5) || (kind != LowPass && kind != HighPass) || !rippleUsable(ripple) || poles != 2)
        return E_INVALIDARG;
    const bool highPass = kind == HighPass;

    double ta[kCoefficients];
    double tb[kCoefficients];
    for (int i = 0; i < kCoefficients; ++i)
        a_[i] = b_[i] = 0.0;
    a_[2] = 1.0;
    b_[2] = 1.0;

    for (int p = 1; p <= poles / 2; ++p) {
        const Section s = poleSection(cutoff, highPass, ripple, poles, p);
        for (int i = 0; i < kCoefficients; ++i) {
            ta[i] = a_[i];
            tb[i] = b_[i];
        }
        for (int i = 2; i < kCoefficients; ++i) {
            a_[i] = s.a0 * ta[i] + s.a1 * ta[i - 1] + s.a2 * ta[i - 2];
            b_[i] = tb[i] - s.b1 * tb[i - 1] - s.b2 * tb[i - 2];
        }
    }

    b_[2] = 0.0;
    for (int i = 0; i <= 20; ++i) {
        a_[i] = a_[i + 2];
        b_[i] = -b_[i + 2];
    }

    // Normalise to unit gain at 0 Hz (low-pass) or at the Nyquist frequency (high-pass).
    double sa = 0.0;
    double sb = 0.0;
    for (int i = 0; i <= 20; ++i) {
        const double sign = (highPass && (i % 2) != 0) ? -1.0 : 1.0;
        sa += a_[i] * sign;
        sb += b_[i] * sign;
    }
    const double gain = sa / (1.0 - sb);
    for (int i = 0; i <= 20; ++i)
        a_[i] /= gain;

    x1_ = x2_ = y1_ = y2_ = 0.0;
    designed_ = true;
    firstSample_ = true;
    return S_OK;
}

double IirFilter::Step(double x)
{
    if (!designed_)
        return 0.0;
    double result;
    if (firstSample_) {
        x1_ = x2_ = y2_ = x;
        result = x;
        firstSample_ = false;
    } else {
        result = a_[0] * x + a_[1] * x1_ + a_[2] * x2_ + b_[1] * y1_ + b_[2] * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
    }
    y1_ = result;
    return result;
}

double IirFilter::Filter(double x)
{
    lastInput_ = x;
    lastOutput_ = Step(x);
    return lastOutput_;
}

void IirFilter::ShiftState(double delta)
{
    x1_ += delta;
    x2_ += delta;
    y1_ += delta;
    y2_ += delta;
    lastInput_ += delta;
    lastOutput_ += delta;
}

} // namespace kavro
