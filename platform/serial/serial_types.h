#pragma once
// Plain values that describe a serial port: line settings, time-outs, modem lines and purge
// requests. The time-outs, modem-status bits and purge bits keep the Windows meanings and values,
// because the device code was written against them.
#include <cstdint>

namespace kavro {

enum class Parity : uint8_t { None, Odd, Even, Mark, Space };

// Why a port could not be opened, as far as the user can do something about it.
enum class PortOpenProblem : uint8_t { None, Missing, InUse, NoPermission, Other };
enum class StopBits : uint8_t { One, Two };

// The line settings a caller chooses. The port is always binary (raw), without flow control and
// without input parity checking; DTR and RTS are driven by hand (setDtr/setRts) and are left
// alone when the settings change.
struct SerialSettings {
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8; // 5..8
    StopBits stopBits = StopBits::One;
    Parity parity = Parity::None;

    bool operator==(const SerialSettings&) const = default;
};

// Read and write time-outs in milliseconds, with the Windows rules:
// - all read fields 0: a read waits until every requested byte has come;
// - ReadIntervalTimeout: once a byte has come, a gap longer than this ends the read;
// - ReadTotalTimeoutMultiplier x bytes + ReadTotalTimeoutConstant bounds the whole read;
// - interval = Max with both totals 0: return at once with what is waiting;
// - interval = Max and multiplier = Max with 0 < constant < Max: return at once with what is
//   waiting, else wait up to constant ms and return as soon as any byte comes.
// A value of Max in any other combination means "no limit" for that field.
// Write: multiplier x bytes + constant bounds a write; both 0 means no limit.
struct SerialTimeouts {
    static constexpr uint32_t Max = 0xFFFFFFFFu;

    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const SerialTimeouts&) const = default;
};

// Bits of SerialPort::modemStatus.
enum ModemStatusBits : uint32_t {
    ModemCtsOn = 0x10,
    ModemDsrOn = 0x20,
    ModemRingOn = 0x40,
    ModemRlsdOn = 0x80, // carrier detect
};

// Bits of SerialPort::purge.
enum PurgeBits : uint32_t {
    PurgeTxAbort = 0x1, // a write in progress returns at once
    PurgeRxAbort = 0x2, // a read in progress returns at once
    PurgeTxClear = 0x4, // drop bytes not yet sent
    PurgeRxClear = 0x8, // drop bytes received and not yet read
};

} // namespace kavro
