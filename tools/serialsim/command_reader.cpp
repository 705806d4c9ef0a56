#include "serialsim/command_reader.h"

#include <cstdio>

namespace kavro::serialsim {

int commandArgumentCount(uint8_t code)
{
    switch (code) {
    case 6:
    case 9: return 0; // biathlon reset, stop
    case 1:
    case 2:
    case 5:
    case 21:
    case 22: return 1; // range, rate code, area, semaphores
    case 16: return 2; // sample period, high byte first
    case 8:
    case 13: return 3; // start (13 with three zeros stops)
    default: return -1;
    }
}

std::vector<uint8_t> frameCommand(uint8_t code, std::span<const uint8_t> arguments)
{
    std::vector<uint8_t> bytes{code};
    bytes.insert(bytes.end(), arguments.begin(), arguments.end());
    unsigned sum = 0;
    for (uint8_t b : bytes)
        sum += b;
    bytes.push_back(uint8_t(~sum));
    return bytes;
}

std::vector<ReceivedCommand> CommandReader::feed(std::span<const uint8_t> bytes)
{
    held_.insert(held_.end(), bytes.begin(), bytes.end());
    std::vector<ReceivedCommand> out;
    size_t at = 0;
    while (at < held_.size()) {
        const uint8_t code = held_[at];
        const int count = commandArgumentCount(code);
        if (count < 0) {
            char text[48];
            std::snprintf(text, sizeof text, "unknown command code %u", unsigned(code));
            out.push_back({false, code, {}, text});
            ++at;
            continue;
        }
        const size_t length = 2 + size_t(count);
        if (held_.size() - at < length)
            break;
        unsigned sum = 0;
        for (size_t i = 0; i + 1 < length; ++i)
            sum += held_[at + i];
        ReceivedCommand command;
        command.code = code;
        command.arguments.assign(held_.begin() + long(at) + 1, held_.begin() + long(at + length) - 1);
        if (uint8_t(~sum) == held_[at + length - 1]) {
            command.accepted = true;
            at += length;
        } else {
            command.problem = "wrong checksum";
            ++at;
        }
        out.push_back(std::move(command));
    }
    held_.erase(held_.begin(), held_.begin() + long(at));
    return out;
}

} // namespace kavro::serialsim
