#pragma once
// One simulated sensor on its pseudo-terminal: answers the identification, obeys the commands
// and streams the script's samples while started.
#include "pty_endpoint.h"
#include "serialsim/command_reader.h"
#include "serialsim/models.h"
#include "serialsim/script_player.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <string>

namespace kavro::serialsim {

class SensorSession {
public:
    using Clock = std::chrono::steady_clock;

    // `announce` gets each new slave path (after a replug); `log` gets one line per event.
    SensorSession(const SensorModel& model, int bannerNumber, int rate, ScriptPlayer player, PtyEndpoint& pty,
                  std::function<void(const std::string&)> announce, std::function<void(const std::string&)> log);

    // Runs until the script ends (0), `stop` becomes non-zero (0), or the line cannot be
    // reopened after an unplug (1).
    int run(const volatile std::sig_atomic_t& stop);

private:
    void readHost(Clock::time_point now);
    void onHostPurge(Clock::time_point now);
    void onCommand(const ReceivedCommand& command, Clock::time_point now);
    void sendBanner();
    // False when the script has ended or the line could not come back.
    bool streamDueFrames(Clock::time_point now, const volatile std::sig_atomic_t& stop);
    bool unplug(int ms, const volatile std::sig_atomic_t& stop);
    void writeFrame(const SensorState& state);
    void writeAll(const uint8_t* bytes, size_t size);

    const SensorModel& model_;
    int bannerNumber_;
    int rate_;
    ScriptPlayer player_;
    PtyEndpoint& pty_;
    std::function<void(const std::string&)> announce_;
    std::function<void(const std::string&)> log_;

    CommandReader commands_;
    bool streaming_ = false;
    bool ended_ = false;
    bool failed_ = false;
    int counter_ = 0;
    Clock::time_point nextFrameAt_;
    std::optional<Clock::time_point> bannerAt_;
    unsigned long droppedFrames_ = 0;
};

} // namespace kavro::serialsim
