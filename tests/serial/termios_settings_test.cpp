#include "serial/termios_settings.h"

#include <gtest/gtest.h>

using namespace kavro;

TEST(TermiosSettings, EveryFramingRoundTrips)
{
    for (uint32_t baud : {1200u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
        for (uint8_t bits : {5, 6, 7, 8}) {
            for (StopBits stop : {StopBits::One, StopBits::Two}) {
                for (Parity parity : {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space}) {
                    termios t{};
                    const SerialSettings s{baud, bits, stop, parity};
                    ASSERT_EQ(applySettings(&t, s), S_OK);
                    EXPECT_EQ(readSettings(t), s);
                    EXPECT_TRUE(settingsTook(t, t, false));
                }
            }
        }
    }
}

TEST(TermiosSettings, RejectsWhatNoDeviceCanRun)
{
    termios t{};
    EXPECT_EQ(applySettings(&t, {12345, 8, StopBits::One, Parity::None}), E_INVALIDARG);
    EXPECT_EQ(applySettings(&t, {9600, 9, StopBits::One, Parity::None}), E_INVALIDARG);
    EXPECT_EQ(applySettings(&t, {9600, 4, StopBits::One, Parity::None}), E_INVALIDARG);
}

TEST(TermiosSettings, ChangingFramingKeepsOtherFlags)
{
    termios t{};
    t.c_cflag = HUPCL;
    makeRaw(&t);
    ASSERT_EQ(applySettings(&t, {38400, 7, StopBits::Two, Parity::Even}), S_OK);
    ASSERT_EQ(applySettings(&t, {19200, 8, StopBits::One, Parity::None}), S_OK);
    EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB), tcflag_t(CS8));
    EXPECT_TRUE(t.c_cflag & HUPCL);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (INPCK | IXON | IXOFF | ICRNL));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
}

TEST(TermiosSettings, PtyRulesIgnoreDataBitsAndParityOnly)
{
    termios wanted{}, actual{};
    ASSERT_EQ(applySettings(&wanted, {1200, 7, StopBits::Two, Parity::Odd}), S_OK);
    ASSERT_EQ(applySettings(&actual, {1200, 8, StopBits::Two, Parity::None}), S_OK);
    EXPECT_TRUE(settingsTook(wanted, actual, true));
    EXPECT_FALSE(settingsTook(wanted, actual, false));
    ASSERT_EQ(applySettings(&actual, {1200, 8, StopBits::One, Parity::None}), S_OK);
    EXPECT_FALSE(settingsTook(wanted, actual, true));
    ASSERT_EQ(applySettings(&actual, {9600, 8, StopBits::Two, Parity::None}), S_OK);
    EXPECT_FALSE(settingsTook(wanted, actual, true));
}
