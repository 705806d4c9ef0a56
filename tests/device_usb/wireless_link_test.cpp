#include "device/usb/battery_level.h"
#include "device/usb/wireless_decoder.h"
#include "support/usb_test_support.h"

#include <cmath>

namespace kavro::testing {
namespace {

constexpr uint16_t kId = 0x1234;

Bytes header(size_t n, uint8_t type, bool status = false, uint16_t id = kId)
{
    Bytes b(n, 0);
    b[0] = static_cast<uint8_t>(n | (status ? 0x20 : 0));
    b[1] = type;
    putU16(b, 2, id);
    return b;
}

// A type-0 data packet with both spots of sum 160 at (0, 40) and (0, -40) after /12.
Bytes spotPacket(uint8_t counter, uint8_t muxByte, size_t n = 22, uint16_t id = kId)
{
    Bytes b = header(n, 0, false, id);
    b[4] = counter;
    b[5] = muxByte;
    // X = q0+q1-q2-q3, Y = q0+q2-q1-q3: spot 0 (0, 40) and spot 1 (0, -40), sums 160.
    const double q[2][4] = {{50, 30, 50, 30}, {30, 50, 30, 50}};
    for (int k = 0; k < 4; ++k)
        for (int s = 0; s < 2; ++s)
            putU16(b, 6 + static_cast<size_t>((k * 2 + s) * 2), static_cast<uint16_t>(q[s][k] * 12));
    return b;
}

Bytes pairPacket(uint8_t type, uint8_t counter, uint8_t muxByte, size_t n = 14)
{
    Bytes b = header(n, type);
    b[4] = counter;
    b[5] = muxByte;
    putU16(b, 6, 100); // A1 = 2
    putU16(b, 8, static_cast<uint16_t>(-50)); // B1 = -1
    return b;
}

TEST(WirelessLink, CalibrationWordBuildsTheScaleDivisorOncePerLink)
{
    WirelessLink link;
    link.referenceSize = 50;
    const uint8_t word[4] = {0x00, 0x00, 0x05, 0x00}; // 5 x 65536
    WirelessSample s;
    for (uint8_t c = 0; c < 4; ++c) {
        EXPECT_TRUE(std::isnan(link.ScaleDivisor()));
        s = link.Decode(spotPacket(c, word[c]));
        EXPECT_EQ(s.status, WirelessData);
    }
    EXPECT_DOUBLE_EQ(link.ScaleDivisor(), 5.0);
    link.Decode(spotPacket(8, 0xFF)); // bits 0-2 = 0 again: already taken
    EXPECT_DOUBLE_EQ(link.ScaleDivisor(), 5.0);
    EXPECT_TRUE(s.valid);
    EXPECT_NEAR(s.meanX, 0, 1e-9);
    EXPECT_NEAR(s.y0, 40 * 2000.0 / 160, 1e-9);
    EXPECT_NEAR(s.smoothedAngle, 0, 1e-9); // spot 0 above spot 1: the reference line
    EXPECT_EQ(link.SamplesPerSecond(), 50);

    // Another identity on the link: everything learnt is forgotten.
    s = link.Decode(spotPacket(0, 0, 22, kId + 1));
    EXPECT_TRUE(std::isnan(link.ScaleDivisor()));
    EXPECT_EQ(link.Identity(), kId + 1);
}

TEST(WirelessLink, AllOnesWordAndSmallSeparation)
{
    WirelessLink link;
    for (uint8_t c = 0; c < 4; ++c)
        link.Decode(spotPacket(c, 0xFF));
    EXPECT_DOUBLE_EQ(link.ScaleDivisor(), 41.91666666666667);
    WirelessSample s = link.Decode(spotPacket(4, 0));
    EXPECT_FALSE(s.valid); // no reference size yet
    EXPECT_TRUE(std::isnan(s.scale));
    link.referenceSize = 190.0;
    // Separation 1000 is above 190 / 4: valid; at reference 5000 it is below.
    s = link.Decode(spotPacket(5, 0));
    EXPECT_TRUE(s.valid);
    EXPECT_NEAR(s.scale, 190.0 / 1000.0, 1e-9);
    link.referenceSize = 5000;
    EXPECT_FALSE(link.Decode(spotPacket(6, 0)).valid);
}

TEST(WirelessLink, MalformedPacketsYieldNothingAndLeaveTheLinkAlone)
{
    WirelessLink link;
    link.Decode(spotPacket(0, 1));
    Bytes longer = header(17, 2);
    longer.push_back(0); // header says 17, 18 arrived
    EXPECT_EQ(link.Decode(longer).status, WirelessNothing);
    EXPECT_EQ(link.Decode(Bytes{}).status, WirelessNothing);
    EXPECT_EQ(link.Decode(Bytes{3, 0, 0}).status, WirelessNothing);
    EXPECT_EQ(link.Decode(Bytes(200, 0xFF)).status, WirelessNothing);
    EXPECT_EQ(link.Decode(header(21, 0)).status, WirelessNothing); // too short for amplitudes
    EXPECT_EQ(link.Decode(header(14, 9)).status, WirelessNothing); // unknown type
    EXPECT_EQ(link.DeviceType(), 0);
    EXPECT_EQ(link.Identity(), kId);
}

TEST(WirelessLink, InvertedPacketDecodesAsThePlainOne)
{
    WirelessLink a, b;
    Bytes plain = spotPacket(4, 123, 24);
    plain[22] = 8;
    plain[23] = 1;
    Bytes inverted = plain;
    inverted[0] |= 0x40;
    for (size_t i = 1; i < inverted.size(); ++i)
        inverted[i] = static_cast<uint8_t>(~inverted[i]);
    const WirelessSample x = a.Decode(plain), y = b.Decode(inverted);
    EXPECT_EQ(y.status, WirelessData);
    EXPECT_EQ(y.amplitudes, x.amplitudes);
    EXPECT_EQ(y.shotFlag, 1);
    EXPECT_DOUBLE_EQ(y.shotFraction, 8.0 / 32);
    EXPECT_EQ(b.BatteryLevel(), a.BatteryLevel());
    EXPECT_TRUE(y.hasBattery);
}

TEST(WirelessLink, StatusForms)
{
    WirelessLink link;
    Bytes st = header(6, 1, true);
    st[4] = 1;
    st[5] = 200;
    WirelessSample s = link.Decode(st);
    EXPECT_EQ(s.status, WirelessStatus3);
    EXPECT_EQ(link.BatteryLevel(), 81);
    st[4] = 0;
    EXPECT_EQ(link.Decode(st).status, WirelessStatus2);
    st[4] = 2;
    EXPECT_EQ(link.Decode(st).status, WirelessNothing);

    Bytes t8 = header(19, 8, true);
    for (int i = 0; i < 11; ++i)
        t8[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(i + 1);
    t8[15] = 60;
    putU16(t8, 16, 0xBEEF);
    t8[18] = 0x77;
    s = link.Decode(t8);
    EXPECT_EQ(s.status, WirelessStatus3);
    EXPECT_EQ(s.statusBytes[10], 11);
    EXPECT_EQ(s.statusWord, 0xBEEF);
    EXPECT_EQ(s.extraByte, 0x77);
    EXPECT_EQ(link.SamplesPerSecond(), 100);
    EXPECT_EQ(link.Decode(header(19, 7, true)).status, WirelessNothing);
}

TEST(WirelessLink, PairTypesBecomeValidOnlyOnceBothWordsArrived)
{
    WirelessLink link;
    link.referenceSize = 50;
    // Counter 0: battery; 1: level 2; 2/3: angle word 5001 (odd); 4/5: distance word 10000.
    const uint8_t mux[6] = {90, 33, 0x89, 0x13, 0x10, 0x27};
    WirelessSample s;
    for (uint8_t c = 0; c < 6; ++c) {
        s = link.Decode(pairPacket(2, c, mux[c]));
        EXPECT_EQ(s.valid, c == 5) << int(c);
    }
    EXPECT_NEAR(link.Angle(), 3.1415926535 - std::asin(0.5001), 1e-12);
    EXPECT_DOUBLE_EQ(link.DistanceFactor(), 1.0);
    EXPECT_DOUBLE_EQ(link.ScaleDivisor(), 5.0);
    EXPECT_DOUBLE_EQ(s.scale, 1.0);
    EXPECT_DOUBLE_EQ(s.a1, 2.0);
    EXPECT_DOUBLE_EQ(s.b1, -1.0);
    EXPECT_EQ(link.LevelByte2(), 33);
    s = link.Decode(pairPacket(2, 6, 40));
    EXPECT_EQ(link.LevelByte1(), 40);

    // A high byte without its low byte since the reset leaves the word unknown.
    WirelessLink fresh;
    fresh.referenceSize = 50;
    fresh.Decode(pairPacket(3, 3, 0x13));
    EXPECT_TRUE(std::isnan(fresh.Angle()));
}

TEST(WirelessLink, PairTails)
{
    WirelessLink link;
    Bytes p = pairPacket(2, 1, 0, 17);
    p[14] = 0x34;
    p[15] = 0xA5;
    p[16] = 1;
    WirelessSample s = link.Decode(p);
    EXPECT_TRUE(s.hasTrigger);
    EXPECT_EQ(s.triggerValue, 0xA34);
    EXPECT_EQ(s.shotFlag, 1);
    EXPECT_DOUBLE_EQ(s.shotFraction, 5.0 / 16);

    p = pairPacket(2, 2, 0, 16);
    p[14] = 0x83;
    p[15] = 0x21;
    s = link.Decode(p);
    EXPECT_EQ(s.triggerValue, 0x321);
    EXPECT_EQ(s.shotFlag, 0);

    link.referenceSize = 100;
    p = pairPacket(5, 3, 0, 18);
    putU32(p, 14, 251658240u);
    s = link.Decode(p);
    EXPECT_DOUBLE_EQ(s.distance32, 2.0);
    EXPECT_DOUBLE_EQ(link.DistanceFactor(), 1.0);
    EXPECT_FALSE(s.hasTrigger);
}

TEST(BatteryLevel, ByDeviceType)
{
    EXPECT_EQ(batteryState(0, 100).level, 88);
    EXPECT_EQ(batteryState(1, 200).level, 81);
    EXPECT_EQ(batteryState(1, 100).level, 0); // below empty
    EXPECT_EQ(batteryState(6, 60).level, 20);
    EXPECT_EQ(batteryState(2, 180).level, 100); // capped
    EXPECT_NEAR(batteryState(2, 180).voltage, 180 * 4.0 / 1023 * 2.18 * 3, 1e-12);
    EXPECT_TRUE(std::isnan(batteryState(9, 100).voltage));
    EXPECT_EQ(batteryState(9, 100).level, 0);
    EXPECT_EQ(batteryState(-1, 100).level, 0);
}

} // namespace
} // namespace kavro::testing
