#pragma once
// The device control as the device tests drive it: its models' windows are pumped by the test on
// the given clock, and a test ends it disconnected with the environment restored.
#include "device/control/device_environment.h"
#include "device/control/kavro_device.h"
#include "device/model/generic_kavro.h"
#include "com/classregistry.h"
#include "thread/pumped_control_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace devtest {

using namespace kavro;

// Creates a control whose models get windows pumped by the test on `clock`; null on failure.
inline ComPtr<IKavroDevice> makePumpedControl(Clock& clock)
{
    setDeviceEnvironmentForTesting(&clock, [&clock](QueueHandler h) -> std::unique_ptr<ControlQueue> {
        return std::make_unique<PumpedControlQueue>(std::move(h), clock);
    });
    ComPtr<IKavroDevice> device;
    EXPECT_EQ(createInstance(kavrodev::CLSID_KavroDevice, &device), S_OK);
    return device;
}

// Advises a new sink of type `Sink` to the control's events; `cookie`, when given, receives the
// advice's cookie.
template <class Sink> ComPtr<Sink> adviseNewSink(IKavroDevice* device, uint32_t* cookie = nullptr)
{
    auto sink = Sink::create();
    uint32_t c = 0;
    EXPECT_EQ(adviseSink(device, _IKavroDeviceEvents::iid, sink->identity(), &c), S_OK);
    if (cookie)
        *cookie = c;
    return sink;
}

// Disconnects and releases the control, and restores the device environment.
inline void releaseControl(ComPtr<IKavroDevice>& device)
{
    if (device)
        device->put_Connected(VARIANT_FALSE);
    device = nullptr;
    setDeviceEnvironmentForTesting(nullptr, {});
}

// Pumps the window of the control's model until `done` holds; the limit is a safety net.
inline bool pumpModelUntil(IKavroDevice* device, const std::function<bool()>& done, int limitMs)
{
    auto& control = *static_cast<CKavroDevice*>(device);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
        if (CGenericKavro* m = control.model())
            static_cast<PumpedControlQueue*>(m->Queue())->pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace devtest
