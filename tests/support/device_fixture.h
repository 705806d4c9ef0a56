#pragma once
// A device control on a hand-pumped window and a virtual clock, a fake model that the control
// finds through the model table; the events go to a RecordingSink.
#include "support/device_control.h"
#include "support/event_recorder.h"
#include "device/control/kavro_device.h"
#include "device/model/generic_kavro.h"
#include "device/model/model_factory.h"
#include "com/classregistry.h"
#include "thread/pumped_control_queue.h"
#include "thread/virtual_clock.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

namespace devtest {

using namespace kavro;

// Signal above 0 starts or continues an aiming, signal 0 ends it, piezo above 0 is a shot.
class FakeModel final : public CGenericKavro {
public:
    explicit FakeModel(DeviceHost& host, std::unique_ptr<SerialPort> port = nullptr)
        : CGenericKavro(host, std::move(port))
    {
    }
    ~FakeModel() override { Close(); }

    int32_t CounterModulus() override { return modulus; }
    void SetPiezoSensitivity(int32_t n, int32_t v) override
    {
        log.push_back("SetPiezoSensitivity " + std::to_string(n) + " " + std::to_string(v));
    }
    int32_t GetPiezoSensitivity(int32_t) override { return 0; }
    int32_t SignalLevel(int32_t) override { return lastSignal; }
    int32_t PiezoLevel(int32_t) override { return 7; }
    bool SetSubTarget(int32_t n, int32_t v) override
    {
        log.push_back("SetSubTarget " + std::to_string(n) + " " + std::to_string(v));
        return true;
    }
    bool HasSemaphore() override { return semaphore; }
    bool SetSemaphore(int32_t mode) override
    {
        log.push_back("SetSemaphore " + std::to_string(mode));
        return true;
    }
    bool Start() override
    {
        log.push_back("Start");
        return startSucceeds;
    }
    void Stop() override { log.push_back("Stop"); }
    void Data(float (&v)[9]) override
    {
        v[0] = 1.5f;
        v[8] = 9.0f;
    }
    bool GetValue(int32_t index, Variant* out) override
    {
        if (index != 0)
            return false;
        *out = Variant(int32_t{42});
        return true;
    }
    void CorrectionChanged() override { log.push_back("CorrectionChanged"); }

    bool OnSample(const SampleRecord& r) override
    {
        lastSignal = r.signalLevel();
        if (!aiming) {
            if (r.signalLevel() <= 0) {
                if (std::exchange(finalPending, false))
                    FireFinalConcludeAiming(1);
                return true;
            }
            if (FAILED(NewAiming(&aiming)))
                return false;
            FireStartAiming(1, aiming.get());
        }
        if (r.signalLevel() <= 0) {
            FlushCoordinates();
            FireConcludeAiming(1, aiming.get());
            aiming = nullptr;
            finalPending = true;
            return true;
        }
        ++pending;
        if (r.piezoLevel() > 0) {
            FlushCoordinates();
            ComPtr<IShot> shot;
            aiming->AddShot(VARIANT_FALSE, shot.put());
            FireShot(1, aiming.get(), shot.get());
        }
        return true;
    }
    void FlushCoordinates() override
    {
        if (aiming && pending > 0)
            FireNewCoordinates(1, aiming.get(), std::exchange(pending, 0));
    }

    using CGenericKavro::pipeline;
    // Lets a test stand in for the reader thread.
    void reportStatus(const QString& text) { host().SetStatusText(text); }
    void fixRate(int32_t rate) { host().SetSampleRate(rate); }

    int32_t modulus = 32;
    bool semaphore = false;
    bool startSucceeds = true;
    int32_t lastSignal = 0;
    std::vector<std::string> log;

private:
    ComPtr<IAiming> aiming;
    int32_t pending = 0;
    bool finalPending = false;
};

// How many batches a reader's packets make depends on when the window is pumped: each run of
// NewCoordinates and Trigger events of sub-device 1 is folded into one of each, counts added up.
inline std::vector<std::string> foldBatchEvents(const std::vector<std::string>& raw)
{
    std::vector<std::string> folded;
    int32_t points = 0, triggers = 0;
    bool anyPoints = false, anyTriggers = false;
    auto flush = [&] {
        if (anyPoints)
            folded.push_back("NewCoordinates 1 " + std::to_string(points));
        if (anyTriggers)
            folded.push_back("Trigger 1 " + std::to_string(triggers));
        points = triggers = 0;
        anyPoints = anyTriggers = false;
    };
    for (const std::string& e : raw) {
        if (e.rfind("NewCoordinates 1 ", 0) == 0) {
            points += std::stoi(e.substr(17));
            anyPoints = true;
        } else if (e.rfind("Trigger 1 ", 0) == 0) {
            triggers += std::stoi(e.substr(10));
            anyTriggers = true;
        } else {
            flush();
            folded.push_back(e);
        }
    }
    flush();
    return folded;
}

class DeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        eventsDir = new QTemporaryDir;
        qputenv("KAVRO_EVENTS_DIR", eventsDir->path().toUtf8());
    }
    static void TearDownTestSuite()
    {
        delete eventsDir;
        eventsDir = nullptr;
    }

    void SetUp() override
    {
        models::clearForTesting();
        models::registerUsbModel(UsbDeviceClass::Optical, QStringLiteral("KAVRO USB"), 500,
                                 [this](DeviceHost& host, const QString&) -> std::unique_ptr<CGenericKavro> {
                                     auto m = std::make_unique<FakeModel>(host);
                                     m->semaphore = nextHasSemaphore;
                                     m->startSucceeds = nextStartSucceeds;
                                     return m;
                                 });
        device = makePumpedControl(clock);
        ASSERT_TRUE(device);
    }

    void TearDown() override
    {
        device = nullptr;
        setDeviceEnvironmentForTesting(nullptr, {});
        models::clearForTesting();
    }

    CKavroDevice& control() { return *static_cast<CKavroDevice*>(device.get()); }
    FakeModel* model() { return static_cast<FakeModel*>(control().model()); }

    // A held event that can be shot at.
    void giveEvent(int32_t n = 1, float distance = 10.0f)
    {
        ComPtr<IEventParams> event;
        ASSERT_EQ(createInstance(kavrodoc::CLSID_EventParams, &event), S_OK);
        if (distance > 0) { // a new event has none
            ASSERT_EQ(event->put_Distance(distance), S_OK);
        }
        ASSERT_EQ(device->put_Event(n, event.get()), S_OK);
    }

    void connectUsb()
    {
        giveEvent();
        ASSERT_EQ(device->put_DevicePath(QStringLiteral("usb:fake")), S_OK);
        ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
        ASSERT_NE(model(), nullptr);
    }

    ComPtr<RecordingSink> advise(uint32_t* cookie = nullptr)
    {
        return adviseNewSink<RecordingSink>(device.get(), cookie);
    }

    static SampleRecord record(uint8_t counter, int16_t signal = 50, int16_t piezo = 0)
    {
        SampleRecord r;
        r.setCounter(counter);
        r.setSignalLevel(signal);
        r.setPiezoLevel(piezo);
        return r;
    }

    size_t pump() { return static_cast<PumpedControlQueue*>(model()->Queue())->pump(); }

    static inline VirtualClock clock{0};
    static inline QTemporaryDir* eventsDir = nullptr;
    ComPtr<IKavroDevice> device;
    bool nextHasSemaphore = false;
    bool nextStartSucceeds = true;
};

} // namespace devtest
