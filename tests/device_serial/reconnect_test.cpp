// A sensor that comes back after the line was lost counts as connected only once the model has
// started it again; a restart that fails leaves the reader asking for another try.
#include "simulated_sensor.h"

#include "device/model/model_factory.h"
#include "device/serial/vantage.h"

namespace sertest {
namespace {

constexpr int kCom = 233;

// The first start after the line came back fails, as when the sensor does not take the command.
class RestartOnceFailing final : public CKavroVantage {
public:
    RestartOnceFailing(DeviceHost& host, std::unique_ptr<SerialPort> port, int* starts)
        : CKavroVantage(host, std::move(port)), starts_(starts)
    {
    }
    ~RestartOnceFailing() override { Close(); }

    bool Start() override { return ++*starts_ == 2 ? false : CKavroVantage::Start(); }

private:
    int* starts_;
};

class Reconnect : public SimulatedSensorTest {
protected:
    void SetUp() override
    {
        original = models::serialModel(CKavroVantage::kModelNumber);
        models::registerSerialModel(
            CKavroVantage::kModelNumber,
            [this](DeviceHost& h, std::unique_ptr<SerialPort> p) -> std::unique_ptr<CGenericKavro> {
                return std::make_unique<RestartOnceFailing>(h, std::move(p), &starts);
            });
        startSensor(kCom, "vantage", "nosignal 300\nunplug 300\nnosignal 10000\n");
    }
    void TearDown() override
    {
        SimulatedSensorTest::TearDown();
        models::registerSerialModel(CKavroVantage::kModelNumber, original);
    }

    bool seen(const char* name) const
    {
        return std::find(sink->events.begin(), sink->events.end(), std::string(name)) != sink->events.end();
    }

    SerialModelFactory original;
    int starts = 0;
};

TEST_F(Reconnect, AFailedRestartIsTriedAgain)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_EQ(starts, 1);

    ASSERT_TRUE(devtest::pumpModelUntil(
        device.get(), [&] { return seen("Reconnected"); }, 20000))
        << testing::PrintToString(sink->events) << " starts: " << starts;
    EXPECT_EQ(starts, 3);
    // Nothing was reported for the restart that failed.
    EXPECT_EQ(std::count(sink->events.begin(), sink->events.end(), std::string("Reconnected")), 1);
    EXPECT_LT(std::find(sink->events.begin(), sink->events.end(), std::string("Disconnected")),
              std::find(sink->events.begin(), sink->events.end(), std::string("Reconnected")));
}

} // namespace
} // namespace sertest
