#include "device/usb/wireless_decoder.h"

#include "device/usb/angle_math.h"
#include "device/usb/battery_level.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kavro {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint8_t kInvertedBit = 0x40;
constexpr uint8_t kStatusFormBit = 0x20;
constexpr uint8_t kLengthMask = 0x1F;
constexpr double kAllOnesScaleDivisor = 41.91666666666667;
constexpr double kPairScaleDivisor = 5.0;
constexpr double kAmplitudeDivisor = 12.0;
constexpr double kMinAmplitude = 10.0;
constexpr double kRescaleAbove = 50.0;
constexpr double kDistance32Divisor = 251658240.0;

bool spotType(int type)
{
    return type == 0 || type == 1 || type == 4;
}
bool pairType(int type)
{
    return type == 2 || type == 3 || (type >= 5 && type <= 8);
}

// Whether a packet of this type, form and length can be decoded at all.
bool formFits(int type, bool statusForm, size_t n)
{
    if (spotType(type))
        return statusForm ? n >= 6 : (n >= 22 && n <= 24);
    if (!pairType(type))
        return false;
    const size_t longest = type == 8 ? 19 : 18;
    if (statusForm)
        return n >= 18 && n <= longest;
    return n >= 14 && n <= longest;
}

} // namespace

WirelessLink::WirelessLink()
    : referenceSize(kNaN), batteryVoltage_(kNaN), scaleDivisor_(kNaN), angle_(kNaN), distanceFactor_(kNaN)
{
    anglemath::designSmoothingFilter(scaleFilter_);
    anglemath::designSmoothingFilter(angleFilter_);
}

void WirelessLink::Reset()
{
    type_ = -1;
    identity_ = -1;
    samplesPerSecond_ = modulus_ = subSlots_ = 0;
    previousCounter_ = 0;
    // Another device: its battery is not the one seen so far.
    batteryVoltage_ = kNaN;
    batteryLevel_ = 0;
    batteryByte_ = -1;
    calibrationWord_ = 0;
    calibrationMask_ = 0;
    scaleDivisor_ = kNaN;
    level1_ = level2_ = 0;
    extra_ = 0;
    angleWord_ = {};
    distanceWord_ = {};
    angle_ = kNaN;
    distanceFactor_ = kNaN;
    scaleFilter_.Restart();
    angleFilter_.Restart();
}

void WirelessLink::setBattery(uint8_t byte)
{
    if (batteryByte_ == byte)
        return;
    batteryByte_ = byte;
    const BatteryState b = batteryState(type_, byte);
    batteryVoltage_ = b.voltage;
    batteryLevel_ = b.level;
}

WirelessSample WirelessLink::Decode(ByteSpan packet)
{
    WirelessSample s;
    s.shotFraction = kNaN;
    s.distance32 = kNaN;
    if (packet.empty() || packet.size() > kMaxPacket)
        return s;
    uint8_t b[kMaxPacket];
    std::copy(packet.begin(), packet.end(), b);
    const size_t n = b[0] & kLengthMask;
    if (n != packet.size() || n < 4)
        return s;
    if (b[0] & kInvertedBit) {
        for (size_t i = 1; i < n; ++i)
            b[i] = static_cast<uint8_t>(~b[i]);
    }
    const bool statusForm = (b[0] & kStatusFormBit) != 0;
    const int type = b[1];
    const int identity = readU16(b + 2);
    if (!formFits(type, statusForm, n))
        return s;

    if (type != type_ || identity != identity_) {
        Reset();
        type_ = type;
        identity_ = identity;
        const bool slow = spotType(type);
        samplesPerSecond_ = slow ? 50 : 100;
        modulus_ = slow ? (type == 4 ? 127 : 255) : 119;
        subSlots_ = slow ? 32 : 16;
    }
    s.deviceType = type;
    s.identity = identity;
    const bool ok = statusForm ? decodeStatus(b, n, s) : spotType(type) ? decodeSpots(b, n, s) : decodePairs(b, n, s);
    if (!ok)
        s.status = WirelessNothing;
    return s;
}

