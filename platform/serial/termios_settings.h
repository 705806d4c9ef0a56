#pragma once
// SerialSettings <-> termios. The only place that knows the termios flag and speed encodings.
#include "com/hresult.h"
#include "serial/serial_types.h"

#include <termios.h>

namespace kavro {

// Binary mode: no echo, no line editing, no character translation, no flow control, no input
// parity checking, receiver on, modem control lines ignored for open/read (CLOCAL). Reads never
// wait in the driver (VMIN = VTIME = 0): waiting is done with poll.
void makeRaw(termios* t);

// E_INVALIDARG for a baud rate without a termios speed or data bits outside 5..8.
HRESULT applySettings(termios* t, const SerialSettings& settings);

SerialSettings readSettings(const termios& t);

// Whether the device took the settings. A pseudo-terminal always runs 8 data bits without parity,
// so `ptyRules` compares only speed and stop bits.
bool settingsTook(const termios& wanted, const termios& actual, bool ptyRules);

} // namespace kavro
