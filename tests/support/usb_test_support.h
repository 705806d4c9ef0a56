#pragma once
// Shared pieces of the USB device tests: the fake backend installed for one test, a clock whose
// sleeps pass at once, and devices that count what their reader delivered.
#include "device/usb/usb_device.h"
#include "device/usb/usb_ids.h"
#include "usb/fakeusbbackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kavro::testing {

using Bytes = std::vector<uint8_t>;

// A sensor as the fake backend lists it, with the device descriptor it reports.
inline FakeUsbDevice sensorDevice(const std::string& path, uint16_t product, uint8_t configurations = 1)
{
    FakeUsbDevice d(path, usbids::kPlaceholderVendorId, product);
    d.descriptor = {18,
                    1,
                    0,
                    2,
                    0xFF,
                    0,
                    0,
                    64,
                    static_cast<uint8_t>(usbids::kPlaceholderVendorId),
                    static_cast<uint8_t>(usbids::kPlaceholderVendorId >> 8),
                    static_cast<uint8_t>(product),
                    static_cast<uint8_t>(product >> 8),
                    0,
                    1,
                    1,
                    2,
                    3,
                    configurations};
    return d;
}

class FakeUsbTest : public ::testing::Test {
protected:
    FakeUsbTest() { setUsbBackendForTesting(&fake); }
    ~FakeUsbTest() override { setUsbBackendForTesting(nullptr); }

    std::string plug(uint16_t product, const std::string& port, uint8_t configurations = 1)
    {
        const std::string path = "usb:1-" + port;
        fake.addDevice(sensorDevice(path, product, configurations));
        return path;
    }

    // Answers every In request of this number with `reply`.
    void answer(const std::string& path, uint8_t request, Bytes reply)
    {
        replies[path][request] = std::move(reply);
        fake.setControlHandler(path, [this, path](const UsbControlRecord& r) {
            auto& table = replies[path];
            if (r.kind == UsbControlKind::In) {
                auto it = table.find(r.request);
                if (it == table.end())
                    return FakeControlReply{USB_E_IO, {}};
                return FakeControlReply{S_OK, it->second};
            }
            return FakeControlReply{S_OK, {}};
        });
    }

    FakeUsbBackend fake;
    std::map<std::string, std::map<uint8_t, Bytes>> replies;
};

// A clock whose sleeps pass at once and move its time on: retries, back-offs and the waits of
// open sequences run instantly. Reader threads may sleep on it while the test reads it. With
// `dateStepMs` set, every reading of the local time is that much later than the one before.
class SteppingClock final : public Clock {
public:
    uint32_t tickMs() const override { return now; }
    DATE localNow() const override
    {
        const int readings = dateReadings.fetch_add(1);
        return 45000.0 + (now + static_cast<double>(readings) * dateStepMs) / 86400000.0;
    }
    bool sleep(uint32_t ms, const ManualEvent* stop) override
    {
        now += ms;
        return stop && stop->isSet();
    }
    std::atomic<uint32_t> now{0};
    uint32_t dateStepMs = 0;
    mutable std::atomic<int> dateReadings{0};
};

// A device class with the reader's deliveries counted, so a test can wait until it has them.
template <class Device> class Observed : public Device {
public:
    ~Observed() override { this->Close(); }

    void OnPacket(ByteSpan data) override
    {
        Device::OnPacket(data);
        std::lock_guard lock(m_);
        ++packets_;
        cv_.notify_all();
    }
    bool waitPackets(int count)
    {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return packets_ >= count; });
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int packets_ = 0;
};

// Waits (in real time, as a safety net) until `done` holds.
template <class Pred> bool eventually(Pred done)
{
    for (int i = 0; i < 2000; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

inline void putU16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void putU32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

inline Bytes framedPacket(uint8_t type, const Bytes& payload, uint32_t declared)
{
    Bytes b;
    b.reserve(5 + payload.size());
    b.push_back(type);
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(declared >> (8 * i)));
    for (uint8_t x : payload)
        b.push_back(x);
    return b;
}

inline Bytes framedPacket(uint8_t type, const Bytes& payload)
{
    return framedPacket(type, payload, static_cast<uint32_t>(payload.size()));
}

} // namespace kavro::testing
