#include "device/filters/iir_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

using namespace kavro;

namespace {

// |H| of the two-pole section at `f` (fraction of the sampling rate), from its coefficients.
double magnitude(const IirFilter& filter, double f)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * f);
    const std::complex<double> z2 = z1 * z1;
    const auto num = filter.A(0) + filter.A(1) * z1 + filter.A(2) * z2;
    const auto den = 1.0 - filter.B(1) * z1 - filter.B(2) * z2;
    return std::abs(num / den);
}

} // namespace

TEST(IirFilter, ButterworthLowPassHasTheStandardCoefficients)
{
    IirFilter f;
    ASSERT_EQ(f.Design(0.05, IirFilter::LowPass, 0.0, 2), S_OK);
    EXPECT_NEAR(f.A(0), 0.0200833655642113, 1e-13);
    EXPECT_NEAR(f.A(1), 0.0401667311284226, 1e-13);
    EXPECT_NEAR(f.A(2), 0.0200833655642113, 1e-13);
    EXPECT_NEAR(f.B(1), 1.56101807580072, 1e-13);
    EXPECT_NEAR(f.B(2), -0.641351538057563, 1e-13);
    EXPECT_EQ(f.B(0), 0.0);
    for (int i = 3; i < IirFilter::kCoefficients; ++i) {
        EXPECT_EQ(f.A(i), 0.0) << i;
        EXPECT_EQ(f.B(i), 0.0) << i;
    }
    // Butterworth: half power exactly at the cutoff, unit gain at 0 Hz.
    EXPECT_NEAR(magnitude(f, 0.05), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(magnitude(f, 0.0), 1.0, 1e-12);
}

TEST(IirFilter, ButterworthHighPassPassesNyquistAndHalvesPowerAtCutoff)
{
    IirFilter f;
    ASSERT_EQ(f.Design(0.1, IirFilter::HighPass, 0.0, 2), S_OK);
    EXPECT_NEAR(magnitude(f, 0.5), 1.0, 1e-12);
    EXPECT_NEAR(magnitude(f, 0.1), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(magnitude(f, 0.0), 0.0, 1e-12);
}

TEST(IirFilter, ChebyshevDesignsInUseRippleByTheirPercentage)
{
    // An even-order Chebyshev normalised to unit gain at 0 Hz peaks at 1 / (1 - ripple).
    for (double cutoff : {0.05, 0.15, 0.18, 0.25}) {
        IirFilter f;
        ASSERT_EQ(f.Design(cutoff, IirFilter::LowPass, 0.5, 2), S_OK);
        double peak = 0.0;
        for (int i = 0; i <= 2000; ++i)
            peak = std::max(peak, magnitude(f, cutoff * i / 2000.0));
        EXPECT_NEAR(peak, 1.0 / 0.995, 1e-6) << cutoff;
        EXPECT_NEAR(magnitude(f, 0.0), 1.0, 1e-12) << cutoff;
        EXPECT_LT(magnitude(f, std::min(0.5, 2 * cutoff)), 0.5) << cutoff;
    }
}

TEST(IirFilter, StepResponseSettlesToOneAndConstantsStayConstant)
{
    IirFilter f;
    EXPECT_EQ(f.Step(3.0), 0.0); // not designed yet
    ASSERT_EQ(f.Design(0.05, IirFilter::LowPass, 0.5, 2), S_OK);
    EXPECT_EQ(f.Filter(0.0), 0.0);
    double y = 0.0;
    for (int i = 0; i < 1000; ++i)
        y = f.Filter(1.0);
    EXPECT_NEAR(y, 1.0, 1e-9);
    EXPECT_EQ(f.LastInput(), 1.0);
    EXPECT_EQ(f.LastOutput(), y);

    IirFilter c;
    ASSERT_EQ(c.Design(0.25, IirFilter::LowPass, 0.5, 2), S_OK);
    EXPECT_EQ(c.Filter(-7.25), -7.25); // the first sample passes unchanged
    for (int i = 0; i < 50; ++i)
        EXPECT_NEAR(c.Filter(-7.25), -7.25, 1e-12);
}

TEST(IirFilter, ShiftedStateContinuesAnUnwrappedAngleWithoutATransient)
{
    constexpr double twoPi = 2.0 * std::numbers::pi;
    IirFilter plain, unwrapped;
    ASSERT_EQ(plain.Design(0.18, IirFilter::LowPass, 0.5, 2), S_OK);
    ASSERT_EQ(unwrapped.Design(0.18, IirFilter::LowPass, 0.5, 2), S_OK);
    double angle = 2.9;
    for (int i = 0; i < 20; ++i, angle += 0.01) {
        plain.Filter(angle);
        unwrapped.Filter(angle);
    }
    // The measured angle wraps past +pi to the negative side; the filter follows by a whole turn.
    unwrapped.ShiftState(-twoPi);
    EXPECT_NEAR(unwrapped.LastOutput(), plain.LastOutput() - twoPi, 1e-12);
    for (int i = 0; i < 20; ++i, angle += 0.01) {
        const double a = plain.Filter(angle);
        const double b = unwrapped.Filter(angle - twoPi);
        EXPECT_NEAR(b, a - twoPi, 1e-12);
    }
}

TEST(IirFilter, RestartPassesTheNextSampleThrough)
{
    IirFilter f;
    ASSERT_EQ(f.Design(0.15, IirFilter::LowPass, 0.5, 2), S_OK);
    f.Filter(1.0);
    f.Filter(2.0);
    EXPECT_FALSE(f.IsRestartPending());
    f.Restart();
    EXPECT_TRUE(f.IsRestartPending());
    EXPECT_EQ(f.Filter(40.0), 40.0);
    EXPECT_NEAR(f.Filter(40.0), 40.0, 1e-12);
}

TEST(IirFilter, RejectsDesignsItCannotRun)
{
    IirFilter f;
    EXPECT_EQ(f.Design(0.05, IirFilter::LowPass, 0.5, 4), E_INVALIDARG); // one two-pole section only
    EXPECT_FALSE(f.IsDesigned());
    EXPECT_EQ(f.Step(1.0), 0.0);
    EXPECT_EQ(f.Design(0.05, IirFilter::LowPass, 0.5, 0), E_INVALIDARG);
    EXPECT_EQ(f.Design(0.0, IirFilter::LowPass, 0.5, 2), E_INVALIDARG);
    EXPECT_EQ(f.Design(0.5, IirFilter::LowPass, 0.5, 2), E_INVALIDARG);
    EXPECT_EQ(f.Design(std::nan(""), IirFilter::LowPass, 0.5, 2), E_INVALIDARG);
    EXPECT_EQ(f.Design(0.05, 2, 0.5, 2), E_INVALIDARG);
    EXPECT_EQ(f.Design(0.05, IirFilter::LowPass, -1.0, 2), E_INVALIDARG);
    EXPECT_EQ(f.Design(0.05, IirFilter::LowPass, 30.0, 2), E_INVALIDARG);
    EXPECT_EQ(f.Design(0.05, IirFilter::LowPass, 29.0, 2), S_OK);
    // A failed design after a good one leaves the filter undesigned, not half-designed.
    EXPECT_EQ(f.Design(0.05, IirFilter::LowPass, 0.5, 3), E_INVALIDARG);
    EXPECT_EQ(f.Step(1.0), 0.0);
}
