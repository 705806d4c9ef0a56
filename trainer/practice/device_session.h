#pragma once
// The device of a running practice: made, kept connected while the practice runs, its events
// advised to the practice, when its sensor last saw a signal, and the commands that go to it
// straight.
#include "kavro_hints.h"
#include "kavrodev.h"
#include "target_kind.h"

#include <functional>
#include <optional>

class DeviceSession {
public:
    // A new device object, not yet connected; null when none can be made.
    static ComPtr<IKavroDevice> createDevice();
    // Makes the device objects from now on (tests put a stand-in in place); empty: the real one.
    static void setDeviceFactory(std::function<ComPtr<IKavroDevice>()> factory);

    // Keeps the connected device; its events go to `sink` from startEvents on.
    void begin(ComPtr<IKavroDevice> device, ComPtr<IUnknown> sink);
    // Advises the sink and counts the sensor's signal as seen now.
    void startEvents();
    // Unadvises, disconnects and releases the device.
    void end();
    void AdviseDeviceSink();
    void UnadviseDeviceSink();

    bool hasDevice() const { return device_ != nullptr; }
    ComPtr<IKavroDevice> device() const { return device_; }
    bool IsDeviceConnected();
    // A practice kind the trainer times, on a device that leaves the timing to it.
    bool timedPractice(TargetKind::Kind kind);

    // The sensor's level now: above 100 it counts as a signal.
    void noteSignalLevel();
    // A sensor saw a signal within the last second.
    bool signalSeenLately() const;
    uint32_t* activityTick() { return &lastSignalTime_; }

    void OnResetHardware();
    // Ctrl+Q on the trace view: the device adds a shot as if the sensor had fired.
    void addShotByHand();
    void concludeCurrentAiming();
    // Adds the view's shift to the device's correction: the new totals, none without a device.
    std::optional<KavroHint::ShiftArgs> correctShift(const KavroHint::ShiftArgs& shift);

private:
    ComPtr<IKavroDevice> device_;
    ComPtr<IUnknown> sink_;
    uint32_t sinkCookie_ = 0;
    bool sinkAdvised_ = false;
    uint32_t lastSignalTime_ = 0;
};
