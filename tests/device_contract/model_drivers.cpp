#include "model_drivers.h"

#include "support/image_sensor_support.h"
#include "support/usb_model_fixture.h"
#include "support/usb_test_support.h"

#include <QFile>
#include <QFileInfo>
#include "child_process.h"
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

namespace contract {
namespace {

using Bytes = std::vector<uint8_t>;

using kavro::testing::SteppingClock;

// ---- Serial models: the simulator on a pty, reached through a COM number ----

struct SerialModel {
    int32_t number;
    const char* simModel;
    const char* event;
    const char* script; // one aiming with one shot at the centre, then no signal
};

const char* kCentreShot = "nosignal 300\naim 0 0 200 200\nwait 300\nshot 400\nwait 200\nlose 100\nnosignal 3000\n";
// The middle target of the row, seen bright.
const char* kBiathlonShot = "nosignal 300\naim 0 0 300 200\nwait 300\nshot 600\nwait 200\nlose 100\nnosignal 3000\n";

const SerialModel kSerialModels[] = {
    {300, "vantage", "AR10", kCentreShot},    {302, "vantagei", "AR10", kCentreShot},
    {303, "vantages", "AR10", kCentreShot},   {306, "classic", "AR10", kCentreShot},
    {307, "biathlon", "BTLN", kBiathlonShot},
};

constexpr int32_t kCom = 232;

class SerialDriver final : public ModelDriver {
public:
    explicit SerialDriver(const SerialModel& m) : model_(m) { }
    ~SerialDriver() override
    {
        qunsetenv("KAVRO_COM232");
        sim_.stop();
    }

    Clock& clock() override { return realClock(); }
    int32_t modelVersion() const override { return model_.number; }

    ::testing::AssertionResult prepare(IKavroDevice& device) override
    {
        if (!dir_.isValid())
            return ::testing::AssertionFailure() << "no temporary folder";
        const QString link = dir_.filePath(QStringLiteral("com"));
        QFile script(dir_.filePath(QStringLiteral("aiming.txt")));
        if (!script.open(QIODevice::WriteOnly) || script.write(model_.script) < 0)
            return ::testing::AssertionFailure() << "cannot write the script";
        script.close();
        if (!sim_.start(KAVRO_SERIALSIM,
                        {"--model", model_.simModel, "--link", link.toStdString(), "--script",
                         script.fileName().toStdString(), "--rate", "100"}))
            return ::testing::AssertionFailure() << "the simulator did not start";
        for (int i = 0; i < 300 && !QFileInfo::exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!QFileInfo::exists(link))
            return ::testing::AssertionFailure() << "the simulator made no pty";
        qputenv("KAVRO_COM232", link.toLocal8Bit());
        if (device.put_CommPort(kCom) != S_OK || device.put_SampleRate(100) != S_OK
            || device.put_EventShortName(1, QString::fromLatin1(model_.event)) != S_OK)
            return ::testing::AssertionFailure() << "the control refused its settings";
        return ::testing::AssertionSuccess();
    }

    void play() override { } // the script runs once the sensor streams
    void keepSending() override { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }

private:
    SerialModel model_;
    QTemporaryDir dir_;
    ::test::ChildProcess sim_;
};

// ---- USB models: the fake backend answering as the hardware ----

class FakeUsbDriver : public ModelDriver {
public:
    FakeUsbDriver()
    {
        qputenv("KAVRO_CONFIG_HOME", config_.path().toUtf8()); // no calibration or option of the user's
        setUsbBackendForTesting(&fake_);
    }
    ~FakeUsbDriver() override
    {
        setUsbBackendForTesting(nullptr);
        qunsetenv("KAVRO_CONFIG_HOME");
    }

    void keepSending() override
    {
        play();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

protected:
    void plug(const std::string& path, uint16_t product, std::map<uint8_t, Bytes> answers)
    {
        fake_.addDevice(kavro::testing::sensorDevice(path, product));
        replies_[path] = std::move(answers);
        fake_.setControlHandler(path, [this, path](const UsbControlRecord& r) {
            if (r.kind != UsbControlKind::In)
                return FakeControlReply{S_OK, {}};
            const auto& table = replies_[path];
            const auto it = table.find(r.request);
            return it == table.end() ? FakeControlReply{USB_E_IO, {}} : FakeControlReply{S_OK, it->second};
        });
    }

    static ::testing::AssertionResult point(IKavroDevice& device, const std::string& path, const char* event)
    {
        if (device.put_EventShortName(1, QString::fromLatin1(event)) != S_OK
            || device.put_DevicePath(QString::fromStdString(path)) != S_OK)
            return ::testing::AssertionFailure() << "the control refused its settings";
        return ::testing::AssertionSuccess();
    }

    QTemporaryDir config_;
    FakeUsbBackend fake_;
    std::map<std::string, std::map<uint8_t, Bytes>> replies_;
};

// The optical sensor with the wired target: warm-up, a held aim, a shot, the follow-through, dark.
class OpticalDriver final : public FakeUsbDriver {
public:
    Clock& clock() override { return clock_; }
    int32_t modelVersion() const override { return 500; }

