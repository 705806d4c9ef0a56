#include "device/filters/quadratic_resampler.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kavro;

namespace {

// Inputs on a parabola: the interpolating quadratic is that parabola, so output m must be
// exactly p(m / factor).
double parabola(double s)
{
    return 3.0 + 2.0 * s - 0.75 * s * s;
}

} // namespace

TEST(QuadraticResampler, FactorOnePassesValuesThrough)
{
    QuadraticResampler r;
    double out[5];
    EXPECT_EQ(r.Resample(4.5, out, 5), 1);
    EXPECT_EQ(out[0], 4.5);
    EXPECT_EQ(r.Resample(-1.0, out, 5), 1);
    EXPECT_EQ(out[0], -1.0);
    EXPECT_EQ(r.Resample(1.0, nullptr, 5), 0);
}

TEST(QuadraticResampler, FactorFiveStartsAfterThreeInputsThenGivesFivePerInput)
{
    QuadraticResampler r(5);
    std::vector<double> out(16);
    EXPECT_EQ(r.Resample(parabola(0), out.data(), 16), 0);
    EXPECT_EQ(r.Resample(parabola(1), out.data(), 16), 0);
    ASSERT_EQ(r.Resample(parabola(2), out.data(), 16), 11); // t = 0, 0.2 .. 2
    for (int m = 0; m <= 10; ++m)
        EXPECT_NEAR(out[m], parabola(m / 5.0), 1e-12) << m;
    EXPECT_EQ(out[0], parabola(0));
    int m = 11;
    for (int n = 3; n < 10; ++n) {
        ASSERT_EQ(r.Resample(parabola(n), out.data(), 16), 5);
        for (int i = 0; i < 5; ++i, ++m)
            EXPECT_NEAR(out[i], parabola(m / 5.0), 1e-9) << m;
    }
}

TEST(QuadraticResampler, RoomForOneFactorLosesNothingAndNeverWritesPastIt)
{
    QuadraticResampler r(5);
    double buf[8];
    int m = 0;
    for (int n = 0; n < 40; ++n) {
        for (double& b : buf)
            b = -999.0;
        const int got = r.Resample(parabola(n), buf, 5);
        ASSERT_LE(got, 5);
        for (int i = 5; i < 8; ++i)
            EXPECT_EQ(buf[i], -999.0);
        for (int i = 0; i < got; ++i, ++m)
            EXPECT_NEAR(buf[i], parabola(m / 5.0), 1e-9) << m; // consecutive: none skipped
    }
    EXPECT_GE(m, 5 * 37);
}

TEST(QuadraticResampler, TooLittleRoomDropsOnlyWhatCanNoLongerBeInterpolated)
{
    QuadraticResampler r(5);
    double buf[4];
    double lastPosition = -1.0;
    for (int n = 0; n < 30; ++n) {
        buf[2] = buf[3] = -999.0;
        const int got = r.Resample(parabola(n), buf, 2);
        ASSERT_LE(got, 2);
        EXPECT_EQ(buf[2], -999.0);
        for (int i = 0; i < got; ++i) {
            // Every value still lies on the parabola, at a later position than the one before,
            // and never before the oldest input held (no extrapolation backwards).
            bool found = false;
            for (int m = 0; m <= 5 * n && !found; ++m) {
                if (m / 5.0 > lastPosition && std::abs(buf[i] - parabola(m / 5.0)) < 1e-9) {
                    EXPECT_GE(m / 5.0, n - 2.0);
                    lastPosition = m / 5.0;
                    found = true;
                }
            }
            EXPECT_TRUE(found) << n;
        }
    }
}

TEST(QuadraticResampler, FactorBelowOneIsRejectedAndANewFactorRestarts)
{
    QuadraticResampler r(3);
    EXPECT_EQ(r.SetFactor(0), E_INVALIDARG);
    EXPECT_EQ(r.Factor(), 3);
    double out[8];
    r.Resample(1.0, out, 8);
    r.Resample(2.0, out, 8);
    ASSERT_EQ(r.SetFactor(2), S_OK);
    EXPECT_EQ(r.Resample(1.0, out, 8), 0);
    EXPECT_EQ(r.Resample(2.0, out, 8), 0);
    EXPECT_EQ(r.Resample(3.0, out, 8), 5);
}
