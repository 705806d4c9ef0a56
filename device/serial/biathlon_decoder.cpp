#include "device/serial/biathlon_decoder.h"

#include "com/numeric.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace kavro {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int32_t kSeen = 32; // intensity from which a target counts as seen
constexpr double kSpacing = 250.0;
constexpr double kMaxX = 750.0;
constexpr double kMaxY = 250.0;

double centre(int k)
{
    return (k - 2) * kSpacing;
}

double direction(double dx, double dy)
{
    if (dx == 0 && dy == 0)
        return 0;
    double a = std::atan2(dy, dx);
    if (a < 0)
        a += 2 * kPi;
    return a;
}

double wrap(double a)
{
    while (a > kPi)
        a -= 2 * kPi;
    while (a < -kPi)
        a += 2 * kPi;
    return a;
}

struct Seen {
    std::array<double, kBiathlonTargets> s{}, d{};
};

double ratio(const Seen& p, int a, int b)
{
    const double dx = p.s[a] - p.s[b];
    const double dy = p.d[a] - p.d[b];
    if (std::fabs(dx) < 4 && std::fabs(dy) < 4)
        return -1;
    return std::fabs(centre(a) - centre(b)) / std::hypot(dx, dy);
}

double angle(const Seen& p, int a, int b)
{
    const double seen = direction(p.s[b] - p.s[a], p.d[b] - p.d[a]);
    const double real = direction(centre(b) - centre(a), 0);
    return wrap(seen - real);
}

} // namespace

bool unpackBiathlonFrame(const uint8_t* b, BiathlonFrameValues& out)
{
    uint8_t sum = 0;
    for (size_t i = 0; i < kBiathlonFrameLength - 1; ++i)
        sum = static_cast<uint8_t>(sum + b[i]);
    if ((~sum & 0x7F) != (b[kBiathlonFrameLength - 1] & 0x7F))
        return false;
    auto bits = [b](int first, int count) {
        int32_t v = 0;
        for (int i = 0; i < count; ++i) {
            const int bit = first + i;
            if ((b[bit / 7] >> (bit % 7)) & 1)
                v |= 1 << i;
        }
        return v;
    };
    for (int k = 0; k < 18; ++k)
        out.z[static_cast<size_t>(k)] = bits(10 * k, 10);
    out.counter = bits(184, 5);
    return true;
}

bool BiathlonDecoder::Decode(const uint8_t* frame, int32_t piezoThreshold, SampleRecord& record)
{
    record = SampleRecord{};
    BiathlonFrameValues v;
    if (!unpackBiathlonFrame(frame, v))
        return false;
    if (resetRequested_.exchange(false))
        haveHistory_ = false;
    record.setCounter(static_cast<uint8_t>(v.counter));
    record.setPiezoLevel(static_cast<int16_t>(v.z[15]));
    record.setPulse(static_cast<int16_t>(v.z[16]));
    record.setTrigger(static_cast<int16_t>(v.z[17]));

    Locate(v, piezoThreshold, record);
    return true;
}

bool BiathlonDecoder::Locate(const BiathlonFrameValues& v, int32_t piezoThreshold, SampleRecord& record)
{
    const int32_t piezo = v.z[15];
    std::array<double, kBiathlonTargets> S{}, D{}, f{}, r{};
    std::array<int32_t, kBiathlonTargets> W{};
    for (int k = 0; k < kBiathlonTargets; ++k) {
        const auto i = static_cast<size_t>(k);
        const int32_t q = v.z[3 * i] - 512;
        const int32_t p = v.z[3 * i + 1] - 512;
        W[i] = v.z[3 * i + 2];
        S[i] = p + q;
        D[i] = p - q;
        f[i] = 1024.0 / (W[i] * 0.5 + 100.0);
        r[i] = (S[i] * f[i]) * (S[i] * f[i]) + (D[i] * f[i]) * (D[i] * f[i]);
    }
    std::array<int, kBiathlonTargets> o{0, 1, 2, 3, 4};
    for (size_t i = 0; i < 4; ++i) {
        for (size_t j = i + 1; j < 5; ++j) {
            const auto cur = static_cast<size_t>(o[i]);
            const auto cand = static_cast<size_t>(o[j]);
            if ((r[cand] < r[cur] && W[cand] >= kSeen) || (W[cur] < kSeen && W[cand] >= kSeen))
                std::swap(o[i], o[j]);
        }
    }
    const int j = o[0];
    const auto uj = static_cast<size_t>(j);
    if (W[uj] < kSeen)
        return false;
    bool neighbours = false;
    if (j == 0)
        neighbours = o[1] == 1;
    else if (j == 4)
        neighbours = o[1] == 3;
    else if (std::abs(o[1] - j) <= 1) {
        const int d2 = std::abs(o[2] - j);
        neighbours = d2 < 2 || (d2 == 2 && std::abs(o[3] - j) == 1 && r[3] * 1.3 > r[2]);
    }
    if (!neighbours)
        return false;

    Seen p;
    for (size_t k = 0; k < kBiathlonTargets; ++k) {
        double s = S[k], d = D[k];
        if (haveHistory_) {
            s = S[k] - (S[k] - prevS_[k]) * 0.5 / (std::fabs(S[k] - prevS_[k]) / 10 + 1);
            d = D[k] - (D[k] - prevD_[k]) * 0.5 / (std::fabs(D[k] - prevD_[k]) / 10 + 1);
        }
        prevS_[k] = S[k];
        prevD_[k] = D[k];
        p.s[k] = s * f[k];
        p.d[k] = d * f[k];
    }
    haveHistory_ = true;

    double e = 0, a = 0, x = 0, y = 0;
    int32_t intensity = W[uj];
    if (piezo > piezoThreshold && haveLast_) {
        // The shot shakes the sensor: the position from before it stands.
        e = lastScale_;
        a = lastAngle_;
        x = lastX_;
        y = lastY_;
        intensity = lastIntensity_;
    } else {
        if (j == 0 || j == 4) {
            const int other = j == 0 ? 1 : 3;
            e = ratio(p, j, other);
            a = angle(p, j, other);
        } else {
            const double e1 = ratio(p, j, j - 1), e2 = ratio(p, j, j + 1);
            if (e1 != -1 && e2 != -1)
                e = (e1 + e2) / 2;
            else
                e = e1 != -1 ? e1 : e2;
            double a1 = angle(p, j, j - 1);
            const double a2 = angle(p, j, j + 1);
            while (a1 - a2 > 1.5 * kPi)
                a1 -= 2 * kPi;
            while (a2 - a1 > 1.5 * kPi)
                a1 += 2 * kPi;
            a = wrap((a1 + a2) / 2);
        }
        x = centre(j) - (std::sin(a) * p.d[uj] + std::cos(a) * p.s[uj]) * e;
        y = e * (std::cos(a) * p.d[uj] - std::sin(a) * p.s[uj]);
    }
    // A negative scale is no position either.
    const bool inside = e >= 0 && std::fabs(x) <= kMaxX && std::fabs(y) <= kMaxY;
    haveLast_ = true;
    lastValid_ = inside;
    lastX_ = x;
    lastY_ = y;
    lastScale_ = e;
    lastAngle_ = a;
    lastIntensity_ = intensity;

    record.setSignalLevel(static_cast<int16_t>(intensity));
    record.setX(static_cast<int16_t>(roundSaturated(x * 10)));
    record.setY(-static_cast<int16_t>(roundSaturated(y * 10)));
    record.setScale(e);
    record.setAngle(a);
    record.setValid(inside);
    return inside;
}

} // namespace kavro