    ::testing::AssertionResult prepare(IKavroDevice& device) override
    {
        Bytes calibration(20, 0);
        for (size_t i = 0; i < 4; ++i)
            usbtest::putU32(calibration, i * 4, 0x10000); // gains 1.0
        usbtest::putU32(calibration, 16, 0x20000); // scale divisor 2.0
        Bytes targetState(16, 0);
        targetState[0] = 1; // connected
        targetState[2] = 7;
        plug(kOptical, usbids::kOpticalSensorProductId,
             {{144, {1, 0, 1, 0}}, {139, {1, 2, 3, 4, 5, 6, 7, 8}}, {134, calibration}});
        plug(kTarget, usbids::kWiredTargetProductId,
             {{152, {1, 0, 1, 0}}, {139, {9, 9, 9, 9, 9, 9, 9, 9}}, {138, targetState}});
        return point(device, kOptical, "AR10");
    }

    void play() override
    {
        std::vector<Bytes> items(20, usbtest::opticalItem(1.5, -0.9));
        items.push_back(usbtest::opticalItem(1.5, -0.9, 160 * 200, 100));
        items.insert(items.end(), 12, usbtest::opticalItem(1.5, -0.9));
        items.insert(items.end(), 3, usbtest::opticalItem(0, 0, 0, -1, true));
        for (size_t i = 0; i < items.size(); i += 5) {
            Bytes packet;
            for (size_t j = i; j < std::min(items.size(), i + 5); ++j)
                packet.insert(packet.end(), items[j].begin(), items[j].end());
            fake_.injectPacket(kOptical, packet);
        }
    }

private:
    static constexpr const char* kOptical = "usb:1-1";
    static constexpr const char* kTarget = "usb:1-2";
    VirtualClock clock_{0};
};

// A wireless target's pair packets (type 2): counters 0-5 bring battery, level, angle and
// distance words; then the aim held near the centre, a shot, and the aim far off the form.
class PairPackets {
public:
    Bytes next(int16_t a, int16_t b, uint8_t shotFlag = 0)
    {
        static const uint8_t kMultiplexed[7] = {90, 33, 0x89, 0x13, 0x10, 0x27, 20};
        Bytes p(shotFlag ? 16 : 14, 0);
        p[0] = static_cast<uint8_t>(p.size());
        p[1] = 2;
        p[2] = 0x34;
        p[3] = 0x12;
        p[4] = counter_;
        p[5] = counter_ < 7 ? kMultiplexed[counter_] : 20;
        for (size_t at : {6u, 10u}) {
            p[at] = static_cast<uint8_t>(a);
            p[at + 1] = static_cast<uint8_t>(a >> 8);
            p[at + 2] = static_cast<uint8_t>(b);
            p[at + 3] = static_cast<uint8_t>(b >> 8);
        }
        if (shotFlag) {
            p[14] = 4; // the sub-slot: the first of the two samples
            p[15] = shotFlag;
        }
        counter_ = static_cast<uint8_t>((counter_ + 1) % 100);
        return p;
    }

    std::vector<Bytes> oneShotAiming()
    {
        std::vector<Bytes> out;
        for (int i = 0; i < 16; ++i)
            out.push_back(next(100, -50));
        out.push_back(next(100, -50, 120));
        for (int i = 0; i < 6; ++i)
            out.push_back(next(100, -50));
        for (int i = 0; i < 3; ++i)
            out.push_back(next(30000, 30000)); // far outside the form: no signal
        return out;
    }

private:
    uint8_t counter_ = 0;
};

// The home wireless target relays the packets itself, framed as its data.
class HomeWirelessDriver final : public FakeUsbDriver {
public:
    Clock& clock() override { return clock_; }
    int32_t modelVersion() const override { return 500; }

    ::testing::AssertionResult prepare(IKavroDevice& device) override
    {
        plug(kHome, usbids::kHomeTargetProductId,
             {{134, {1, 0, 1, 0}}, {129, {4, 4, 4, 4, 4, 4, 4, 4}}, {173, Bytes(16, 0)}});
        return point(device, kHome, "AR10");
    }

