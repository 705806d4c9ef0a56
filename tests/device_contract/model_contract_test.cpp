// Every model the factory holds, connected through the real device control to its simulator or
// fake, must report one aiming with one shot in the same order and let go cleanly. A model that
// registers without a driver here fails, so no model joins the table without the contract.
#include "model_drivers.h"

#include "support/device_control.h"
#include "support/device_fixture.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace contract {
namespace {

using devtest::adviseNewSink;
using devtest::makePumpedControl;
using devtest::pumpModelUntil;
using devtest::RecordingSink;
using devtest::releaseControl;

// The aiming events in order, with a run of NewCoordinates as one entry (how many batches the
// points came in is timing); triggers, pulse and the like are no part of the contract.
std::vector<std::string> aimingEvents(const std::vector<std::string>& events)
{
    static const std::string kAiming[] = {"StartAiming 1", "Shot 1", "ConcludeAiming 1", "FinalConcludeAiming 1"};
    std::vector<std::string> out;
    for (const std::string& e : events) {
        if (e.rfind("NewCoordinates 1 ", 0) == 0) {
            if (out.empty() || out.back() != "NewCoordinates")
                out.push_back("NewCoordinates");
        } else if (std::find(std::begin(kAiming), std::end(kAiming), e) != std::end(kAiming) || e == "Disconnected"
                   || e == "Reconnected" || e.rfind("Timeout", 0) == 0) {
            out.push_back(e);
        }
    }
    return out;
}

class ModelContract : public ::testing::TestWithParam<ModelId> {
protected:
    static void SetUpTestSuite() { qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR)); }

    void SetUp() override
    {
        driver = driverFor(GetParam());
        if (!driver)
            return;
        device = makePumpedControl(driver->clock());
        ASSERT_TRUE(device);
        sink = adviseNewSink<RecordingSink>(device.get());
    }

    void TearDown() override
    {
        releaseControl(device);
        driver = nullptr;
    }

    CKavroDevice& control() { return *static_cast<CKavroDevice*>(device.get()); }

    // Pumps the model's window until `done` holds; the limit is a safety net, not a timing.
    bool pumpUntil(const std::function<bool()>& done, int limitMs = 15000)
    {
        return pumpModelUntil(device.get(), done, limitMs);
    }

    std::unique_ptr<ModelDriver> driver;
    ComPtr<IKavroDevice> device;
    ComPtr<RecordingSink> sink;
};

TEST(ModelTable, HoldsTheSerialAndUsbModels)
{
    const std::vector<int32_t> serial = models::serialModelNumbers();
    EXPECT_EQ(serial, (std::vector<int32_t>{300, 302, 303, 306, 307}));
    const std::vector<UsbDeviceClass> usb = models::usbModelClasses();
    EXPECT_EQ(usb.size(), 4u);
    for (const ModelId& id : registeredModels())
        EXPECT_TRUE(driverFor(id)) << id.name() << " is registered but has no driver in the contract test";
}

TEST_P(ModelContract, OneAimingWithOneShotThenACleanDisconnect)
{
    ASSERT_TRUE(driver) << GetParam().name() << " is registered but has no driver in the contract test";
    ASSERT_TRUE(driver->prepare(*device));
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    int32_t version = 0;
    ASSERT_EQ(device->get_ModelVersion(&version), S_OK);
    EXPECT_EQ(version, driver->modelVersion());

    driver->play();
    const auto ended = [&] {
        return std::find(sink->events.begin(), sink->events.end(), "FinalConcludeAiming 1") != sink->events.end();
    };
    ASSERT_TRUE(pumpUntil(ended)) << ::testing::PrintToString(sink->events);
    // Anything the model still had queued belongs to the order too.
    pumpUntil([] { return false; }, 100);

    EXPECT_EQ(aimingEvents(sink->events),
              (std::vector<std::string>{"StartAiming 1", "NewCoordinates", "Shot 1", "NewCoordinates",
                                        "ConcludeAiming 1", "FinalConcludeAiming 1"}))
        << ::testing::PrintToString(sink->events);

    // All on one aiming, which holds the shot; scored on the event's target.
    ASSERT_NO_FATAL_FAILURE(devtest::expectOneAimingWithOneHit(*sink));
    float result = 0;
    ASSERT_EQ(sink->shots[0]->get_Result(&result), S_OK);
    EXPECT_GT(result, 0.0f);

    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    const size_t atDisconnect = sink->events.size();
    driver->keepSending();
    EXPECT_EQ(control().model(), nullptr);
    EXPECT_EQ(sink->events.size(), atDisconnect) << ::testing::PrintToString(
        std::vector<std::string>(sink->events.begin() + static_cast<long>(atDisconnect), sink->events.end()));
}

INSTANTIATE_TEST_SUITE_P(Registered, ModelContract, ::testing::ValuesIn(registeredModels()),
                         [](const ::testing::TestParamInfo<ModelId>& info) { return info.param.name(); });

} // namespace
} // namespace contract
