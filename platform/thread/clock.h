#pragma once
// The time source of every thread that waits or stamps: injectable, so that tests run in a time
// that only moves when they say.
#include "com/hresult.h"
#include "thread/manual_event.h"

#include <cstdint>

namespace kavro {

class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick count;
    // differences are taken in uint32 arithmetic.
    virtual uint32_t tickMs() const = 0;
    // The local wall-clock time with milliseconds.
    virtual DATE localNow() const = 0;
    // Sleeps `ms`; returns true at once when `stop` (may be null) is or becomes set.
    virtual bool sleep(uint32_t ms, const ManualEvent* stop) = 0;
};

// The machine's clock, shared by the whole process.
Clock& realClock();

} // namespace kavro
