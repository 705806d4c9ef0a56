#pragma once
// Turns the Windows-style time-outs of one read or write into the waits a poll loop needs.
// Kept apart from the port so the rules can be checked without a device or a clock.
#include "serial/serial_types.h"

#include <optional>

namespace kavro {

struct ReadPlan {
    bool returnAtOnce = false; // hand back what is waiting, never wait
    bool returnOnFirstBytes = false; // wait only until some bytes are there
    std::optional<uint64_t> totalMs; // limit of the whole read
    std::optional<uint32_t> intervalMs; // limit of the gap after a byte has come
};

ReadPlan planRead(const SerialTimeouts& timeouts, uint32_t size);

// Limit of a whole write, none when the write may wait without end.
std::optional<uint64_t> planWrite(const SerialTimeouts& timeouts, uint32_t size);

} // namespace kavro
