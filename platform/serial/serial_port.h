#pragma once
// A serial port over termios with the behaviour of a Windows COM handle: exclusive open, line
// settings, hand-driven DTR/RTS, modem-line reads, Windows-style read/write time-outs, purge.
//
// Threads: one thread may read while others write, change lines, read the modem status or count
// waiting bytes; close() (or PurgeRxAbort/PurgeTxAbort) wakes a read or write in progress.
//
// Pseudo-terminal mode: a pty slave has no modem lines, so CTS, DSR and RLSD read as on while the
// other end is open and as off once it has hung up. A device that has gone (pty hang-up, unplugged
// adapter) is opened again by its path when the modem status is read, so the lines come back up
// when a new device appears under the same path.
#include "com/hresult.h"
#include "serial/serial_types.h"

#include <QString>

#include <atomic>
#include <memory>

namespace kavro {

class SerialPort {
public:
    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens an existing device for reading and writing, exclusively: a second open of the same
    // device fails with E_ACCESSDENIED. The port is put into binary mode; its speed and framing
    // stay as they were until setSettings. Time-outs start all 0.
    HRESULT open(const QString& devicePath);
    // Opens "COM n" through ComPortMap::shared(); no such port is HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
    HRESULT openCom(int comNumber);
    void close();
    // Why the last open or openCom failed (None after a successful one).
    PortOpenProblem openProblem() const;

    bool isOpen() const;
    bool isPseudoTerminal() const;
    QString devicePath() const;

    HRESULT getSettings(SerialSettings* out) const;
    // E_INVALIDARG when the device does not take the settings (the old ones stay). On a
    // pseudo-terminal the data bits and parity cannot change and are not checked.
    HRESULT setSettings(const SerialSettings& settings);

    HRESULT getTimeouts(SerialTimeouts* out) const;
    HRESULT setTimeouts(const SerialTimeouts& timeouts);

    HRESULT setDtr(bool on);
    HRESULT setRts(bool on);
    // ModemStatusBits that are on. On failure *out is 0 (all lines off).
    HRESULT modemStatus(uint32_t* out);

    // Bytes received and not yet read.
    HRESULT bytesWaiting(uint32_t* out);

    // Reads up to `size` bytes under the time-outs. S_OK with fewer bytes when a time-out ended
    // the read; E_ABORT when PurgeRxAbort or close() ended it (bytes read so far are kept in
    // *bytesRead); an error when the device has gone and nothing was read.
    HRESULT read(void* buffer, uint32_t size, uint32_t* bytesRead);
    // Writes all `size` bytes unless the write time-out ends it first (S_OK, *written short).
    HRESULT write(const void* buffer, uint32_t size, uint32_t* written);

    // PurgeBits.
    HRESULT purge(uint32_t what);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kavro
