#include "device/usb/usb_device.h"
#include "device/usb/usb_requests.h"

#include <algorithm>

namespace kavro {

namespace {
constexpr int kMaxWirelessTarget = 16;
constexpr size_t kMaxWirelessPayload = 16;
constexpr uint32_t kDefaultWaitMs = 500;
constexpr uint32_t kRetryPauseMs = 50;
} // namespace

bool UsbDevice::WirelessCommand(int target, const uint8_t* payload, size_t length, uint32_t retryWindowMs,
                                uint32_t waitMs)
{
    if (target < 0 || target > kMaxWirelessTarget || length > kMaxWirelessPayload || (length && !payload))
        return false;
    // The receiver's wait travels in a 16-bit field.
    const uint32_t wait = waitMs ? std::min<uint32_t>(waitMs, 0xFFFF) : kDefaultWaitMs;
    const uint32_t first = clock_->tickMs();
    for (;;) {
        if (ControlWrite(usbreq::kWirelessCommand, static_cast<uint16_t>(wait), static_cast<uint16_t>(target), payload,
                         length))
            return true;
        if (retryWindowMs == 0 || !IsOpen())
            return false;
        clock_->sleep(kRetryPauseMs, nullptr);
        if (clock_->tickMs() - first >= retryWindowMs)
            return false;
    }
}

bool UsbDevice::WirelessQuery(int target, const uint8_t* payload, size_t length, uint8_t* answer, size_t answerLength,
                              uint32_t retryWindowMs, uint32_t waitMs)
{
    if (!WirelessCommand(target, payload, length, retryWindowMs, waitMs))
        return false;
    return ControlRequest(usbreq::kWirelessAnswer, 0, 0, answer, answerLength);
}

} // namespace kavro
