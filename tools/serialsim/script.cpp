#include "serialsim/script.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace kavro::serialsim {

namespace {

using Kind = ScriptStep::Kind;

struct Keyword {
    std::string_view word;
    Kind kind;
    const char* arguments; // t: duration in ms, x/y: coordinate, s: signal, p: piezo, v: trigger, b: rate
};

constexpr Keyword keywords[] = {
    {"wait", Kind::Wait, "t"},   {"nosignal", Kind::NoSignal, "t"}, {"aim", Kind::Aim, "xyst"},
    {"shot", Kind::Shot, "p"},   {"lose", Kind::Lose, "t"},         {"trigger", Kind::Trigger, "v"},
    {"pulse", Kind::Pulse, "b"}, {"silence", Kind::Silence, "t"},   {"unplug", Kind::Unplug, "t"},
    {"end", Kind::End, ""},
};

bool parseNumber(std::string_view token, double* out)
{
    const char* end = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), end, *out);
    return ec == std::errc() && ptr == end && std::isfinite(*out);
}

// Checks one argument against its range and stores it; an empty string means it is fine.
std::string takeArgument(char role, std::string_view token, ScriptStep* step)
{
    double value = 0;
    if (!parseNumber(token, &value))
        return "\"" + std::string(token) + "\" is not a number";
    auto whole = [&](double low, double high, const char* what, int* to) -> std::string {
        if (value != std::floor(value) || value < low || value > high) {
            std::ostringstream s;
            s << what << " must be a whole number from " << low << " to " << high;
            return s.str();
        }
        *to = int(value);
        return {};
    };
    switch (role) {
    case 't': return whole(0, 3600000, "a duration in ms", &step->ms);
    case 's': return whole(0, 1023, "a signal level", &step->value);
    case 'p': return whole(0, 1023, "a piezo level", &step->value);
    case 'v': return whole(0, 1023, "a trigger value", &step->value);
    case 'b': return whole(0, 600, "a pulse rate", &step->value);
    case 'x':
    case 'y':
        if (std::fabs(value) > 10000)
            return "a coordinate must lie within -10000..10000";
        (role == 'x' ? step->x : step->y) = value;
        return {};
    default: return "bad argument";
    }
}

std::vector<std::string_view> tokens(std::string_view line)
{
    std::vector<std::string_view> out;
    size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string_view::npos)
            break;
        const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        out.push_back(line.substr(at, end - at));
        at = end;
    }
    return out;
}

std::string parseLine(std::string_view line, ScriptStep* step, bool* empty)
{
    const auto words = tokens(line.substr(0, line.find('#')));
    *empty = words.empty();
    if (words.empty())
        return {};
    for (const Keyword& k : keywords) {
        if (k.word != words[0])
            continue;
        step->kind = k.kind;
        const std::string_view roles = k.arguments;
        if (words.size() != roles.size() + 1)
            return "\"" + std::string(k.word) + "\" takes " + std::to_string(roles.size()) + " argument(s), "
                + std::to_string(words.size() - 1) + " given";
        for (size_t i = 0; i < roles.size(); ++i)
            if (std::string problem = takeArgument(roles[i], words[i + 1], step); !problem.empty())
                return problem;
        return {};
    }
    return "unknown step \"" + std::string(words[0]) + "\"";
}

} // namespace

bool parseScript(std::string_view text, std::vector<ScriptStep>* steps, std::string* error)
{
    steps->clear();
    int number = 0;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        ++number;
        ScriptStep step;
        step.line = number;
        bool empty = false;
        if (std::string problem = parseLine(text.substr(at, end - at), &step, &empty); !problem.empty()) {
            *error = "line " + std::to_string(number) + ": " + problem;
            steps->clear();
            return false;
        }
        if (!empty)
            steps->push_back(step);
        at = end + 1;
    }
    error->clear();
    return true;
}

} // namespace kavro::serialsim
