#include "sensor_session.h"

#include "serialsim/banner.h"
#include "serialsim/biathlon_geometry.h"
#include "serialsim/frames.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace kavro::serialsim {

namespace {

using namespace std::chrono_literals;

// The host raises RTS 200 ms after its purge; a sensor speaks once it sees RTS.
constexpr auto BannerDelay = 200ms;
// After a stall this long the schedule restarts instead of sending the missed frames in a burst.
constexpr auto MaxLag = 200ms;
constexpr auto IdlePoll = 50ms;

std::string bytesText(const std::vector<uint8_t>& bytes)
{
    std::string out;
    for (uint8_t b : bytes)
        out += (out.empty() ? "" : " ") + std::to_string(unsigned(b));
    return out;
}

} // namespace

SensorSession::SensorSession(const SensorModel& model, int bannerNumber, int rate, ScriptPlayer player,
                             PtyEndpoint& pty, std::function<void(const std::string&)> announce,
                             std::function<void(const std::string&)> log)
    : model_(model), bannerNumber_(bannerNumber), rate_(rate), player_(std::move(player)), pty_(pty),
      announce_(std::move(announce)), log_(std::move(log))
{
}

int SensorSession::run(const volatile std::sig_atomic_t& stop)
{
    while (!stop && !ended_ && !failed_) {
        const auto now = Clock::now();
        auto wakeAt = now + IdlePoll;
        if (streaming_)
            wakeAt = std::min(wakeAt, nextFrameAt_);
        if (bannerAt_)
            wakeAt = std::min(wakeAt, *bannerAt_);
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count();
        pollfd p{pty_.masterFd(), POLLIN | POLLPRI, 0};
        const int ready = ::poll(&p, 1, int(std::max<long long>(waitMs, 0)));
        if (ready > 0 && (p.revents & (POLLIN | POLLPRI)))
            readHost(Clock::now());
        if (bannerAt_ && Clock::now() >= *bannerAt_)
            sendBanner();
        if (streaming_ && !streamDueFrames(Clock::now(), stop))
            break;
    }
    if (droppedFrames_ > 0)
        log_(std::to_string(droppedFrames_) + " frames dropped while the host did not read");
    return failed_ ? 1 : 0;
}

void SensorSession::readHost(Clock::time_point now)
{
    uint8_t buffer[512];
    const ssize_t n = ::read(pty_.masterFd(), buffer, sizeof buffer);
    if (n <= 0)
        return;
    // In packet mode the first byte says whether data or a status change follows.
    if (buffer[0] != TIOCPKT_DATA) {
        if (buffer[0] & TIOCPKT_FLUSHREAD)
            onHostPurge(now);
        return;
    }
    for (const ReceivedCommand& command : commands_.feed({buffer + 1, size_t(n - 1)}))
        onCommand(command, now);
}

void SensorSession::onHostPurge(Clock::time_point now)
{
    // Only the identification runs the line at 1200 baud; the purges of opening the port and of
    // a rate change come at the working speed.
    if (pty_.hostSpeed() != B1200)
        return;
    log_("identification");
    streaming_ = false;
    commands_.reset();
    bannerAt_ = now + BannerDelay;
}

void SensorSession::sendBanner()
{
    bannerAt_.reset();
    BannerFields fields;
    fields.modelNumber = std::to_string(bannerNumber_);
    fields.serialNumber = "SIM" + std::to_string(bannerNumber_);
    fields.field3 = "1";
    fields.field4 = "0";
    fields.modelName = std::string(model_.name);
    const std::string banner = buildBanner(fields);
    writeAll(reinterpret_cast<const uint8_t*>(banner.data()), banner.size());
}

