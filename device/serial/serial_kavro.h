#pragma once
// The serial side every serial sensor model shares: port set-up at open, the reader thread that
// cuts frames and watches the line, reconnection after a fresh identification, and commands.
#include "device/model/generic_kavro.h"
#include "device/serial/command_buffer.h"
#include "thread/cthread.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>

namespace kavro {

class CSerialKavro : public CGenericKavro {
public:
    // `modelNumber` is the banner's: a sensor that comes back must still be this model.
    CSerialKavro(DeviceHost& host, std::unique_ptr<SerialPort> port, int32_t modelNumber);
    ~CSerialKavro() override;

    bool Open() override;
    void Close() override;
    int32_t StopBits() override { return 2; }

    // Command framing; commands are written from the control thread only.
    void BeginCommand(uint8_t code) { command_.BeginCommand(code); }
    bool AddByte(uint8_t b) { return command_.AddByte(b); }
    // Writes the command and its checksum, then gives the sensor 50 ms; true when all was written.
    bool SendCommand();
    bool SendCommand(uint8_t code, std::initializer_list<uint8_t> arguments);

    bool PostEvent(const SampleRecord& record) override;

protected:
    bool RestoreLine() override;
    void LineRestarted() override { connected_ = true; }
    // Binary, no flow control, 8 data bits, no parity, the model's stop bits, at `baud`; purged.
    bool SetPortSpeed(uint32_t baud);
    bool SetDtrRts();
    void PurgeReceive();
    // Milliseconds the reader waits between looks at the port.
    uint32_t PollIntervalMs() const;

private:
    class Reader;
    void ReadLoop(const ManualEvent& stop);
    bool SetUpPort();
    void StopReader();

    int32_t modelNumber_;
    CommandBuffer command_;
    std::unique_ptr<Reader> reader_;
    std::atomic<bool> connected_{false};
};

} // namespace kavro
