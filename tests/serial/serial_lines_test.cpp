#include "port_fixture.h"

#include <QFile>
#include <QTemporaryDir>

using namespace kavro;

namespace {

class SerialPortLines : public test::PortOnPty { };

constexpr uint32_t allLines = ModemCtsOn | ModemDsrOn | ModemRlsdOn;

uint32_t lines(SerialPort& port)
{
    uint32_t bits = 0xDEAD;
    EXPECT_EQ(port.modemStatus(&bits), S_OK);
    return bits;
}

} // namespace

TEST_F(SerialPortLines, UpWhileTheOtherEndIsOpenAndDownAfterItHangsUp)
{
    EXPECT_TRUE(port.isPseudoTerminal());
    EXPECT_EQ(lines(port), allLines);
    // A pty has no lines to drive; driving them is not a failure.
    EXPECT_EQ(port.setDtr(false), S_OK);
    EXPECT_EQ(port.setRts(false), S_OK);
    EXPECT_EQ(lines(port), allLines);
    EXPECT_EQ(port.setDtr(true), S_OK);
    EXPECT_EQ(port.setRts(true), S_OK);

    master.close();
    EXPECT_EQ(lines(port), 0u);
    EXPECT_EQ(lines(port), 0u);
    setReadTimeouts(0, 0, 100);
    char c;
    uint32_t got = 7;
    EXPECT_TRUE(FAILED(port.read(&c, 1, &got)));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(FAILED(port.write("x", 1, &got)));
}

TEST(SerialPortReopen, AHungUpDeviceIsOpenedAgainByItsPath)
{
    // A simulator that restarts makes a new pty; the link the port was opened by follows it.
    QTemporaryDir dir;
    const QString link = dir.path() + QStringLiteral("/sensor");
    auto first = std::make_unique<test::PtyMaster>();
    ASSERT_TRUE(QFile::link(first->slavePath(), link));

    SerialPort port;
    ASSERT_EQ(port.open(link), S_OK);
    ASSERT_EQ(port.setSettings({19200, 8, StopBits::Two, Parity::None}), S_OK);
    EXPECT_EQ(lines(port), allLines);

    first.reset();
    EXPECT_EQ(lines(port), 0u);

    test::PtyMaster second;
    ASSERT_TRUE(second.isOpen());
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(second.slavePath(), link));
    EXPECT_EQ(lines(port), allLines);

    // The reopened device runs in binary mode with the settings set before.
    SerialSettings s;
    ASSERT_EQ(port.getSettings(&s), S_OK);
    EXPECT_EQ(s.baudRate, 19200u);
    EXPECT_EQ(s.stopBits, StopBits::Two);
    ASSERT_TRUE(second.write(QByteArray("\r\n\x03\xff", 4)));
    SerialTimeouts t;
    t.ReadTotalTimeoutConstant = 1000;
    ASSERT_EQ(port.setTimeouts(t), S_OK);
    char buffer[4];
    uint32_t got = 0;
    ASSERT_EQ(port.read(buffer, 4, &got), S_OK);
    EXPECT_EQ(QByteArray(buffer, int(got)), QByteArray("\r\n\x03\xff", 4));
    ASSERT_EQ(port.write("back", 4, &got), S_OK);
    EXPECT_EQ(second.read(4, 1000), QByteArray("back"));
}

TEST_F(SerialPortLines, ExclusiveOpenRefusesASecondOpen)
{
    SerialPort second;
    EXPECT_EQ(second.open(master.slavePath()), E_ACCESSDENIED);
    EXPECT_EQ(port.open(master.slavePath()), E_UNEXPECTED); // already open
    port.close();
    EXPECT_EQ(second.open(master.slavePath()), S_OK);
}

TEST_F(SerialPortLines, SevenDataBitsOnAPtyIsNotAnError)
{
    // The identification framing: 1200 baud, 7 data bits, two stop bits.
    ASSERT_EQ(port.setSettings({1200, 7, StopBits::Two, Parity::Even}), S_OK);
    SerialSettings s;
    ASSERT_EQ(port.getSettings(&s), S_OK);
    EXPECT_EQ(s.baudRate, 1200u);
    EXPECT_EQ(s.stopBits, StopBits::Two);
    EXPECT_EQ(s.dataBits, 8); // what the pty really runs

    // 8-bit data still passes unchanged.
    ASSERT_TRUE(master.write(QByteArray("\xC1\x7F", 2)));
    setReadTimeouts(0, 0, 1000);
    EXPECT_EQ(readPort(2), QByteArray("\xC1\x7F", 2));
}

TEST_F(SerialPortLines, EveryModelBaudRateIsTakenAndReadBack)
{
    for (uint32_t baud : {9600u, 19200u, 38400u, 57600u}) {
        ASSERT_EQ(port.setSettings({baud, 8, StopBits::Two, Parity::None}), S_OK);
        SerialSettings s;
        ASSERT_EQ(port.getSettings(&s), S_OK);
        EXPECT_EQ(s, (SerialSettings{baud, 8, StopBits::Two, Parity::None}));
    }
    // A rate no termios speed stands for is refused and the old settings stay.
    EXPECT_EQ(port.setSettings({14400, 8, StopBits::One, Parity::None}), E_INVALIDARG);
    SerialSettings s;
    ASSERT_EQ(port.getSettings(&s), S_OK);
    EXPECT_EQ(s.baudRate, 57600u);
    EXPECT_EQ(s.stopBits, StopBits::Two);
}
