#pragma once
// A stand-in for the device control that serial models can run against (its events go to a
// RecordingSink), and a pty pair whose master side plays the sensor.
#include "device/model/device_host.h"
#include "device/model/generic_kavro.h"
#include "support/event_recorder.h"
#include "com/classregistry.h"
#include "kavrodoc.h"
#include "serial/serial_port.h"
#include "thread/pumped_control_queue.h"

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

// Settings as a trainer would leave them; fields are public so a test can change one.
class TestHost final : public DeviceHost {
public:
    TestHost() { SetSampleRate(100); }
    ComPtr<IEventParams> Event(int32_t) const override { return event; }
    enumTargetType TargetType(int32_t) const override { return targetType; }
    int32_t PiezoSensitivity(int32_t) const override { return 30; }
    float MaxTimeBeforeShot(int32_t) const override { return 5.0f; }
    float MaxTimeAfterShot(int32_t) const override { return maxAfterShot; }
    int32_t CorrectionX(int32_t) const override { return correctionX; }
    int32_t CorrectionY(int32_t) const override { return correctionY; }
    int32_t SubTarget(int32_t) const override { return 1; }
    enumSensorPosition SensorPosition(int32_t) const override { return position; }
    float PiezoRejectInterval(int32_t) const override { return 0.25f; }
    enumSemaphoreMode Semaphore() const override { return SemaphoreOff; }
    int32_t FiringPoint() const override { return 1; }
    float WirelessTargetDistance() const override { return 0; }
    void SetStatusText(const QString&) override { }
    void SetDeviceSerial(int32_t, const DeviceSerial&) override { }
    void SetCalibrationWanted(int32_t, bool) override { }
    void SetCorrections(int32_t, int32_t, int32_t) override { }
    HRESULT FireEvent(const std::function<HRESULT(_IKavroDeviceEvents*)>& call) override { return call(sink_.get()); }
    std::unique_ptr<ControlQueue> MakeQueue(QueueHandler handler) override
    {
        return std::make_unique<PumpedControlQueue>(std::move(handler), realClock());
    }
    Clock& clock() override { return realClock(); }

    void setCalibrationMode(bool on) { reader_.setCalibrationMode(1, on); }
    ComPtr<IEventParams> event;
    enumTargetType targetType = Target10m;
    float maxAfterShot = 1.0f;
    int32_t correctionX = 0;
    int32_t correctionY = 0;
    enumSensorPosition position = SensorBottom;

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
