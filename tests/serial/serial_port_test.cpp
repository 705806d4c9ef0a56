#include "port_fixture.h"

#include <QTemporaryFile>

#include <chrono>
#include <thread>

using namespace kavro;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class SerialPortData : public test::PortOnPty { };

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

int msSince(Clock::time_point start)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

} // namespace

TEST_F(SerialPortData, EveryByteValuePassesUnchangedBothWays)
{
    const QByteArray bytes = allByteValues(); // CR, LF, ^C, XON/XOFF, 0xFF: no translation
    ASSERT_TRUE(master.write(bytes));
    setReadTimeouts(0, 0, 1000);
    EXPECT_EQ(readPort(256), bytes);

    uint32_t written = 0;
    ASSERT_EQ(port.write(bytes.constData(), 256, &written), S_OK);
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(master.read(256, 1000), bytes);
}

TEST_F(SerialPortData, AllZeroTimeoutsWaitForEveryByte)
{
    std::thread feeder([&] {
        master.write("ab");
        std::this_thread::sleep_for(30ms);
        master.write("cde");
    });
    EXPECT_EQ(readPort(5), QByteArray("abcde"));
    feeder.join();
}

TEST_F(SerialPortData, IntervalTimeoutReturnsWhatArrived)
{
    setReadTimeouts(40, 0, 0);
    ASSERT_TRUE(master.write("abc"));
    // Fewer bytes than asked for: the gap after "abc" ends the read.
    EXPECT_EQ(readPort(282), QByteArray("abc"));
}

TEST_F(SerialPortData, IntervalTimerStartsOnlyWithTheFirstByte)
{
    setReadTimeouts(30, 0, 0);
    std::thread feeder([&] {
        std::this_thread::sleep_for(80ms); // longer than the interval, before any byte
        master.write("late");
    });
    EXPECT_EQ(readPort(100), QByteArray("late"));
    feeder.join();
}

TEST_F(SerialPortData, TotalTimeoutWithNothingReturnsNoBytesAfterTheConstant)
{
    setReadTimeouts(0, 0, 60);
    const auto start = Clock::now();
    EXPECT_EQ(readPort(10), QByteArray());
    EXPECT_GE(msSince(start), 60);
}

TEST_F(SerialPortData, TotalTimeoutScalesWithTheSize)
{
    setReadTimeouts(0, 10, 20);
    ASSERT_TRUE(master.write("xy"));
    const auto start = Clock::now();
    EXPECT_EQ(readPort(8), QByteArray("xy")); // 8 x 10 + 20 ms
    EXPECT_GE(msSince(start), 100);
}

TEST_F(SerialPortData, MaxIntervalReturnsAtOnceWithWhatIsWaiting)
{
    setReadTimeouts(SerialTimeouts::Max, 0, 0);
    EXPECT_EQ(readPort(10), QByteArray());
    ASSERT_TRUE(master.write("12345"));
    uint32_t waiting = 0;
    for (int i = 0; i < 100 && waiting < 5; ++i) {
        ASSERT_EQ(port.bytesWaiting(&waiting), S_OK);
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_EQ(waiting, 5u);
    EXPECT_EQ(readPort(3), QByteArray("123"));
    EXPECT_EQ(readPort(10), QByteArray("45"));
}

TEST_F(SerialPortData, MaxIntervalAndMultiplierReturnOnFirstBytesOrAfterConstant)
{
    setReadTimeouts(SerialTimeouts::Max, SerialTimeouts::Max, 60);
    auto start = Clock::now();
    EXPECT_EQ(readPort(10), QByteArray());
    EXPECT_GE(msSince(start), 60);

    // Bytes that come while waiting end the read without waiting for the rest.
    setReadTimeouts(SerialTimeouts::Max, SerialTimeouts::Max, 5000);
    std::thread feeder([&] {
        std::this_thread::sleep_for(20ms);
        master.write("q");
    });
    EXPECT_EQ(readPort(10), QByteArray("q"));
    feeder.join();
}

TEST_F(SerialPortData, TimeoutsCanBeSavedAndRestored)
{
    SerialTimeouts saved;
    ASSERT_EQ(port.getTimeouts(&saved), S_OK);
    EXPECT_EQ(saved, SerialTimeouts());
    SerialTimeouts ident;
    ident.ReadIntervalTimeout = 250;
    ident.WriteTotalTimeoutMultiplier = 10;
    ident.WriteTotalTimeoutConstant = 100;
    ASSERT_EQ(port.setTimeouts(ident), S_OK);
    SerialTimeouts now;
    ASSERT_EQ(port.getTimeouts(&now), S_OK);
    EXPECT_EQ(now, ident);
    ASSERT_EQ(port.setTimeouts(saved), S_OK);
    ASSERT_EQ(port.getTimeouts(&now), S_OK);
    EXPECT_EQ(now, saved);
}

TEST_F(SerialPortData, WriteTimeoutGivesAShortWriteWhenNobodyReads)
{
    SerialTimeouts t;
    t.WriteTotalTimeoutConstant = 50;
    ASSERT_EQ(port.setTimeouts(t), S_OK);
    const QByteArray big(1 << 20, 'z'); // far more than a pty buffers
    uint32_t written = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port.write(big.constData(), uint32_t(big.size()), &written), S_OK);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, uint32_t(big.size()));
    EXPECT_GE(msSince(start), 50);
}

