// A sensor that comes back after the line was lost counts as connected only once the model has
// started it again; a restart that fails leaves the reader asking for another try.
#include "serial_test_support.h"

#include "child_process.h"
#include "device/model/model_factory.h"
#include "device/serial/vantage.h"
#include "support/device_control.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <thread>

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

class Reconnect : public ::testing::Test {
protected:
    void SetUp() override
    {
        original = models::serialModel(CKavroVantage::kModelNumber);
        models::registerSerialModel(
            CKavroVantage::kModelNumber,
            [this](DeviceHost& h, std::unique_ptr<SerialPort> p) -> std::unique_ptr<CGenericKavro> {
                return std::make_unique<RestartOnceFailing>(h, std::move(p), &starts);
            });
        ASSERT_TRUE(dir.isValid());
        event = bundledEvent("AR10");
        ASSERT_TRUE(event);
        const QString link = dir.filePath(QStringLiteral("com"));
        QFile script(dir.filePath(QStringLiteral("unplug.txt")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("nosignal 300\nunplug 300\nnosignal 10000\n");
        script.close();
        ASSERT_TRUE(sim.start(KAVRO_SERIALSIM,
                              {"--model", "vantage", "--link", link.toStdString(), "--script",
                               script.fileName().toStdString(), "--rate", "100"}));
        for (int i = 0; i < 200 && !QFileInfo::exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(QFileInfo::exists(link));
        qputenv("KAVRO_COM233", link.toLocal8Bit());
        device = devtest::makePumpedControl(realClock());
        ASSERT_TRUE(device);
        sink = devtest::adviseNewSink<RecordingSink>(device.get());
    }
    void TearDown() override
    {
        devtest::releaseControl(device);
        qunsetenv("KAVRO_COM233");
        sim.stop();
        models::registerSerialModel(CKavroVantage::kModelNumber, original);
    }

    bool seen(const char* name) const
    {
        return std::find(sink->events.begin(), sink->events.end(), std::string(name)) != sink->events.end();
    }

    SerialModelFactory original;
    int starts = 0;
    QTemporaryDir dir;
    ::test::ChildProcess sim;
    ComPtr<IKavroDevice> device;
    ComPtr<IEventParams> event;
    ComPtr<RecordingSink> sink;
};

TEST_F(Reconnect, AFailedRestartIsTriedAgain)
{
    ASSERT_EQ(device->put_CommPort(kCom), S_OK);
    ASSERT_EQ(device->put_SampleRate(100), S_OK);
    ASSERT_EQ(device->put_Event(1, event.get()), S_OK);
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
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
