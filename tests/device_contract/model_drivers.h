#pragma once
// What the contract test needs to reach each registered device model: the serial models through
// the pty simulator, the USB models through the fake USB backend scripted as their hardware.
#include "device/model/model_factory.h"
#include "kavrodev.h"
#include "thread/clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace contract {

using namespace kavro;

struct ModelId {
    bool serial = false;
    int32_t number = 0; // serial models
    UsbDeviceClass usbClass = UsbDeviceClass::Optical; // USB models

    std::string name() const;
    friend void PrintTo(const ModelId& id, std::ostream* os) { *os << id.name(); }
};

// Every model the factory holds, serial ones first.
std::vector<ModelId> registeredModels();

class ModelDriver {
public:
    virtual ~ModelDriver() = default;

    // The clock the control and the model run on.
    virtual Clock& clock() = 0;
    // Starts the simulator or scripts the fake, and points the control at it with an event.
    virtual ::testing::AssertionResult prepare(IKavroDevice& device) = 0;
    // Sends one aiming with one shot, followed by enough without signal to end it.
    virtual void play() = 0;
    // The device goes on sending after the control let it go.
    virtual void keepSending() = 0;
    // The number the control reports as its model version once connected.
    virtual int32_t modelVersion() const = 0;
};

// Null when the test knows no way to that model.
std::unique_ptr<ModelDriver> driverFor(const ModelId& id);

} // namespace contract
