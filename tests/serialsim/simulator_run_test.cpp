// The simulator as the device tests meet it: a separate process on a pty, identified and started
// through the platform's serial port, its frames split and decoded as a host does.
#include "reference_decode.h"
#include "serial/serial_port.h"
#include "serialsim/biathlon_geometry.h"
#include "serialsim/command_reader.h"

#include <QDir>
#include <QFile>
#include "child_process.h"
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kavro {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class SimulatorRun : public ::testing::Test {
protected:
    void TearDown() override
    {
        port.close();
        process.stop(2000);
    }

    // Starts the simulator and opens the port on its link.
    void launch(const QStringList& options, const QByteArray& script)
    {
        ASSERT_TRUE(dir.isValid());
        QFile file(dir.filePath("script.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        link = dir.filePath("com");
        std::vector<std::string> args;
        for (const QString& o : options + QStringList{"--script", file.fileName(), "--link", link, "--print-slave"})
            args.push_back(o.toStdString());
        ASSERT_TRUE(process.start(KAVRO_BIN_DIR "/kavro-serialsim", args, true));
        std::string line;
        ASSERT_TRUE(process.readLine(&line, 3000)) << "no slave path from the simulator";
        const QString slave = QString::fromStdString(line).trimmed();
        ASSERT_TRUE(slave.startsWith("/dev/"));
        ASSERT_EQ(QFile::symLinkTarget(link), slave);
        ASSERT_EQ(port.open(link), S_OK);
    }

    void setTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant)
    {
        SerialTimeouts t;
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.ReadTotalTimeoutConstant = constant;
        ASSERT_EQ(port.setTimeouts(t), S_OK);
    }

    // The host's handshake, with shorter waits: identification speed, the lines dropped and
    // raised around a purge, then the banner read until the line falls quiet.
    test::ParsedBanner identify()
    {
        EXPECT_EQ(port.setSettings({1200, 7, StopBits::Two, Parity::None}), S_OK);
        port.setRts(false);
        port.setDtr(false);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(port.purge(PurgeRxClear), S_OK);
        port.setDtr(true);
        port.setRts(true);
        uint32_t lines = 0;
        EXPECT_EQ(port.modemStatus(&lines), S_OK);
        EXPECT_EQ(lines & (ModemCtsOn | ModemDsrOn), uint32_t(ModemCtsOn | ModemDsrOn));
        setTimeouts(150, 0, 1500);
        uint8_t buffer[282];
        uint32_t got = 0;
        EXPECT_EQ(port.read(buffer, sizeof buffer, &got), S_OK);
        return test::parseBanner(std::span(buffer, got));
    }

    void command(uint8_t code, std::vector<uint8_t> arguments)
    {
        const auto bytes = serialsim::frameCommand(code, arguments);
        uint32_t written = 0;
        ASSERT_EQ(port.write(bytes.data(), uint32_t(bytes.size()), &written), S_OK);
        ASSERT_EQ(written, bytes.size());
    }

    void openAtWorkingSpeed(uint32_t baud)
    {
        ASSERT_EQ(port.setSettings({baud, 8, StopBits::Two, Parity::None}), S_OK);
        ASSERT_EQ(port.purge(PurgeRxClear), S_OK);
    }

    void setRate(uint8_t code, int rate)
    {
        command(2, {code});
        const int period = 1250000 / rate;
        command(16, {uint8_t(period >> 8), uint8_t(period)});
    }

    // Everything that comes within `ms`, or until the line goes (*hungUp).
    QByteArray readFor(int ms, bool* hungUp = nullptr)
    {
        setTimeouts(SerialTimeouts::Max, SerialTimeouts::Max, 50);
        QByteArray all;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            char buffer[1024];
            uint32_t got = 0;
            if (FAILED(port.read(buffer, sizeof buffer, &got))) {
                if (hungUp)
                    *hungUp = true;
                break;
            }
            all.append(buffer, got);
        }
        return all;
    }

    // The host's splitter: a top-bit byte starts a frame; only whole frames count.
    static std::vector<std::vector<uint8_t>> splitFrames(const QByteArray& bytes, size_t length)
    {
        std::vector<std::vector<uint8_t>> frames;
        std::vector<uint8_t> current;
        for (char c : bytes) {
            const uint8_t b = uint8_t(c);
            if ((b & 0x80) && !current.empty())
                current.clear();
            current.push_back(b);
            if (current.size() == length) {
                frames.push_back(current);
                current.clear();
            }
        }
        return frames;
    }

    QTemporaryDir dir;
    QString link;
    ::test::ChildProcess process;
    SerialPort port;
};

TEST_F(SimulatorRun, VantageStreamsTheScriptAtTheCommandedRateAndComesBackAfterUnplugging)
{
    launch({"--model", "vantage"},
           "aim 100 -50 200 100\nshot 400\nwait 50\nunplug 200\naim -30 40 150 50\nwait 5000\n");
    const auto banner = identify();
    ASSERT_TRUE(banner.ok);
    EXPECT_EQ(banner.modelNumber, 300);
    EXPECT_EQ(banner.name, "Vantage");

    openAtWorkingSpeed(38400);
    setRate(2, 200);
    const auto started = Clock::now();
    command(13, {1, 1, 1});
    bool hungUp = false;
    const QByteArray bytes = readFor(3000, &hungUp);
    ASSERT_TRUE(hungUp) << "the unplug step did not hang the line up";
    // 31 frames at 5 ms cannot take less than 150 ms when they are paced.
    EXPECT_GE(Clock::now() - started, 150ms);

    const auto frames = splitFrames(bytes, 8);
    ASSERT_EQ(frames.size(), 31u) << "at 200/s: 20 aiming, 1 shot and 10 holding frames";
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto d = test::decodeVantage(frames[i]);
        ASSERT_TRUE(d.valid) << i;
        EXPECT_EQ(d.counter, int(i));
        EXPECT_EQ(d.signal, 200);
        EXPECT_EQ(d.piezo, i == 20 ? 400 : 0);
    }
    const auto aimed = test::decodeVantage(frames[19]);
    EXPECT_EQ(aimed.x, 100);
    EXPECT_EQ(aimed.y, -50);
    EXPECT_EQ(test::decodeVantage(frames[0]).x, 5);

    // The port reopens its path, which the link now points at the new pty.
    uint32_t lines = 0;
    const auto deadline = Clock::now() + 3s;
    while (Clock::now() < deadline && !(lines & ModemCtsOn)) {
        std::this_thread::sleep_for(20ms);
        port.modemStatus(&lines);
    }
    ASSERT_TRUE(lines & ModemCtsOn) << "the line did not come back";
    const auto again = identify();
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.modelNumber, 300);
    openAtWorkingSpeed(19200);
    setRate(1, 100);
    command(13, {1, 1, 1});
    const auto after = splitFrames(readFor(200), 8);
    ASSERT_GE(after.size(), 6u);
    const auto first = test::decodeVantage(after[0]);
    EXPECT_TRUE(first.valid);
    EXPECT_EQ(first.x, 74); // at 100/s the 50 ms path has 5 frames: a fifth of the way
    EXPECT_EQ(first.y, -32);
    EXPECT_EQ(test::decodeVantage(after[4]).x, -30);
    EXPECT_EQ(test::decodeVantage(after[4]).y, 40);
    EXPECT_EQ(test::decodeVantage(after[4]).signal, 150);
}

