#pragma once
// The read and write loops of a serial port: non-blocking I/O on the device, poll waits bounded
// by the Windows-style time-outs, and a wake-up descriptor through which another thread can end
// the wait (abort or close).
#include "com/hresult.h"
#include "serial/serial_types.h"

#include <functional>

namespace kavro {

// `aborted` is asked whenever wakeFd wakes the wait; true ends the call with E_ABORT.
HRESULT readWithTimeouts(int fd, const SerialTimeouts& timeouts, uint8_t* buffer, uint32_t size, uint32_t* got,
                         int wakeFd, const std::function<bool()>& aborted);
HRESULT writeWithTimeouts(int fd, const SerialTimeouts& timeouts, const uint8_t* buffer, uint32_t size,
                          uint32_t* written, int wakeFd, const std::function<bool()>& aborted);

} // namespace kavro
