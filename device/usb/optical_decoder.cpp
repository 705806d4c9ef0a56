#include "device/usb/optical_decoder.h"

#include "device/usb/angle_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kavro {

namespace {

constexpr double kIqDivisor = 102400.0;
constexpr double kMinAmplitude = 20.0;
constexpr double kOldRescaleAbove = 200.0;
constexpr double kRescaleTarget = 2000.0;
constexpr int kShotMarkBits = 200;
constexpr size_t kShotSumOffset = 64;
constexpr size_t kShotMarksOffset = 68;
constexpr double kShotSpan = 400.0;
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

// Items list the quadrant pairs as (k0 s0, k0 s1, k1 s0, ...); samples keep spot 0 first.
constexpr size_t itemIndex(int spot, int quadrant)
{
    return static_cast<size_t>(quadrant * 2 + spot);
}

} // namespace

OpticalDecoder::OpticalDecoder()
{
    Reset();
}

void OpticalDecoder::Reset()
{
    anglemath::designSmoothingFilter(scaleFilter_);
    anglemath::designSmoothingFilter(angleFilter_);
    angleFirst_ = true;
    gains = {1.0, 1.0, 1.0, 1.0};
    scaleDivisor = kDefaultScaleDivisor;
    lastScale_ = kStartScale;
    countdown_ = kSkippedItems;
    previous_.fill(0);
    halfLength_ = 0;
    held_ = OpticalSample{};
    hasHeld_ = false;
    shotThreshold = 0;
}

OpticalDecoder::Spots OpticalDecoder::spotsFrom(const std::array<double, 8>& m, double rescaleAbove) const
{
    Spots p{};
    for (int s = 0; s < 2; ++s) {
        const double* q = &m[static_cast<size_t>(s) * 4];
        p.x[s] = (q[2] + q[3]) - (q[0] + q[1]);
        p.y[s] = (q[1] + q[2]) - (q[0] + q[3]);
        p.s[s] = q[0] + q[1] + q[2] + q[3];
        if (p.s[s] > rescaleAbove) {
            p.x[s] *= kRescaleTarget / p.s[s];
            p.y[s] *= kRescaleTarget / p.s[s];
        }
    }
    return p;
}

double OpticalDecoder::outputScale(double filteredScale) const
{
    if (sensorKind == 2)
        return filteredScale;
    if (scaleDivisor == 0.0 || std::isnan(scaleDivisor))
        return std::numeric_limits<double>::quiet_NaN();
    return (sensorKind == 4 ? 25.0 : 50.0) / scaleDivisor;
}

void OpticalDecoder::finish(OpticalSample& s, const Spots& p, double& angle, double& smoothed)
{
    s.x0 = p.x[0];
    s.x1 = p.x[1];
    s.y0 = p.y[0];
    s.y1 = p.y[1];
    s.sum0 = p.s[0];
    s.sum1 = p.s[1];
    s.meanX = (p.x[0] + p.x[1]) / 2;
    s.meanY = (p.y[0] + p.y[1]) / 2;
    s.totalSum = p.s[0] + p.s[1];
    const double separation = std::hypot(p.x[0] - p.x[1], p.y[0] - p.y[1]);

    double scale = lastScale_;
    if (s.valid && separation > nominalSeparation / 100) {
        scale = nominalSeparation / separation;
        lastScale_ = scale;
    }
    const double filteredScale = scaleFilter_.Filter(scale);

    if (s.valid) {
        const double reference
            = sensorKind == 2 ? anglemath::lineDirection(0, 91, 0, -91) : anglemath::lineDirection(-100, 0, 100, 0);
        const double measured
            = anglemath::normalise(anglemath::lineDirection(p.x[0], p.y[0], p.x[1], p.y[1]) - reference);
        if (!angleFirst_)
            anglemath::unwrapFilter(angleFilter_, measured);
        smoothed = angleFilter_.Filter(measured);
        angle = smoothed;
        angleFirst_ = false;
    } else {
        angleFirst_ = true;
    }
    s.smoothedAngle = smoothed;
    s.angle = angle;
    if (sensorKind != 2 && !useMeasuredAngle)
        s.angle = fixedAngle;

    s.scale = outputScale(filteredScale);
    const double c = std::cos(s.angle);
    const double n = std::sin(s.angle);
    s.outputX = (s.meanX * c + s.meanY * n) * s.scale;
    s.outputY = (s.meanY * c - s.meanX * n) * s.scale;
}

