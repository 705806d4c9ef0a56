#pragma once
// The real device control connected to the USB model over the fake USB backend: an optical
// sensor and a wired target scripted as the hardware answers, a temporary settings store, a
// hand-pumped window and a virtual clock.
#include "support/device_fixture.h"
#include "device/usb/optical_decoder.h"
#include "device/usb/usb_ids.h"
#include "device/usbmodel/usb_model.h"
#include "usb/fakeusbbackend.h"

#include <cmath>
#include <cstring>
#include <atomic>
#include <thread>

namespace usbtest {

using namespace kavro;
using devtest::RecordingSink;
using Bytes = std::vector<uint8_t>;

inline void putU32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// One 93-byte item with both spots of sum 600, 54.6 apart vertically (182 after the sensor's
// rescaling to 2000: scale 1), centred at (x, y) before rescaling. No light when `dark`.
inline Bytes opticalItem(double x, double y, uint32_t shotSum = 0, int shotBit = -1, bool dark = false)
{
    Bytes item(kOldItemSize, 0);
    const double spots[2][2] = {{x, y + 27.3}, {x, y - 27.3}};
    for (int s = 0; s < 2; ++s) {
        const double px = spots[s][0], py = spots[s][1], sum = dark ? 0 : 600;
        const double q[4] = {(sum - px - py) / 4, (sum - px + py) / 4, (sum + px + py) / 4, (sum + px - py) / 4};
        for (int k = 0; k < 4; ++k)
            putU32(item, static_cast<size_t>((k * 2 + s) * 8),
                   static_cast<uint32_t>(std::lround(dark ? 0 : q[k] * 51200)));
    }
    putU32(item, 64, shotSum);
    if (shotBit >= 0)
        item[68 + static_cast<size_t>(shotBit / 8)] |= static_cast<uint8_t>(1u << (shotBit % 8));
    return item;
}

class UsbModelTest : public ::testing::Test {
protected:
    static constexpr const char* kOptical = "usb:1-1";
    static constexpr const char* kTarget = "usb:1-2";
    static constexpr const char* kReceiver = "usb:1-4";

    void SetUp() override
    {
        qputenv("KAVRO_CONFIG_HOME", configDir.path().toUtf8());
        qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
        setUsbBackendForTesting(&fake);
        setDeviceEnvironmentForTesting(&clock, [](QueueHandler h) -> std::unique_ptr<ControlQueue> {
            return std::make_unique<PumpedControlQueue>(std::move(h), clock);
        });
        plug(kOptical, usbids::kOpticalSensorProductId,
             {{144, {1, 0, 1, 0}}, {139, {1, 2, 3, 4, 5, 6, 7, 8}}, {134, calibrationInfo()}});
        plug(kTarget, usbids::kWiredTargetProductId,
             {{152, {1, 0, 1, 0}}, {139, {9, 9, 9, 9, 9, 9, 9, 9}}, {138, targetState(7)}});
        ASSERT_EQ(createInstance(kavrodev::CLSID_KavroDevice, &device), S_OK);
    }

    void TearDown() override
    {
        device = nullptr;
        setDeviceEnvironmentForTesting(nullptr, {});
        setUsbBackendForTesting(nullptr);
    }

    static Bytes calibrationInfo()
    {
        Bytes b(20, 0);
        for (size_t i = 0; i < 4; ++i)
            putU32(b, i * 4, 0x10000); // gains 1.0
        putU32(b, 16, 0x20000); // scale divisor 2.0
        return b;
    }
    static Bytes targetState(uint16_t type)
    {
        Bytes b(16, 0);
        b[0] = 1;
        b[2] = static_cast<uint8_t>(type);
        b[3] = static_cast<uint8_t>(type >> 8);
        return b;
    }

    void plug(const std::string& path, uint16_t product, std::map<uint8_t, Bytes> answers)
    {
        fake.addDevice(FakeUsbDevice(path, usbids::kPlaceholderVendorId, product));
        replies[path] = std::move(answers);
        fake.setControlHandler(path, [this, path](const UsbControlRecord& r) {
            if (r.kind != UsbControlKind::In)
                return FakeControlReply{S_OK, {}};
            auto& table = replies[path];
            auto it = table.find(r.request);
            return it == table.end() ? FakeControlReply{USB_E_IO, {}} : FakeControlReply{S_OK, it->second};
        });
    }

    HRESULT connect()
    {
        EXPECT_EQ(device->put_EventShortName(1, QStringLiteral("AR10")), S_OK);
        EXPECT_EQ(device->put_DevicePath(QString::fromLatin1(kOptical)), S_OK);
        played_ = nullptr; // a new model may take the old one's address
        return device->put_Connected(VARIANT_TRUE);
    }

    // Connects the optical sensor with a biathlon face on wireless target 3 behind a receiver
    // (no wired target). Wireless commands with the first byte `refused` fail.
    HRESULT connectFiveTargets(uint8_t refused = 0)
    {
        fake.unplug(kTarget);
        return connectThroughReceiver(kOptical, QStringLiteral("BTLN"), 18, refused);
    }

