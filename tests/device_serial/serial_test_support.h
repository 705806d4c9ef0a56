#pragma once
// A stand-in for the device control that serial models can run against (its events go to a
// RecordingSink), and a pty pair whose master side plays the sensor.
#include "device/model/generic_kavro.h"
#include "support/event_recorder.h"
#include "com/classregistry.h"
#include "kavrodoc.h"
#include "serial/serial_port.h"
#include "support/model_host.h"

#include <gtest/gtest.h>

#include <atomic>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace sertest {

using namespace kavro;
using devtest::RecordingSink;

// The bundled events, found by short name (the event manager reads them once per process).
inline ComPtr<IEventParams> bundledEvent(const char* shortName)
{
    qputenv("KAVRO_EVENTS_DIR", KAVRO_BIN_DIR);
    ComPtr<IEventManager> manager;
    ComPtr<IEventParams> event;
    if (FAILED(createInstance(kavrodoc::CLSID_EventManager, &manager)))
        return nullptr;
    manager->FindByShortName(QString::fromLatin1(shortName), event.put());
    return event;
}

// The stand-in control of the serial tests: every event goes to `rec`.
class TestHost final : public ModelHost {
public:
    TestHost() : ModelHost(100) { }
    HRESULT FireEvent(const std::function<HRESULT(_IKavroDeviceEvents*)>& call) override { return call(sink_.get()); }

private:
    ComPtr<RecordingSink> sink_ = RecordingSink::create();

public:
    RecordingSink& rec = *sink_; // what the model fired
};

// A pseudo-terminal: the test holds the master (the sensor's end), the model a port on the slave.
class PtyPair {
public:
    PtyPair()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slavePath = QString::fromLocal8Bit(::ptsname(master));
    }
    ~PtyPair()
    {
        if (master >= 0)
            ::close(master);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    std::unique_ptr<SerialPort> openSlave() const
    {
        auto port = std::make_unique<SerialPort>();
        if (FAILED(port->open(slavePath)))
            return nullptr;
        return port;
    }
    // Everything the host wrote so far (waits briefly for bytes in flight).
    std::vector<uint8_t> drain() const
    {
        std::vector<uint8_t> out;
        pollfd p{master, POLLIN, 0};
        while (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            uint8_t buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    void send(const uint8_t* bytes, size_t size) const
    {
        while (size > 0) {
            const ssize_t n = ::write(master, bytes, size);
            if (n <= 0)
                return;
            bytes += n;
            size -= static_cast<size_t>(n);
        }
    }

    int master = -1;
    QString slavePath;
};

// A command as the sensor receives it: code, arguments, complement of the sum.
inline std::vector<uint8_t> framed(std::vector<uint8_t> bytes)
{
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    bytes.push_back(static_cast<uint8_t>(~sum));
    return bytes;
}

inline std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace sertest
