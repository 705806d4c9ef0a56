#pragma once
// The sensor simulator run beside a test as COM n: it plays `script` as the given model on a pty
// reached through a link in a temporary folder. A device control, its sink and the AR10 event
// go with it.
#include "child_process.h"
#include "serial_test_support.h"
#include "support/device_control.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <string>
#include <thread>

namespace sertest {

class SimulatedSensor {
public:
    ~SimulatedSensor()
    {
        if (!variable_.isEmpty())
            qunsetenv(variable_.constData());
        sim_.stop();
    }

    ::testing::AssertionResult start(int com, const char* model, const char* script)
    {
        if (!dir_.isValid())
            return ::testing::AssertionFailure() << "no temporary folder";
        const QString link = dir_.filePath(QStringLiteral("com"));
        QFile file(dir_.filePath(QStringLiteral("script.txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(script) < 0)
            return ::testing::AssertionFailure() << "cannot write the script";
        file.close();
        if (!sim_.start(KAVRO_SERIALSIM,
                        {"--model", model, "--link", link.toStdString(), "--script", file.fileName().toStdString(),
                         "--rate", "100"}))
            return ::testing::AssertionFailure() << "the simulator did not start";
        for (int i = 0; i < 200 && !QFileInfo::exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!QFileInfo::exists(link))
            return ::testing::AssertionFailure() << "the simulator made no pty";
        variable_ = "KAVRO_COM" + QByteArray::number(com);
        qputenv(variable_.constData(), link.toLocal8Bit());
        return ::testing::AssertionSuccess();
    }

private:
    QTemporaryDir dir_;
    ::test::ChildProcess sim_;
    QByteArray variable_;
};

class SimulatedSensorTest : public ::testing::Test {
protected:
    // The simulator as COM `com`, and a control (not yet connected) with a recording sink.
    void startSensor(int com, const char* model, const char* script)
    {
        com_ = com;
        event = bundledEvent("AR10");
        ASSERT_TRUE(event);
        ASSERT_TRUE(sensor.start(com, model, script));
        device = devtest::makePumpedControl(realClock());
        ASSERT_TRUE(device);
        sink = devtest::adviseNewSink<RecordingSink>(device.get());
    }
    void TearDown() override { devtest::releaseControl(device); }

    // Connects the control to the sensor at 100 samples per second, shooting AR10.
    void connect()
    {
        ASSERT_EQ(device->put_CommPort(com_), S_OK);
        ASSERT_EQ(device->put_SampleRate(100), S_OK);
        ASSERT_EQ(device->put_Event(1, event.get()), S_OK);
        ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    }

    SimulatedSensor sensor;
    ComPtr<IKavroDevice> device;
    ComPtr<IEventParams> event;
    ComPtr<RecordingSink> sink;

private:
    int com_ = 0;
};

} // namespace sertest
