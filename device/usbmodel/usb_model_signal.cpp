// Reader-thread side of the model: optical samples and wireless packets become sample records,
// and the target's emitters are regulated towards the wanted spot sum.
#include "device/usbmodel/usb_model.h"

#include "device/usb/usb_requests.h"
#include "device/usbmodel/usb_record.h"

#include <cmath>

namespace kavro {

namespace {
constexpr double kRegulationBand = 100.0;
constexpr double kMinAmplitude = 50.0;
constexpr int kRegulatorWait = 25;
constexpr double kMaxSensorScale = 16.0;
constexpr double kMinTotalSum = 1000.0;

struct Range {
    int32_t low, high;
};

int32_t regulated(int32_t setting, double target, double level, Range r)
{
    if (level <= 1)
        return r.high;
    const double v = std::nearbyint(setting * target / level);
    return static_cast<int32_t>(std::clamp(v, double(r.low), double(r.high)));
}
} // namespace

void CKavroDeviceUSB::OnSignal(const OpticalSample& s)
{
    regulateOptical(s);
    SampleRecord r;
    const bool signal = s.valid && optical_.ScaleDivisor() * s.scale <= kMaxSensorScale && s.totalSum >= kMinTotalSum;
    r.setValid(signal);
    r.bytes[usbrecord::kShotFlag] = s.shotFlag;
    r.setSignalLevel(s.valid ? static_cast<int16_t>(std::clamp(std::nearbyint(s.totalSum), -32768.0, 32767.0)) : 0);
    r.setPiezoLevel(
        static_cast<int16_t>(std::clamp(static_cast<int64_t>(s.shotLevel) / 4, int64_t{-32768}, int64_t{32767})));
    r.put(usbrecord::kShotFraction, static_cast<double>(s.shotFraction));
    r.setAngle(s.angle);
    r.put(usbrecord::kSmoothedAngle, s.smoothedAngle);
    r.setTargetX(s.outputX);
    r.setTargetY(-s.outputY);
    r.setScale(s.scale);
    PostEvent(r);
}

void CKavroDeviceUSB::regulateOptical(const OpticalSample& s)
{
    std::array<int32_t, 2> next;
    {
        std::lock_guard g(regLock_);
        const double L = signalLevel_;
        const double sums[2] = {s.sum0, s.sum1};
        bool strong = true;
        for (double a : s.amplitudes)
            strong = strong && a >= kMinAmplitude;
        const bool off = std::fabs(sums[0] - L) > kRegulationBand || std::fabs(sums[1] - L) > kRegulationBand;
        if (calibrationMode_ && strong && off && regulator_ == kRegulatorIdle)
            regulator_ = 0;
        if (regulator_ > 0) {
            --regulator_;
            return;
        }
        if (regulator_ != 0)
            return;
        const Range range = home_.IsOpen() ? Range{2000, 0xC000}
            : receiver_.IsOpen()           ? Range{16, 192}
                                           : Range{4096, 0xF800};
        next = settings_;
        for (int i = 0; i < 2; ++i)
            if (std::fabs(sums[i] - L) > kRegulationBand)
                next[static_cast<size_t>(i)] = regulated(settings_[static_cast<size_t>(i)], L, sums[i], range);
        if (next == settings_) {
            regulator_ = kRegulatorIdle;
            return;
        }
        regulator_ = kRegulatorWait;
        // The wired controller's settings are taken as sent; the others only once accepted.
        if (target_.IsOpen())
            settings_ = next;
    }
    if (sendSignalSettings(next[0], next[1]) && !target_.IsOpen()) {
        std::lock_guard g(regLock_);
        settings_ = next;
    }
}

void CKavroDeviceUSB::setRegulationIdle()
{
    std::lock_guard g(regLock_);
    regulator_ = kRegulatorIdle;
    // The wireless packets' regulation has no state of its own beyond its wait after a change.
    wirelessRegWait_ = 0;
}

void CKavroDeviceUSB::OnWirelessPacket(ByteSpan packet)
{
    SampleRecord r;
    const size_t n = std::min(packet.size(), usbrecord::kRawMax);
    r.bytes[usbrecord::kRawFlag] = 1;
    std::copy_n(packet.begin(), n, r.bytes + usbrecord::kRawPacket);
    r.put(usbrecord::kRawLength, static_cast<int32_t>(n));
    PostEvent(r);
}

void CKavroDeviceUSB::regulateWireless(const WirelessSample& s)
{
    // A packet that could not be read is neither a status nor data: it must not reset the emitters.
    if (s.status == WirelessNothing)
        return;
    const bool toReceiver = receiver_.IsOpen() && targetNumber_ > 0;
    if (pairType()) {
        if (!calibrationMode_)
            return;
        if (s.status != WirelessData) {
            if (toReceiver && sendSignalSettings(60, 60)) {
                std::lock_guard g(regLock_);
                settings_ = {60, 60};
            }
            return;
        }
        if (s.counter % 12 != 1)
            return;
        const Range range = toReceiver ? Range{20, 215} : Range{2000, 55000};
        auto next = SignalSettings();
        const int levels[2] = {link_.LevelByte1(), link_.LevelByte2()};
        if (s.overload) {
            const int32_t half = std::max(next[0], next[1]) / 2;
            next = {half, half};
            if (!toReceiver && std::max(next[0], next[1]) * 2 < 4000)
                next = {2000, 2000};
        } else {
            for (size_t i = 0; i < 2; ++i)
                if (levels[i] < 33 || levels[i] > 37)
                    next[i] = regulated(next[i], 35, levels[i], range);
        }
        for (auto& v : next)
            v = std::clamp(v, range.low, range.high);
        if (next != SignalSettings() && sendSignalSettings(next[0], next[1])) {
            std::lock_guard g(regLock_);
            settings_ = next;
        }
        return;
    }
    if (s.status == WirelessStatus3) {
        SendTargetFace();
        return;
    }
    if (s.status != WirelessData || !calibrationMode_ || !(home_.IsOpen() || toReceiver))
        return;
    if (wirelessRegWait_ > 0) {
        --wirelessRegWait_;
        return;
    }
    const double L = signalLevel_;
    const double sums[2] = {s.sum0, s.sum1};
    bool strong = true;
    for (double a : s.amplitudes)
        strong = strong && a >= kMinAmplitude;
    if (!((strong || s.overload) && (std::fabs(sums[0] - L) > 25 || std::fabs(sums[1] - L) > 25)))
        return;
    const Range range = home_.IsOpen() ? Range{2000, 55000} : Range{32, 192};
    auto next = SignalSettings();
    if (s.overload) {
        const int32_t half = std::max(next[0], next[1]) / 2;
        next = {std::clamp(half, range.low, range.high), std::clamp(half, range.low, range.high)};
    } else {
        for (size_t i = 0; i < 2; ++i)
            if (std::fabs(sums[i] - L) > kRegulationBand)
                next[i] = regulated(next[i], L, sums[i], range);
    }
    if (next != SignalSettings() && sendSignalSettings(next[0], next[1])) {
        std::lock_guard g(regLock_);
        settings_ = next;
        wirelessRegWait_ = 12;
    }
}

} // namespace kavro
