#pragma once
// The base of every USB sensor and target class: opening a device found through a vendor/product
// table, vendor requests on the default pipe, and a reader thread that hands every received
// buffer to the derived class. Reads, control requests and the derived classes' events all go
// through the installed UsbBackend, so tests drive the real classes with the fake backend.
#include "device/usb/usb_device_reader.h"
#include "device/usb/usb_packets.h"
#include "thread/clock.h"
#include "usb/usbbackend.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kavro {

// True when a present device of the table has exactly this path (letter case counts).
bool DevicePathHasInterface(const std::string& path, const UsbDeviceTable& table);

// A version word read with a 4-byte request: major in the high, minor in the low 16 bits.
struct UsbFirmwareVersion {
    uint16_t major = 1;
    uint16_t minor = 1;
    static UsbFirmwareVersion fromWord(uint32_t word)
    {
        return {static_cast<uint16_t>(word >> 16), static_cast<uint16_t>(word & 0xFFFF)};
    }
};

using UsbSerialNumber = std::array<uint8_t, 8>;

class UsbDevice {
public:
    UsbDevice();
    virtual ~UsbDevice();
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    // Opens the first present device of the table that opens.
    bool OpenFirst(const UsbDeviceTable& table);
    bool Open(const std::string& path);
    // Stops the reader and frees the device; safe to call at any time, also after a failure.
    void Close();

    // Open and not failed: requests can be sent.
    bool IsOpen() const;
    // A read failed for good; the device stays allocated until Close.
    bool IsFailed() const { return failed_.load(); }
    std::string Path() const;
    std::string ErrorText() const;
    HRESULT LastError() const;
    std::vector<uint8_t> DeviceDescriptor() const;
    uint16_t ProductId() const;

    // Vendor requests; each is atomic with respect to the others on this device. ControlRequest
    // succeeds only when exactly `length` bytes came back.
    bool ControlRequest(uint8_t request, uint16_t value, uint16_t index, void* buffer, size_t length);
    bool ControlOut(uint8_t request, uint16_t value, uint16_t index);
    bool ControlWrite(uint8_t request, uint16_t value, uint16_t index, const void* buffer, size_t length);

    // A command relayed by the wireless receiver to target `target` (0..16, at most 16 payload
    // bytes, else refused without a request). A failed try is repeated every 50 ms until
    // `retryWindowMs` have passed since the first (0: one try). `waitMs` (0: 500) is how long
    // the receiver waits for the target.
    bool WirelessCommand(int target, const uint8_t* payload, size_t length, uint32_t retryWindowMs, uint32_t waitMs);
    // A command whose answer is then read with request 241.
    bool WirelessQuery(int target, const uint8_t* payload, size_t length, uint8_t* answer, size_t answerLength,
                       uint32_t retryWindowMs, uint32_t waitMs);

    // The clock for retries, back-offs and time stamps (tests install a virtual one).
    void SetClock(Clock& clock) { clock_ = &clock; }
    Clock& GetClock() const { return *clock_; }

    // Entry for every buffer the reader delivers: split into data and auxiliary packets when
    // framed, else passed on whole. Public so that decoders can be fed without a device.
    virtual void OnPacket(ByteSpan data);

protected:
    // Device-specific set-up right after open (versions, serial numbers). May set the error text.
    virtual bool Start() = 0;
    // Called by Close while the device can still take requests, when Start had succeeded.
    virtual void Stop() { }
    // A read failed with `code`. `stop` comes preset by the read-error rule (true: the device is
    // given up); a class may change it. Reader thread.
    virtual void OnError(HRESULT code, bool& stop);
    virtual void OnData(ByteSpan data);
    virtual void OnAuxData(ByteSpan data);

    void SetErrorText(std::string text);
    std::recursive_mutex& RequestLock() { return requestLock_; }

    // Read before Open by the constructors of derived classes.
    bool hasReader = true;
    bool framed = true;

private:
    friend class UsbDeviceReader;
    bool Fail(const char* text);
    bool StartReader();
    void MarkFailed(HRESULT code);
    UsbConnection* Connection() const;

    mutable std::recursive_mutex requestLock_; // serialises requests and guards the fields below
    std::unique_ptr<UsbConnection> connection_;
    std::string path_;
    std::string errorText_;
    HRESULT lastError_ = S_OK;
    std::vector<uint8_t> descriptor_;
    UsbPipeInfo inPipe_;
    bool started_ = false;
    std::atomic<bool> failed_{false};
    Clock* clock_;
    UsbDeviceReader reader_;
};

} // namespace kavro
