#pragma once
// The reader thread of one USB device. The backend completes reads on its own event thread;
// the reader takes them from there in order and calls the device on this thread, so a device
// class may send control requests from its data handlers.
#include "thread/cthread.h"
#include "usb/usbbackend.h"

#include <deque>
#include <mutex>
#include <vector>

namespace kavro {

class UsbDevice;

class UsbDeviceReader : public CThread {
public:
    // Reads kept in flight on the IN pipe.
    static constexpr int kReadsInFlight = 16;
    // Pause before a read that failed with an error worth retrying is issued again.
    static constexpr uint32_t kRetryBackoffMs = 50;

    explicit UsbDeviceReader(UsbDevice& owner) : owner_(owner) { }
    ~UsbDeviceReader() override { Stop(); }

    // Set before Start: the connection and pipe to read, the size of each read, and whether
    // reads of a framed device are bare auxiliary payloads that need their frame.
    void Prepare(UsbConnection* connection, uint8_t endpoint, size_t transferSize, bool wrapAuxiliary);

protected:
    void Run() override;

private:
    struct Completion {
        HRESULT status;
        std::vector<uint8_t> data;
    };
    bool StartStream();
    // The read-error rule: true when reading goes on.
    bool HandleReadError(HRESULT status);
    void Deliver(const std::vector<uint8_t>& data);

    UsbDevice& owner_;
    UsbConnection* connection_ = nullptr;
    uint8_t endpoint_ = 0;
    size_t transferSize_ = 0;
    bool wrapAuxiliary_ = true;

    std::mutex mutex_;
    std::deque<Completion> completions_;
    ManualEvent ready_;
};

} // namespace kavro
