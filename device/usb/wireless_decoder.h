#pragma once
// The packets of wireless sensors as the receiver or home target relays them: a header with the
// length, the device type and identity, then either a status or a data form. The link state
// carries what arrives spread over several packets (calibration word, angle and distance words,
// battery) and the smoothing of scale and angle; a new device on the link starts it afresh.
#include "device/filters/iir_filter.h"
#include "device/usb/usb_packets.h"

#include <array>
#include <cstdint>

namespace kavro {

enum WirelessStatus { WirelessNothing = 0, WirelessData = 1, WirelessStatus2 = 2, WirelessStatus3 = 3 };

struct WirelessSample {
    int status = WirelessNothing;
    int deviceType = -1;
    int identity = -1;
    int counter = 0;
    bool overload = false;
    // Types 0, 1, 4: spot 0 quadrants 0-3, then spot 1 quadrants 0-3.
    std::array<double, 8> amplitudes{};
    double x0 = 0, y0 = 0, sum0 = 0, x1 = 0, y1 = 0, sum1 = 0;
    double meanX = 0, meanY = 0, totalSum = 0, separation = 0;
    double scale = 0;
    double angle = 0;
    double smoothedAngle = 0;
    bool valid = false;
    uint8_t shotFlag = 0;
    int shotSubIndex = 0;
    double shotFraction = 0; // NaN when the packet has no shot fields
    bool hasTrigger = false;
    int triggerValue = 0;
    // Types 2, 3, 5-8: two coordinate pairs.
    double a1 = 0, b1 = 0, a2 = 0, b2 = 0;
    // Status forms.
    std::array<uint8_t, 11> statusBytes{};
    bool hasBattery = false;
    uint8_t batteryByte = 0;
    uint16_t statusWord = 0;
    uint8_t extraByte = 0;
    // 32-bit distance of 18- and 19-byte packets, scaled; NaN when absent.
    double distance32 = 0;
};

class WirelessLink {
public:
    static constexpr size_t kMaxPacket = 31; // the header's 5-bit length

    WirelessLink();

    // Set by the device model; kept across resets.
    double referenceSize;

    // Decodes one packet; a malformed one gives status 0 and leaves the link as it was.
    WirelessSample Decode(ByteSpan packet);
    // Forget everything learnt about the device on the link.
    void Reset();

    int DeviceType() const { return type_; }
    int Identity() const { return identity_; }
    int SamplesPerSecond() const { return samplesPerSecond_; }
    int CounterModulus() const { return modulus_; }
    int ShotSubSlots() const { return subSlots_; }
    double ScaleDivisor() const { return scaleDivisor_; }
    double BatteryVoltage() const { return batteryVoltage_; }
    int BatteryLevel() const { return batteryLevel_; }
    int LevelByte1() const { return level1_; }
    int LevelByte2() const { return level2_; }
    uint8_t ExtraByte() const { return extra_; }
    double Angle() const { return angle_; }
    double DistanceFactor() const { return distanceFactor_; }

private:
    struct Word {
        uint8_t low = 0;
        bool lowArrived = false;
    };
    void setBattery(uint8_t byte);
    bool decodeStatus(const uint8_t* p, size_t n, WirelessSample& s);
    bool decodeSpots(const uint8_t* p, size_t n, WirelessSample& s);
    bool decodePairs(const uint8_t* p, size_t n, WirelessSample& s);
    void takeMultiplexed(int counter, uint8_t byte);

    int type_ = -1;
    int identity_ = -1;
    int samplesPerSecond_ = 0;
    int modulus_ = 0;
    int subSlots_ = 0;
    int previousCounter_ = 0;
    double batteryVoltage_;
    int batteryLevel_ = 0;
    int batteryByte_ = -1;
    uint32_t calibrationWord_ = 0;
    uint8_t calibrationMask_ = 0;
    double scaleDivisor_;
    int level1_ = 0;
    int level2_ = 0;
    uint8_t extra_ = 0;
    Word angleWord_;
    Word distanceWord_;
    double angle_;
    double distanceFactor_;
    IirFilter scaleFilter_;
    IirFilter angleFilter_;
};

} // namespace kavro