TEST_F(SimulatorRun, ClassicObeysOnlyCommandsWithARightChecksum)
{
    launch({"--model", "classic"}, "trigger 300\naim 20 30 120 50\nshot 200\nwait 5000\n");
    const auto banner = identify();
    ASSERT_TRUE(banner.ok);
    EXPECT_EQ(banner.modelNumber, 306);
    openAtWorkingSpeed(38400);
    setRate(0, 100);

    std::vector<uint8_t> damaged = serialsim::frameCommand(13, std::vector<uint8_t>{1, 1, 1});
    damaged.back() ^= 0x10;
    uint32_t written = 0;
    ASSERT_EQ(port.write(damaged.data(), uint32_t(damaged.size()), &written), S_OK);
    EXPECT_TRUE(readFor(150).isEmpty()) << "a start with a wrong checksum was obeyed";

    command(13, {1, 1, 1});
    const auto frames = splitFrames(readFor(250), 10);
    ASSERT_GE(frames.size(), 11u);
    for (size_t i = 0; i < 11; ++i) {
        const auto d = test::decodeClassic(frames[i]);
        ASSERT_TRUE(d.valid) << i;
        EXPECT_EQ(d.counter, int(i % 16));
        EXPECT_EQ(d.trigger, 300);
        EXPECT_EQ(d.pulse, 512);
        EXPECT_EQ(d.signal, 120);
    }
    const auto shot = test::decodeClassic(frames[5]);
    EXPECT_EQ(shot.piezo, 200);
    EXPECT_EQ(shot.x, 20);
    EXPECT_EQ(shot.y, 30);

    command(13, {0, 0, 0});
    readFor(60);
    EXPECT_TRUE(readFor(100).isEmpty()) << "frames after the stop command";
}

TEST_F(SimulatorRun, BiathlonShowsTheRowSoTheHostFindsTheAim)
{
    launch({"--model", "biathlon"}, "aim 120 -40 300 50\nshot 500\nwait 5000\n");
    const auto banner = identify();
    ASSERT_TRUE(banner.ok);
    EXPECT_EQ(banner.modelNumber, 307);
    EXPECT_EQ(banner.name, "Biathlon");
    openAtWorkingSpeed(57600);
    command(8, {1, 1, 1});
    const auto frames = splitFrames(readFor(150), 28);
    ASSERT_GE(frames.size(), 6u);
    const auto aimed = test::decodeBiathlon(frames[4]);
    ASSERT_TRUE(aimed.valid);
    EXPECT_NEAR(aimed.x, 120, 2 * serialsim::BiathlonStepUnits);
    EXPECT_NEAR(aimed.y, 40, 2 * serialsim::BiathlonStepUnits); // the host's records turn it to -40 again
    EXPECT_EQ(aimed.intensity, 300);
    EXPECT_EQ(aimed.counter, 4);
    EXPECT_EQ(test::decodeBiathlon(frames[5]).words[15], 500);
}

} // namespace
} // namespace kavro