void SensorSession::onCommand(const ReceivedCommand& c, Clock::time_point now)
{
    const std::string text = "command " + std::to_string(c.code) + " [" + bytesText(c.arguments) + "]";
    if (!c.accepted) {
        log_("rejected " + text + ": " + c.problem);
        return;
    }
    const bool allZero = std::all_of(c.arguments.begin(), c.arguments.end(), [](uint8_t b) { return b == 0; });
    if (c.code == model_.startCommand && !(model_.stopCommand == 0 && allZero)) {
        if (!streaming_)
            nextFrameAt_ = now;
        streaming_ = true;
        log_(text + ": start");
    } else if (c.code == model_.startCommand || c.code == model_.stopCommand) {
        streaming_ = false;
        log_(text + ": stop");
    } else if (c.code == 16) {
        const unsigned period = unsigned(c.arguments[0]) << 8 | c.arguments[1];
        if (period == 0) {
            log_("rejected " + text + ": zero period");
            return;
        }
        rate_ = std::max(1, int(std::lround(1250000.0 / period)));
        nextFrameAt_ = now;
        log_(text + ": " + std::to_string(rate_) + " samples/s");
    } else {
        log_(text);
    }
}

bool SensorSession::streamDueFrames(Clock::time_point now, const volatile std::sig_atomic_t& stop)
{
    // The host back at the identification speed is about to handshake: a real sensor cannot be
    // heard there, and frames now would land in front of the banner.
    if (pty_.hostSpeed() == B1200) {
        streaming_ = false;
        return true;
    }
    if (now - nextFrameAt_ > MaxLag)
        nextFrameAt_ = now;
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate_));
    while (streaming_ && nextFrameAt_ <= now && !stop) {
        const PlayerAction action = player_.next(rate_);
        switch (action.kind) {
        case PlayerAction::Kind::Sample:
            writeFrame(action.sample);
            nextFrameAt_ += period;
            break;
        case PlayerAction::Kind::Silence:
            log_("silence " + std::to_string(action.ms) + " ms");
            nextFrameAt_ = now + std::chrono::milliseconds(action.ms);
            return true;
        case PlayerAction::Kind::Unplug: return unplug(action.ms, stop);
        case PlayerAction::Kind::End:
            log_("end of script");
            ended_ = true;
            return false;
        }
    }
    return true;
}

bool SensorSession::unplug(int ms, const volatile std::sig_atomic_t& stop)
{
    log_("unplugged for " + std::to_string(ms) + " ms");
    pty_.close();
    streaming_ = false;
    bannerAt_.reset();
    commands_.reset();
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop && Clock::now() < until)
        std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), IdlePoll));
    std::string error;
    if (!pty_.open(&error)) {
        log_("cannot plug in again: " + error);
        failed_ = true;
        return false;
    }
    announce_(pty_.slavePath());
    return true;
}

void SensorSession::writeFrame(const SensorState& s)
{
    const int x = int(std::lround(s.x)), y = int(std::lround(s.y));
    const int counter = counter_;
    counter_ = (counter_ + 1) % model_.counterModulus;
    switch (model_.frames) {
    case FrameKind::Vantage: {
        const VantageFrame f = encodeVantageFrame({x, y, s.signal, s.piezo, counter});
        writeAll(f.data(), f.size());
        break;
    }
    case FrameKind::Classic: {
        ClassicSample sample;
        static_cast<VantageSample&>(sample) = {x, y, s.signal, s.piezo, counter};
        sample.trigger = s.trigger;
        sample.pulse = s.pulse;
        const ClassicFrame f = encodeClassicFrame(sample);
        writeAll(f.data(), f.size());
        break;
    }
    case FrameKind::Biathlon: {
        BiathlonSample sample;
        // The script's y grows the way the host's records do, the opposite of the row geometry.
        sample.targets = biathlonTargetsFor(s.x, -s.y, s.signal);
        sample.piezo = s.piezo;
        sample.counter = counter;
        const BiathlonFrame f = encodeBiathlonFrame(sample);
        writeAll(f.data(), f.size());
        break;
    }
    }
}

void SensorSession::writeAll(const uint8_t* bytes, size_t size)
{
    // A line whose reader has stopped loses what is sent; the sensor does not wait for it.
    const ssize_t n = ::write(pty_.masterFd(), bytes, size);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO)
        log_(std::string("write failed: ") + std::to_string(errno));
    if (n < ssize_t(size))
        ++droppedFrames_;
}

} // namespace kavro::serialsim
