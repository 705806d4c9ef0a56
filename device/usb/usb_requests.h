#pragma once
// Vendor request numbers and wireless command bytes of the sensors and targets. The same number
// means different things on different devices, so each name says which device it is for.
#include <cstdint>

namespace kavro::usbreq {

// Optical sensor.
constexpr uint8_t kOpticalVersion = 144; // in, 4 bytes
constexpr uint8_t kSerialNumber = 139; // in, 8 bytes (optical sensor, wired target)
constexpr uint8_t kOpticalCalibration = 134; // in, 20 bytes
constexpr uint8_t kOpticalShotThreshold = 133; // out
constexpr uint8_t kOpticalSubTarget = 132; // out
constexpr uint8_t kOpticalStart = 141; // out
constexpr uint8_t kOpticalStop = 142; // out

// Wired target controller.
constexpr uint8_t kTargetVersion = 152; // in, 4 bytes
constexpr uint8_t kTargetLights = 129; // out: value mask 1, index mask 2
constexpr uint8_t kStart = 131; // out (wired target, trigger, pulse sensor)
constexpr uint8_t kStop = 132; // out, value 0 (wired target, trigger, pulse sensor)
constexpr uint8_t kTargetFace = 135; // out
constexpr uint8_t kTargetSignalSettings = 136; // out: value setting 1, index setting 2
constexpr uint8_t kTargetState = 138; // in, 16 bytes

// Wireless receiver.
constexpr uint8_t kReceiverSerialNumber = 129; // in, 8 bytes
constexpr uint8_t kReceiverTargets = 130; // in, 16 bytes
constexpr uint8_t kReceiverMode = 144; // out
constexpr uint8_t kWirelessCommand = 240; // write: value wait, index target number
constexpr uint8_t kWirelessAnswer = 241; // in

// Home wireless target.
constexpr uint8_t kHomeVersion = 134; // in, 4 bytes
constexpr uint8_t kHomeSerialNumber = 129; // in, 8 bytes
constexpr uint8_t kHomeTargetState = 173; // in, 16 bytes
constexpr uint8_t kHomeMode = 144;
constexpr uint8_t kHomeReset = 145;
constexpr uint8_t kHomeLightMasks = 160;
constexpr uint8_t kHomeLedLevel = 162;
constexpr uint8_t kHomeLampLevel = 163;
constexpr uint8_t kHomeSwitch1 = 166;
constexpr uint8_t kHomeSwitch3 = 167;
constexpr uint8_t kHomeIndexedSetting1 = 168;
constexpr uint8_t kHomeIndexedSetting2 = 169;
constexpr uint8_t kHomeSwitch2 = 172;
constexpr uint16_t kHomeModeIndex = 2500;

// Pulse sensor.
constexpr uint8_t kPulseVersion = 133; // in, 4 bytes

// Wireless target commands (first payload byte).
constexpr uint8_t kCmdTargetFace = 0x40;
constexpr uint8_t kCmdLightMasks = 0x32;
constexpr uint8_t kCmdLedLevel = 0x33;
constexpr uint8_t kCmdLampLevel = 0x34;
constexpr uint8_t kCmdSignalSettings = 0x50;
constexpr uint8_t kCmdSelectTarget = 0x25;
constexpr uint8_t kCmdStopAll = 0x12;
constexpr uint8_t kCmdStartWired = 0x15;
constexpr uint8_t kCmdStartWireless = 0x16;
constexpr uint8_t kCmdReadDescriptor = 0x20; // answer 17 bytes
constexpr uint8_t kCmdReadSettings = 0x21; // answer 10 bytes

// How long a wireless target command is retried and how long the receiver waits for the target,
// both in milliseconds; a retry window of 0 is one try.
struct WirelessTiming {
    uint32_t retryMs;
    uint32_t waitMs;
};
constexpr WirelessTiming wirelessTiming(uint8_t command)
{
    switch (command) {
    case kCmdTargetFace: return {500, 20000};
    case kCmdLedLevel:
    case kCmdLampLevel: return {500, 500};
    case kCmdSignalSettings: return {1000, 20000};
    case kCmdSelectTarget: return {0, 500}; // the result is ignored: no retry
    default: return {500, 250}; // light masks, stop all, start, descriptor, settings
    }
}
// Stop all goes to every target at once.
constexpr int kAllTargets = 0;

} // namespace kavro::usbreq