TEST_F(SerialPortData, BytesWaitingAndReceivePurge)
{
    ASSERT_TRUE(master.write("0123456789"));
    uint32_t waiting = 0;
    for (int i = 0; i < 100 && waiting < 10; ++i) {
        ASSERT_EQ(port.bytesWaiting(&waiting), S_OK);
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(waiting, 10u);
    ASSERT_EQ(port.purge(PurgeRxClear | PurgeRxAbort), S_OK);
    ASSERT_EQ(port.bytesWaiting(&waiting), S_OK);
    EXPECT_EQ(waiting, 0u);

    // What comes after the purge is read; what came before is gone.
    ASSERT_TRUE(master.write("new"));
    setReadTimeouts(0, 0, 1000);
    EXPECT_EQ(readPort(3), QByteArray("new"));
    EXPECT_EQ(port.purge(0x10), E_INVALIDARG);
}

TEST_F(SerialPortData, ReceiveAbortEndsAWaitingRead)
{
    // A read with no time-outs would wait for ever; the abort from another thread ends it.
    std::thread aborter([&] {
        std::this_thread::sleep_for(30ms);
        port.purge(PurgeRxAbort);
    });
    EXPECT_EQ(readPort(4, E_ABORT), QByteArray());
    aborter.join();
    // An abort with no read in progress does not end the next read.
    ASSERT_EQ(port.purge(PurgeRxAbort), S_OK);
    ASSERT_TRUE(master.write("abcd"));
    EXPECT_EQ(readPort(4), QByteArray("abcd"));
}

TEST_F(SerialPortData, CloseEndsAWaitingReadFromAnotherThread)
{
    std::thread reader([&] {
        char c;
        uint32_t got = 0;
        EXPECT_EQ(port.read(&c, 1, &got), E_ABORT);
    });
    std::this_thread::sleep_for(30ms);
    port.close();
    reader.join();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SerialPortData, ReadingWhileAnotherThreadWrites)
{
    setReadTimeouts(0, 0, 2000);
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i) {
            uint32_t written = 0;
            port.write("w", 1, &written);
            uint32_t lines = 0;
            port.modemStatus(&lines);
        }
    });
    std::thread feeder([&] { master.write(QByteArray(500, 'r')); });
    EXPECT_EQ(readPort(500), QByteArray(500, 'r'));
    writer.join();
    feeder.join();
    EXPECT_EQ(master.read(50, 1000), QByteArray(50, 'w'));
}

TEST(SerialPort, OpenFailures)
{
    SerialPort port;
    EXPECT_EQ(port.open(QStringLiteral("/nonexistent/ttyS99")), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(port.open(QString()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    QTemporaryFile notATty;
    ASSERT_TRUE(notATty.open());
    EXPECT_EQ(port.open(notATty.fileName()), E_INVALIDARG);
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPort, ClosedPortRefusesEverything)
{
    SerialPort port;
    char c = 0;
    uint32_t n = 7, bits = 7;
    SerialSettings s;
    SerialTimeouts t;
    EXPECT_EQ(port.read(&c, 1, &n), E_HANDLE);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(port.write(&c, 1, &n), E_HANDLE);
    EXPECT_EQ(port.modemStatus(&bits), E_HANDLE);
    EXPECT_EQ(bits, 0u);
    EXPECT_EQ(port.bytesWaiting(&n), E_HANDLE);
    EXPECT_EQ(port.getSettings(&s), E_HANDLE);
    EXPECT_EQ(port.setSettings(s), E_HANDLE);
    EXPECT_EQ(port.getTimeouts(&t), E_HANDLE);
    EXPECT_EQ(port.setTimeouts(t), E_HANDLE);
    EXPECT_EQ(port.setDtr(true), E_HANDLE);
    EXPECT_EQ(port.purge(PurgeRxClear), E_HANDLE);
    EXPECT_EQ(port.read(&c, 1, nullptr), E_POINTER);
}
