#pragma once
// Host commands as the sensors take them: a code byte, its argument bytes (their number is fixed
// by the code), and the bitwise complement of the 8-bit sum of all of them.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kavro::serialsim {

// Argument count of a command code, -1 for a code no sensor knows.
int commandArgumentCount(uint8_t code);

// The bytes a host sends for one command.
std::vector<uint8_t> frameCommand(uint8_t code, std::span<const uint8_t> arguments);

struct ReceivedCommand {
    bool accepted = false;
    uint8_t code = 0;
    std::vector<uint8_t> arguments;
    std::string problem; // why it was rejected
};

// Splits the byte stream into commands. A byte that is no known code, or a command whose
// checksum is wrong, is dropped alone and the scan goes on with the next byte, so one lost or
// damaged byte costs at most the command it belonged to.
class CommandReader {
public:
    std::vector<ReceivedCommand> feed(std::span<const uint8_t> bytes);
    // Drops a partial command (the line was reset).
    void reset() { held_.clear(); }

private:
    std::vector<uint8_t> held_;
};

} // namespace kavro::serialsim
