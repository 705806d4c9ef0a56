#pragma once
// Turns a script into what the sensor does, one sample period at a time.
#include "serialsim/script.h"

#include <vector>

namespace kavro::serialsim {

// What the sensor measures in one sample, in the units of the script.
struct SensorState {
    double x = 0;
    double y = 0;
    int signal = 0;
    int piezo = 0;
    int trigger = 0;
    int pulse = 512;
};

struct PlayerAction {
    enum class Kind { Sample, Silence, Unplug, End };
    Kind kind = Kind::Sample;
    SensorState sample; // Sample
    int ms = 0; // Silence, Unplug
};

class ScriptPlayer {
public:
    explicit ScriptPlayer(std::vector<ScriptStep> steps);

    // The next thing to do at `rate` samples per second. A Sample takes one sample period;
    // after the last step the sensor sends no-signal samples for ever; End repeats.
    PlayerAction next(int rate);
    // Plays the steps again from the first after the last (a demonstration that runs for ever).
    // Only a script that takes time loops: one of triggers and pulses alone would spin.
    void setLoop(bool loop);

private:
    SensorState sampleNow(int rate);
    void beginStep(const ScriptStep& step, int rate);
    void finishStep(const ScriptStep& step);

    std::vector<ScriptStep> steps_;
    size_t index_ = 0;
    bool loop_ = false;
    bool stepStarted_ = false;
    int stepSamples_ = 0;
    int stepDone_ = 0;
    double startX_ = 0;
    double startY_ = 0;
    SensorState state_;
    int pulseRate_ = 0; // beats per minute
    double pulsePhase_ = 0;
};

} // namespace kavro::serialsim
