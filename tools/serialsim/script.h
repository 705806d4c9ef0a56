#pragma once
// The aiming script a simulated sensor plays; the format is described in README.txt.
#include <string>
#include <string_view>
#include <vector>

namespace kavro::serialsim {

struct ScriptStep {
    enum class Kind { Wait, NoSignal, Aim, Shot, Lose, Trigger, Pulse, Silence, Unplug, End };
    Kind kind = Kind::Wait;
    int ms = 0;
    double x = 0;
    double y = 0;
    int value = 0; // aim: signal; shot: piezo; trigger: value; pulse: beats per minute
    int line = 0;
};

// False with "line N: ..." in *error when the text is not a valid script.
bool parseScript(std::string_view text, std::vector<ScriptStep>* steps, std::string* error);

} // namespace kavro::serialsim
