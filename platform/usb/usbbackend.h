#pragma once
// Access to the sensors' USB devices: finding them by vendor/product tables, vendor control
// requests on the default pipe, and a stream of reads kept in flight on the IN pipe.
#include "usberror.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kavro {

// One row of a device class: a device with these ids belongs to the class named.
struct UsbDeviceMatch {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string className;
};
using UsbDeviceTable = std::vector<UsbDeviceMatch>;

struct UsbDeviceInfo {
    // "usb:<bus>-<port>[.<port>...]:<vid>:<pid>" (ids as four lower-case hex digits); the same
    // for a device plugged again into the same port.
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string className; // of the first table row that matched
};

// The values of the endpoint's transfer type, as the device classes know them.
enum class UsbPipeType : uint8_t { Control = 0, Isochronous = 1, Bulk = 2, Interrupt = 3 };

struct UsbPipeInfo {
    UsbPipeType type = UsbPipeType::Control;
    uint8_t endpoint = 0; // address; bit 7 set for an IN pipe
    uint16_t maximumPacketSize = 0;
    uint8_t interval = 0;
    bool isIn() const { return (endpoint & 0x80) != 0; }
};

enum class UsbReadAction { Continue, Stop };

// Called on the backend's event thread for each completed read, in completion order: S_OK and
// the bytes received, or a failure and no bytes. Continue issues the read again; Stop ends the
// whole stream (reads still in flight are cancelled and not reported). After a read that could
// not be issued again the handler is called once more with that failure and its result is
// ignored: that read is retired.
using UsbReadHandler = std::function<UsbReadAction(HRESULT status, std::span<const uint8_t> data)>;

// Time allowed for one control request, as the device classes set on the default pipe.
constexpr unsigned kUsbControlTimeoutMs = 10000;

// An open device with interface 0 claimed. Every member may be called from any thread;
// stopReading and close must not be called from this connection's own read handler (return
// UsbReadAction::Stop there instead). The destructor closes.
class UsbConnection {
public:
    virtual ~UsbConnection() = default;

    virtual const std::string& path() const = 0;
    // The device descriptor as the device sent it (18 bytes from a well-formed device).
    virtual HRESULT deviceDescriptor(std::vector<uint8_t>* out) = 0;
    // The endpoints of interface 0, alternate setting 0, in descriptor order.
    virtual HRESULT interfaceEndpoints(std::vector<UsbPipeInfo>* out) = 0;

    // Vendor requests to the device (bmRequestType 0xC0 / 0x40). `transferred` receives the
    // number of data bytes moved and may be null.
    virtual HRESULT controlIn(uint8_t request, uint16_t value, uint16_t index, std::span<uint8_t> data,
                              size_t* transferred)
        = 0;
    virtual HRESULT controlWrite(uint8_t request, uint16_t value, uint16_t index, std::span<const uint8_t> data,
                                 size_t* transferred)
        = 0;
    virtual HRESULT controlOut(uint8_t request, uint16_t value, uint16_t index) = 0;

    // Keeps `transfers` reads of `transferSize` bytes in flight on the bulk or interrupt IN
    // endpoint. Fails when a stream is already running or no read could be issued.
    virtual HRESULT startReading(uint8_t endpoint, int transfers, size_t transferSize, UsbReadHandler handler) = 0;
    // Cancels the stream and waits until every read has completed or been cancelled; no handler
    // call is running or follows once it returns.
    virtual void stopReading() = 0;
    // Clears a halt on the endpoint and its data toggle (what WinUSB calls resetting a pipe);
    // reads in flight stay.
    virtual HRESULT resetPipe(uint8_t endpoint) = 0;
    // Stops reading, releases the interface and closes the device. Later calls fail with E_HANDLE.
    virtual void close() = 0;
};

class UsbBackend {
public:
    virtual ~UsbBackend() = default;
    // The present devices that match a row of the table, in a stable order (by path).
    virtual HRESULT enumerate(const UsbDeviceTable& table, std::vector<UsbDeviceInfo>* out) = 0;
    // Opens the device with this exact path and claims interface 0; a path of no present device
    // fails with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
    virtual HRESULT open(const std::string& path, std::unique_ptr<UsbConnection>* out) = 0;
};

// The backend the device classes use: libusb, unless a test installed another.
UsbBackend& usbBackend();
// Installs `backend` (not owned) as the default; null restores libusb.
void setUsbBackendForTesting(UsbBackend* backend);

} // namespace kavro