bool WirelessLink::decodeStatus(const uint8_t* p, size_t n, WirelessSample& s)
{
    if (spotType(type_)) {
        if (p[4] > 1)
            return false;
        s.status = p[4] == 0 ? WirelessStatus2 : WirelessStatus3;
        s.hasBattery = true;
        s.batteryByte = p[5];
        setBattery(p[5]);
        return true;
    }
    s.status = WirelessStatus3;
    std::copy_n(p + 4, s.statusBytes.size(), s.statusBytes.begin());
    s.hasBattery = true;
    s.batteryByte = p[15];
    setBattery(p[15]);
    s.statusWord = readU16(p + 16);
    if (type_ == 8) {
        extra_ = n == 19 ? p[18] : 0;
        s.extraByte = extra_;
    }
    return true;
}

bool WirelessLink::decodeSpots(const uint8_t* p, size_t n, WirelessSample& s)
{
    s.status = WirelessData;
    s.counter = type_ == 4 ? (p[4] & 0x7F) : p[4];
    s.overload = type_ == 4 && (p[4] & 0x80) != 0;
    const int slot = s.counter & 7;
    if (slot <= 3) {
        const uint8_t bit = static_cast<uint8_t>(1u << slot);
        if (!(calibrationMask_ & bit)) {
            calibrationWord_ |= static_cast<uint32_t>(p[5]) << (8 * slot);
            calibrationMask_ |= bit;
            if (calibrationMask_ == 0x0F)
                scaleDivisor_ = calibrationWord_ == 0xFFFFFFFFu ? kAllOnesScaleDivisor : calibrationWord_ / 65536.0;
        }
    } else if (slot == 4) {
        s.hasBattery = true;
        s.batteryByte = p[5];
        setBattery(p[5]);
    }

    bool valid = true;
    for (int k = 0; k < 4; ++k) {
        for (int spot = 0; spot < 2; ++spot) {
            const double a = readU16(p + 6 + (k * 2 + spot) * 2) / kAmplitudeDivisor;
            s.amplitudes[static_cast<size_t>(spot * 4 + k)] = a;
            valid = valid && a >= kMinAmplitude;
        }
    }
    if (n == 24) {
        s.shotFlag = p[23];
        s.shotSubIndex = p[22];
        s.shotFraction = p[22] / 32.0;
    }

    double x[2], y[2], sum[2];
    for (int spot = 0; spot < 2; ++spot) {
        const double* q = &s.amplitudes[static_cast<size_t>(spot) * 4];
        x[spot] = q[0] + q[1] - q[2] - q[3];
        y[spot] = q[0] + q[2] - q[1] - q[3];
        sum[spot] = q[0] + q[1] + q[2] + q[3];
        if (sum[spot] > kRescaleAbove) {
            x[spot] *= 2000.0 / sum[spot];
            y[spot] *= 2000.0 / sum[spot];
        }
    }
    s.x0 = x[0], s.y0 = y[0], s.sum0 = sum[0];
    s.x1 = x[1], s.y1 = y[1], s.sum1 = sum[1];
    s.meanX = (x[0] + x[1]) / 2;
    s.meanY = (y[0] + y[1]) / 2;
    s.totalSum = sum[0] + sum[1];
    s.separation = std::hypot(x[0] - x[1], y[0] - y[1]);

    const int expected = previousCounter_ >= modulus_ ? 0 : previousCounter_ + 1;
    if (s.counter != expected) {
        scaleFilter_.Restart();
        angleFilter_.Restart();
    }
    previousCounter_ = s.counter;

    if (std::isnan(referenceSize) || !(s.separation > 0) || s.separation < referenceSize / 4) {
        valid = false;
        s.scale = s.angle = s.smoothedAngle = kNaN;
        scaleFilter_.Restart();
        angleFilter_.Restart();
    } else {
        s.scale = scaleFilter_.Filter(referenceSize / s.separation);
        const double reference = anglemath::lineDirection(0, referenceSize / 2, 0, -referenceSize / 2);
        s.angle = anglemath::normalise(anglemath::lineDirection(x[0], y[0], x[1], y[1]) - reference);
        if (!angleFilter_.IsRestartPending())
            anglemath::unwrapFilter(angleFilter_, s.angle);
        s.smoothedAngle = angleFilter_.Filter(s.angle);
    }
    s.valid = valid;
    return true;
}

