#pragma once
// Opening a serial device file and the small facts about it that SerialPort needs.
#include "com/hresult.h"
#include "serial/serial_types.h"

#include <QString>

namespace kavro {

// Opens an existing tty for reading and writing without making it the controlling terminal,
// non-blocking (waits are done with poll), close-on-exec, exclusively (TIOCEXCL keeps other
// programs out; an advisory flock keeps out other opens by root, whom TIOCEXCL does not stop),
// and in binary mode. A device in use gives E_ACCESSDENIED; `problem`, when given, tells it from
// a device the user has no permission for, which gives E_ACCESSDENIED too.
HRESULT openDeviceFile(const QString& path, int* fd, PortOpenProblem* problem = nullptr);

// The problem an errno of open, flock or TIOCEXCL stands for.
PortOpenProblem portOpenProblemFromErrno(int err);

// A pty slave: it has no modem lines and always runs 8 data bits without parity.
bool isPseudoTerminalSlave(int fd);

// True when the device behind fd has hung up (pty master closed, adapter unplugged).
bool deviceHasHungUp(int fd);

} // namespace kavro
