#pragma once
// A USB backend for tests: devices, their control replies and their IN packets are scripted by
// the test, every control request is logged, and reads are delivered on a thread of the backend
// with the same handler rules as the libusb backend. Close every connection before destroying
// the backend.
#include "usbbackend.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace kavro {

// With data to the host, with data to the device, without data.
enum class UsbControlKind { In, Write, Out };

struct UsbControlRecord {
    UsbControlRecord() = default;
    UsbControlRecord(UsbControlKind k, uint8_t r, uint16_t v, uint16_t i, uint16_t len = 0,
                     std::vector<uint8_t> bytes = {})
        : kind(k), request(r), value(v), index(i), length(len), data(std::move(bytes))
    {
    }

    UsbControlKind kind = UsbControlKind::Out;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0; // wLength of the setup packet
    std::vector<uint8_t> data; // bytes sent (Write) or replied (In)
    bool operator==(const UsbControlRecord&) const = default;
};

struct FakeControlReply {
    HRESULT result = S_OK;
    std::vector<uint8_t> data; // for an In request; more than wLength bytes are cut off
};

using FakeControlHandler = std::function<FakeControlReply(const UsbControlRecord& request)>;

struct FakeUsbDevice {
    FakeUsbDevice() = default;
    FakeUsbDevice(std::string p, uint16_t vid, uint16_t pid, std::vector<uint8_t> desc = {})
        : path(std::move(p)), vendorId(vid), productId(pid), descriptor(std::move(desc))
    {
    }

    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::vector<uint8_t> descriptor; // returned as it is; empty: 18 bytes made from the ids
    std::vector<UsbPipeInfo> endpoints = std::vector<UsbPipeInfo>(1, UsbPipeInfo{UsbPipeType::Bulk, 0x81, 512, 0});
    HRESULT openResult = S_OK; // what open answers, e.g. E_ACCESSDENIED
};

struct FakeInEvent {
    std::chrono::milliseconds delay{0}; // after the previous event of the same timeline
    std::vector<uint8_t> data;
    HRESULT status = S_OK;
};

class FakeUsbBackend : public UsbBackend {
public:
    FakeUsbBackend();
    ~FakeUsbBackend() override;
    FakeUsbBackend(const FakeUsbBackend&) = delete;
    FakeUsbBackend& operator=(const FakeUsbBackend&) = delete;

    HRESULT enumerate(const UsbDeviceTable& table, std::vector<UsbDeviceInfo>* out) override;
    HRESULT open(const std::string& path, std::unique_ptr<UsbConnection>* out) override;

    // Plugs a device in (again: a fresh device at that path; its log and script are kept).
    void addDevice(const FakeUsbDevice& device);
    // Pending reads complete with, and every later call on open connections fails with,
    // device-not-connected; the device leaves the enumeration.
    void unplug(const std::string& path);

    // Control replies: a queued expectation whose fields (kind, request, value, index and, for
    // Write, data) equal the request answers it; otherwise the device's handler; otherwise the
    // default reply (a stall unless set), and such a request counts as unexpected.
    void expectControl(const std::string& path, const UsbControlRecord& request, const FakeControlReply& reply);
    void setControlHandler(const std::string& path, FakeControlHandler handler);
    void setDefaultControlReply(const FakeControlReply& reply);
    std::vector<UsbControlRecord> controlLog(const std::string& path) const;
    void clearControlLog(const std::string& path);
    int unexpectedControlCount(const std::string& path) const;
    size_t pendingExpectations(const std::string& path) const;
    int resetPipeCount(const std::string& path) const;

    // IN data: waits in the device's queue until a stream reads it, then goes to the handler in
    // order. A packet longer than the stream's transfer size completes as a babble (failure).
    void injectPacket(const std::string& path, std::vector<uint8_t> data);
    void injectReadError(const std::string& path, HRESULT status);
    void playTimeline(const std::string& path, const std::vector<FakeInEvent>& events);
    // Waits until every reading stream has taken all its queued data and no handler is running.
    bool waitUntilIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    struct Device;
    struct Connection;

private:
    friend struct Connection;
    struct Script {
        std::deque<std::pair<UsbControlRecord, FakeControlReply>> expected;
        FakeControlHandler handler;
        std::vector<UsbControlRecord> log;
        int unexpected = 0;
        int resets = 0;
    };
    struct Pending {
        std::chrono::steady_clock::time_point due;
        std::vector<uint8_t> data;
        HRESULT status = S_OK;
    };

    HRESULT control(Connection& c, UsbControlRecord& request, std::span<uint8_t> in);
    void queueIn(const std::string& path, std::vector<Pending> items);
    void deliverLoop();
    bool idleLocked() const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::shared_ptr<Device>> devices_;
    std::map<std::string, Script> scripts_;
    std::vector<Connection*> connections_;
    FakeControlReply defaultReply_{USB_E_IO, {}};
    Connection* delivering_ = nullptr;
    bool quit_ = false;
    std::thread thread_;
};

} // namespace kavro