void WirelessLink::takeMultiplexed(int counter, uint8_t byte)
{
    switch (counter % 6) {
    case 0:
        if (counter == 0)
            setBattery(byte);
        else
            level1_ = byte;
        break;
    case 1: level2_ = byte; break;
    case 2:
        angleWord_.low = byte;
        angleWord_.lowArrived = true;
        break;
    case 3:
        if (angleWord_.lowArrived) {
            const auto word = static_cast<int16_t>(angleWord_.low | (byte << 8));
            double a = std::asin(std::clamp(word / 10000.0, -1.0, 1.0));
            // An odd word marks an angle beyond a quarter turn, where the sine alone is ambiguous.
            if (word & 1)
                a = a >= 0 ? anglemath::kPi - a : -anglemath::kPi - a;
            angle_ = a;
        }
        break;
    case 4:
        distanceWord_.low = byte;
        distanceWord_.lowArrived = true;
        break;
    case 5:
        if (distanceWord_.lowArrived) {
            const auto word = static_cast<uint16_t>(distanceWord_.low | (byte << 8));
            distanceFactor_ = word / 10000.0 * (referenceSize / 50.0);
        }
        break;
    default: break;
    }
}

bool WirelessLink::decodePairs(const uint8_t* p, size_t n, WirelessSample& s)
{
    s.status = WirelessData;
    s.counter = p[4] & 0x7F;
    s.overload = (p[4] & 0x80) != 0;
    previousCounter_ = s.counter;
    if (s.counter == 0) {
        s.hasBattery = true;
        s.batteryByte = p[5];
    }
    takeMultiplexed(s.counter, p[5]);
    s.a1 = readI16(p + 6) / 50.0;
    s.b1 = readI16(p + 8) / 50.0;
    s.a2 = readI16(p + 10) / 50.0;
    s.b2 = readI16(p + 12) / 50.0;

    auto shot = [&](uint8_t flag, uint8_t subIndex) {
        s.shotFlag = flag;
        s.shotSubIndex = subIndex & 0x0F;
        s.shotFraction = s.shotSubIndex / 16.0;
    };
    auto trigger = [&](int value) {
        s.hasTrigger = true;
        s.triggerValue = value;
    };
    auto distance32 = [&] {
        s.distance32 = readU32(p + 14) / kDistance32Divisor * (referenceSize / 50.0);
        distanceFactor_ = 1.0;
    };
    if (type_ == 8) {
        switch (n) {
        case 14: extra_ = 0; break;
        case 15: extra_ = p[14]; break;
        case 16: shot(p[15], p[14]); break;
        case 17:
            shot(p[15], p[14]);
            extra_ = p[16];
            break;
        case 18: distance32(); break;
        case 19:
            distance32();
            extra_ = p[18];
            break;
        default: break;
        }
        s.extraByte = extra_;
    } else {
        switch (n) {
        case 15: trigger(p[14]); break;
        case 16:
            if (p[14] & 0x80)
                trigger((p[14] & 0x0F) * 256 + p[15]);
            else
                shot(p[15], p[14]);
            break;
        case 17:
            trigger((p[15] & 0xF0) * 16 + p[14]);
            shot(p[16], p[15]);
            break;
        case 18: distance32(); break;
        default: break;
        }
    }

    scaleDivisor_ = kPairScaleDivisor;
    s.scale = std::isnan(distanceFactor_) ? kNaN : scaleFilter_.Filter(distanceFactor_);
    s.angle = angle_;
    if (std::isnan(angle_)) {
        s.smoothedAngle = kNaN;
    } else {
        const bool restarting = angleFilter_.IsRestartPending();
        s.smoothedAngle = angleFilter_.Filter(angle_);
        if (!restarting)
            anglemath::unwrapFilter(angleFilter_, angle_);
    }
    s.valid = !std::isnan(angle_) && !std::isnan(distanceFactor_);
    return true;
}

} // namespace kavro