    void play() override
    {
        for (const Bytes& p : packets_.oneShotAiming()) {
            Bytes run{static_cast<uint8_t>(p.size() + 2), kPacketData};
            run.insert(run.end(), p.begin(), p.end());
            Bytes framed{kPacketData, static_cast<uint8_t>(run.size()), 0, 0, 0};
            framed.insert(framed.end(), run.begin(), run.end());
            fake_.injectPacket(kHome, framed);
        }
    }

private:
    static constexpr const char* kHome = "usb:1-3";
    SteppingClock clock_;
    PairPackets packets_;
};

// The wireless receiver: one target found on the link, its descriptor and settings answered
// through the receiver's command and answer requests, packets relayed as auxiliary records.
class WirelessDriver final : public FakeUsbDriver {
public:
    Clock& clock() override { return clock_; }
    int32_t modelVersion() const override { return 500; }

    ::testing::AssertionResult prepare(IKavroDevice& device) override
    {
        Bytes targets(16, 0);
        targets[0] = 1;
        plug(kReceiver, usbids::kWirelessReceiverProductId,
             {{129, {5, 5, 5, 5, 5, 5, 5, 5}}, {130, targets}, {241, Bytes(17, 0)}});
        return point(device, kReceiver, "AR10");
    }

    void play() override
    {
        for (const Bytes& p : packets_.oneShotAiming()) {
            Bytes record{static_cast<uint8_t>(p.size() + 2), kPacketAux};
            record.insert(record.end(), p.begin(), p.end());
            fake_.injectPacket(kReceiver, record);
        }
    }

private:
    static constexpr const char* kReceiver = "usb:1-4";
    SteppingClock clock_;
    PairPackets packets_;
};

// The image sensor: the camera's answers and status packets. A shot is reported with the status
// after its position; the aiming ends with the time kept after the shot.
class ImageSensorDriver final : public FakeUsbDriver {
public:
    Clock& clock() override { return clock_; }
    int32_t modelVersion() const override { return 600; }

    ::testing::AssertionResult prepare(IKavroDevice& device) override
    {
        const kavro::testing::CameraScript s;
        Bytes version(4), protocol(4), state(2), length(2);
        kavro::testing::putU16(version, 0, s.firmware);
        kavro::testing::putU16(version, 2, s.hardware);
        kavro::testing::putU16(protocol, 0, s.protocolMajor);
        kavro::testing::putU16(protocol, 2, s.protocolMinor);
        kavro::testing::putU16(state, 0, s.state);
        kavro::testing::putU16(length, 0, static_cast<uint16_t>(s.flash.size()));
        plug(kCamera, usbids::kImageSensorProductId,
             {{68, version}, {64, s.serial}, {69, protocol}, {208, state}, {162, length}, {163, s.flash}});
        return point(device, kCamera, "AR10");
    }

    void play() override
    {
        using kavro::testing::Status;
        std::vector<Status> statuses(8);
        Status shot;
        shot.marker = 4;
        shot.shotLevel = 300;
        shot.foreign = 900;
        statuses.push_back(shot);
        statuses.insert(statuses.end(), 55, Status());
        Status gone;
        gone.valid = false;
        statuses.insert(statuses.end(), 3, gone);
        for (const Status& s : statuses)
            fake_.injectPacket(kCamera, kavro::testing::framedPacket(kPacketData, s.bytes()));
    }

private:
    static constexpr const char* kCamera = "usb:1-cam";
    SteppingClock clock_;
};

} // namespace

std::string ModelId::name() const
{
    if (serial)
        return "Serial" + std::to_string(number);
    switch (usbClass) {
    case UsbDeviceClass::Wireless: return "UsbWireless";
    case UsbDeviceClass::ImageSensor: return "UsbImageSensor";
    case UsbDeviceClass::HomeWireless: return "UsbHomeWireless";
    case UsbDeviceClass::Optical: break;
    }
    return "UsbOptical";
}

std::vector<ModelId> registeredModels()
{
    std::vector<ModelId> out;
    for (int32_t number : models::serialModelNumbers())
        out.push_back({true, number, UsbDeviceClass::Optical});
    for (UsbDeviceClass cls : models::usbModelClasses())
        out.push_back({false, 0, cls});
    return out;
}

std::unique_ptr<ModelDriver> driverFor(const ModelId& id)
{
    if (id.serial) {
        for (const SerialModel& m : kSerialModels)
            if (m.number == id.number)
                return std::make_unique<SerialDriver>(m);
        return nullptr;
    }
    switch (id.usbClass) {
    case UsbDeviceClass::Wireless: return std::make_unique<WirelessDriver>();
    case UsbDeviceClass::ImageSensor: return std::make_unique<ImageSensorDriver>();
    case UsbDeviceClass::HomeWireless: return std::make_unique<HomeWirelessDriver>();
    case UsbDeviceClass::Optical: return std::make_unique<OpticalDriver>();
    }
    return nullptr;
}

} // namespace contract
