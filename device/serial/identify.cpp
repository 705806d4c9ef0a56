#include "device/serial/identify.h"

#include "device/model/model_factory.h"
#include "device/serial/banner.h"
#include "serial/serial_port.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kavro {

namespace {

constexpr uint32_t kIdentBaud = 1200;
constexpr uint32_t kPollMs = 450;

bool lineOn(SerialPort& port, uint32_t bit)
{
    uint32_t lines = 0;
    port.modemStatus(&lines);
    return (lines & bit) != 0;
}

} // namespace

bool IdentifySerialSensor(SerialPort& port, DeviceIdentification& record, Clock& clock)
{
    SerialSettings settings;
    if (FAILED(port.getSettings(&settings)))
        return false;
    settings.baudRate = kIdentBaud;
    settings.dataBits = 7;
    settings.stopBits = StopBits::Two;
    if (FAILED(port.setSettings(settings)))
        return false;

    port.setRts(false);
    port.setDtr(false);
    clock.sleep(100, nullptr);
    port.purge(PurgeRxClear);
    port.setDtr(true);
    clock.sleep(100, nullptr);
    if (!lineOn(port, ModemDsrOn))
        return false;
    clock.sleep(100, nullptr);
    port.setRts(true);
    clock.sleep(50, nullptr);
    if (!lineOn(port, ModemCtsOn))
        return false;

    SerialTimeouts saved;
    port.getTimeouts(&saved);
    SerialTimeouts t;
    t.ReadIntervalTimeout = 250;
    t.WriteTotalTimeoutMultiplier = 10;
    t.WriteTotalTimeoutConstant = 100;
    port.setTimeouts(t);

    // The banner has come once the byte count stops growing (or the most we take is there).
    uint32_t waiting = 0;
    for (;;) {
        uint32_t lines = 0;
        port.modemStatus(&lines);
        clock.sleep(kPollMs, nullptr);
        uint32_t now = 0;
        if (FAILED(port.bytesWaiting(&now)))
            break;
        const bool settled = now == waiting;
        waiting = now;
        if (waiting >= kBannerMaxBytes || settled)
            break;
    }
    std::array<uint8_t, kBannerMaxBytes> bytes{};
    uint32_t got = 0;
    if (waiting > 0)
        port.read(bytes.data(), std::min<uint32_t>(waiting, kBannerMaxBytes), &got);
    port.setTimeouts(saved);
    if (got == 0)
        return false;
    if (!parseBanner(bytes.data(), got, record))
        return false;
    return std::memcmp(record.tag, "KVR", 4) == 0;
}

namespace {
[[maybe_unused]] const bool kIdentifierRegistered = models::registerSerialIdentifier(
    [](SerialPort& port, DeviceIdentification& record) { return IdentifySerialSensor(port, record); });
} // namespace

} // namespace kavro
