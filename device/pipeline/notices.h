#pragma once
// The messages a device model's queue carries from its reader threads to the control thread.
#include <cstdint>

namespace kavro {

// wParam = a NoticeKind, lParam = its argument.
constexpr uint32_t kDeviceNoticeMessage = 0x7FFF;
// wParam and lParam are the model's own.
constexpr uint32_t kTargetNoticeMessage = 0x8000;
constexpr uint32_t kSensorNoticeMessage = 0x8001;

enum class NoticeKind : intptr_t {
    RecordsQueued = 1, // posted
    Disconnected = 2, // sent
    Reconnected = 3, // sent
    Timeout = 4, // posted, argument = seconds without data
};

} // namespace kavro