void OpticalDecoder::DecodeOldItems(ByteSpan data, std::vector<OpticalSample>& out)
{
    double angle = 0;
    double smoothed = 0;
    for (size_t offset = 0; data.size() - offset >= kOldItemSize; offset += kOldItemSize) {
        const uint8_t* item = &data[offset];
        if (countdown_ > 1) {
            --countdown_;
            continue;
        }
        if (countdown_ == 1) {
            countdown_ = 0;
            std::copy_n(item, kOldItemSize, previous_.begin());
        }

        OpticalSample s;
        bool valid = true;
        for (int spot = 0; spot < 2; ++spot) {
            for (int k = 0; k < 4; ++k) {
                const size_t at = itemIndex(spot, k) * 8;
                // Two 32-bit sums can overflow 32 bits: add them wide.
                const int64_t a = int64_t{readI32(item + at)} + readI32(&previous_[at]);
                const int64_t b = int64_t{readI32(item + at + 4)} + readI32(&previous_[at + 4]);
                const double m = std::hypot(a / kIqDivisor, b / kIqDivisor);
                s.amplitudes[static_cast<size_t>(spot * 4 + k)] = m;
                valid = valid && m >= kMinAmplitude;
            }
        }
        s.valid = valid ? 1 : 0;
        const Spots spots = spotsFrom(s.amplitudes, kOldRescaleAbove);
        finish(s, spots, angle, smoothed);

        s.shotLevel = std::trunc(static_cast<float>(readU32(item + kShotSumOffset)) / 200.0f);
        s.shotFraction = kNaNf;
        for (int bit = 0; bit < kShotMarkBits; ++bit) {
            if (item[kShotMarksOffset + static_cast<size_t>(bit / 8)] & (1u << (bit % 8))) {
                s.shotFraction = static_cast<float>(bit) / kShotMarkBits;
                break;
            }
        }
        out.push_back(s);
        std::copy_n(item, kOldItemSize, previous_.begin());
    }
}

void OpticalDecoder::DecodeNewItems(ByteSpan data, std::vector<OpticalSample>& out)
{
    if (data.empty() || data.size() % kNewItemSize != 0)
        return;
    double angle = 0;
    double smoothed = 0;
    for (size_t offset = 0; offset < data.size(); offset += kNewItemSize) {
        const uint8_t* item = &data[offset];
        const uint32_t e = readU32(item + 4);
        const uint32_t d = readU32(item + 8);
        const uint16_t level = readU16(item + 12);

        OpticalSample s;
        bool valid = true;
        for (size_t i = 0; i < 8; ++i) {
            s.amplitudes[i] = readF32(item + 14 + i * 4);
            valid = valid && s.amplitudes[i] >= kMinAmplitude; // NaN is not valid either
        }
        s.valid = valid ? 1 : 0;
        s.shotFlag = item[46];
        const Spots spots = spotsFrom(s.amplitudes, kOldRescaleAbove);
        finish(s, spots, angle, smoothed);

        s.shotFraction = kNaNf;
        if (level > shotThreshold) {
            if (d >= e) {
                s.shotLevel = level;
                s.shotFraction = static_cast<float>((d - e) / kShotSpan);
            } else if (hasHeld_) {
                const uint32_t late = std::min<uint32_t>(d - e + 400u, 400u);
                held_.shotLevel = level;
                held_.shotFraction = static_cast<float>(late / kShotSpan);
            }
        }
        if (hasHeld_)
            out.push_back(held_);
        held_ = s;
        hasHeld_ = true;
    }
}

void OpticalDecoder::DecodeHalfItem(ByteSpan data, std::vector<OpticalSample>& out)
{
    if (data.size() == kHalfItemFirst) {
        std::copy(data.begin(), data.end(), half_.begin());
        halfLength_ = kHalfItemFirst;
        return;
    }
    const bool completes = data.size() == kHalfItemSecond && halfLength_ == kHalfItemFirst;
    halfLength_ = 0;
    if (!completes)
        return;
    std::array<uint8_t, kOldItemSize> item;
    std::copy(half_.begin(), half_.end(), item.begin());
    std::copy(data.begin(), data.end(), item.begin() + kHalfItemFirst);
    DecodeOldItems(item, out);
}

} // namespace kavro