    // Connects through the wireless receiver to its target 3, whose descriptor has `type`: the
    // wired model when `devicePath` is the optical sensor's, the wireless model when it is the
    // receiver's. Wireless commands with the first byte `refused` fail.
    HRESULT connectThroughReceiver(const char* devicePath, const QString& event, uint8_t type, uint8_t refused = 0)
    {
        fake.addDevice(FakeUsbDevice(kReceiver, usbids::kPlaceholderVendorId, usbids::kWirelessReceiverProductId));
        fake.setControlHandler(kReceiver, [this, refused, type](const UsbControlRecord& r) {
            if (r.kind == UsbControlKind::Write) {
                lastCommand_ = r.data.empty() ? 0 : r.data[0];
                return FakeControlReply{lastCommand_ == refused ? USB_E_IO : S_OK, {}};
            }
            if (r.kind != UsbControlKind::In)
                return FakeControlReply{S_OK, {}};
            Bytes answer;
            switch (r.request) {
            case 129: answer = Bytes(8, 3); break; // serial number
            case 130: answer = Bytes(16, 0), answer[2] = 1; break; // target 3 answers
            case 241: // the target's answer
                answer = lastCommand_ == 0x20 ? Bytes(17, 0) : Bytes(10, 0);
                if (lastCommand_ == 0x20)
                    answer[0] = type; // descriptor type (18: the five-target face with lights)
                break;
            default: return FakeControlReply{USB_E_IO, {}};
            }
            return FakeControlReply{S_OK, answer};
        });
        // The receiver's search for its target waits on the virtual clock: time moves on while
        // the connect sleeps.
        std::atomic<bool> done{false};
        std::thread ticker([&] {
            while (!done.load()) {
                if (clock.sleepers() > 0)
                    clock.advance(50);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        EXPECT_EQ(device->put_EventShortName(1, event), S_OK);
        EXPECT_EQ(device->put_DevicePath(QString::fromLatin1(devicePath)), S_OK);
        played_ = nullptr;
        relayed_ = 0;
        const HRESULT hr = device->put_Connected(VARIANT_TRUE);
        done = true;
        ticker.join();
        return hr;
    }

    // Relays one wireless packet through the receiver and drains the window until the model has
    // taken it.
    void relay(const Bytes& packet)
    {
        Bytes run{static_cast<uint8_t>(packet.size() + 2), 136};
        run.insert(run.end(), packet.begin(), packet.end());
        fake.injectPacket(kReceiver, run);
        ASSERT_TRUE(drainUntil(++relayed_));
    }

    // How many wireless commands with exactly this payload the receiver was given.
    size_t commandsSent(const Bytes& payload)
    {
        size_t n = 0;
        for (const auto& r : requests(kReceiver, UsbControlKind::Write))
            n += r.data == payload;
        return n;
    }

    // Where a shot lies in its trace and its place within its sample.
    static std::pair<int32_t, double> placeOf(IShot* shot)
    {
        int32_t index = -1;
        double phase = 0;
        shot->get_TraceIndex(&index);
        shot->get_microphonePhase(&phase);
        return {index, phase};
    }

    CKavroDevice& control() { return *static_cast<CKavroDevice*>(device.get()); }
    CKavroDeviceUSB* model() { return dynamic_cast<CKavroDeviceUSB*>(control().model()); }

    ComPtr<RecordingSink> advise() { return devtest::adviseNewSink<RecordingSink>(device.get()); }

    // Sends the items in packets of five and drains the window until the model has had a sample
    // of each (the sensor skips the first two items after it started).
    void play(const std::vector<Bytes>& items)
    {
        if (model() != played_) {
            played_ = model();
            expected_ = -2;
        }
        expected_ += static_cast<int32_t>(items.size());
        for (size_t i = 0; i < items.size(); i += 5) {
            Bytes packet;
            for (size_t j = i; j < std::min(items.size(), i + 5); ++j)
                packet.insert(packet.end(), items[j].begin(), items[j].end());
            fake.injectPacket(kOptical, packet);
        }
        ASSERT_TRUE(drainUntil(expected_));
    }

    // Pumps the window until the model has taken `records` records in all.
    bool drainUntil(int32_t records)
    {
        return eventually([&] {
            static_cast<PumpedControlQueue*>(model()->Queue())->pump();
            int32_t received = 0;
            device->get_StatTotalReceived(&received);
            return received >= records;
        });
    }

    // Waits in real time, as a safety net only, until `done` holds.
    template <class Pred> static bool eventually(Pred done)
    {
        for (int i = 0; i < 2000; ++i) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::vector<UsbControlRecord> requests(const char* path, UsbControlKind kind)
    {
        std::vector<UsbControlRecord> out;
        for (const auto& r : fake.controlLog(path))
            if (r.kind == kind)
                out.push_back(r);
        return out;
    }

    static inline VirtualClock clock{0};
    QTemporaryDir configDir;
    FakeUsbBackend fake;
    std::map<std::string, std::map<uint8_t, Bytes>> replies;
    ComPtr<IKavroDevice> device;
    CGenericKavro* played_ = nullptr;
    int32_t expected_ = 0;
    int32_t relayed_ = 0;
    std::atomic<uint8_t> lastCommand_{0};
};

} // namespace usbtest
