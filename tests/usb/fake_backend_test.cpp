#include "usb/fakeusbbackend.h"
#include "usb/libusbbackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

namespace kavro {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kSensor = "usb:1-2:1234:0022";
const std::string kTarget = "usb:1-3.1:1234:000e";
const std::string kOther = "usb:2-1:abcd:0001";

// Collects what a read stream delivers, from the backend's thread.
struct Reads {
    std::mutex mutex;
    std::vector<std::pair<HRESULT, Bytes>> got;
    std::vector<std::thread::id> threads;
    UsbReadAction answer = UsbReadAction::Continue;

    UsbReadHandler handler()
    {
        return [this](HRESULT hr, std::span<const uint8_t> data) {
            std::lock_guard lock(mutex);
            got.emplace_back(hr, Bytes(data.begin(), data.end()));
            threads.push_back(std::this_thread::get_id());
            return answer;
        };
    }
    std::vector<std::pair<HRESULT, Bytes>> snapshot()
    {
        std::lock_guard lock(mutex);
        return got;
    }
};

class FakeUsb : public ::testing::Test {
protected:
    FakeUsb()
    {
        FakeUsbDevice sensor{kSensor, 0x1234, 0x0022};
        sensor.endpoints = {{UsbPipeType::Interrupt, 0x82, 64, 1}};
        fake.addDevice(sensor);
        fake.addDevice({kTarget, 0x1234, 0x000e, Bytes(17, 0x55)});
        fake.addDevice({kOther, 0xabcd, 0x0001});
    }
    std::unique_ptr<UsbConnection> open(const std::string& path)
    {
        std::unique_ptr<UsbConnection> c;
        EXPECT_EQ(fake.open(path, &c), S_OK);
        return c;
    }
    FakeUsbBackend fake;
};

TEST_F(FakeUsb, EnumeratesByTableInPathOrder)
{
    UsbDeviceTable table{{0x1234, 0x000e, "target"}, {0x1234, 0x0022, "optical"}, {0x1234, 0x0099, "absent"}};
    std::vector<UsbDeviceInfo> found;
    ASSERT_EQ(fake.enumerate(table, &found), S_OK);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, kSensor);
    EXPECT_EQ(found[0].className, "optical");
    EXPECT_EQ(found[0].productId, 0x0022);
    EXPECT_EQ(found[1].path, kTarget);
    EXPECT_EQ(found[1].className, "target");

    ASSERT_EQ(fake.enumerate({{0xabcd, 0x0002, "x"}}, &found), S_OK);
    EXPECT_TRUE(found.empty());
}

TEST_F(FakeUsb, OpenGivesDescriptorAndEndpointsAndRefusesWhatWindowsWould)
{
    auto sensor = open(kSensor);
    Bytes descriptor;
    ASSERT_EQ(sensor->deviceDescriptor(&descriptor), S_OK);
    EXPECT_EQ(descriptor, (Bytes{18, 1, 0, 2, 0xFF, 0, 0, 64, 0x34, 0x12, 0x22, 0, 0, 1, 1, 2, 3, 1}));
    std::vector<UsbPipeInfo> pipes;
    ASSERT_EQ(sensor->interfaceEndpoints(&pipes), S_OK);
    ASSERT_EQ(pipes.size(), 1u);
    EXPECT_EQ(pipes[0].type, UsbPipeType::Interrupt);
    EXPECT_TRUE(pipes[0].isIn());
    EXPECT_EQ(pipes[0].maximumPacketSize, 64);

    // A malformed descriptor reaches the caller as it is, for it to refuse.
    auto target = open(kTarget);
    ASSERT_EQ(target->deviceDescriptor(&descriptor), S_OK);
    EXPECT_EQ(descriptor.size(), 17u);

    std::unique_ptr<UsbConnection> second;
    EXPECT_EQ(fake.open(kSensor, &second), HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_EQ(fake.open("usb:9-9:1234:0022", &second), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(second);

    FakeUsbDevice locked{"usb:3-1:1234:0022", 0x1234, 0x0022};
    locked.openResult = E_ACCESSDENIED;
    fake.addDevice(locked);
    EXPECT_EQ(fake.open(locked.path, &second), E_ACCESSDENIED);

    sensor->close();
    EXPECT_EQ(sensor->deviceDescriptor(&descriptor), E_HANDLE);
    EXPECT_EQ(sensor->controlOut(141, 0, 0), E_HANDLE);
    EXPECT_EQ(fake.open(kSensor, &second), S_OK); // free again once closed
}

TEST_F(FakeUsb, ControlRequestsAreAnsweredFromTheScriptAndLoggedExactly)
{
    auto c = open(kSensor);
    fake.expectControl(kSensor, {UsbControlKind::In, 139, 0, 0}, {S_OK, {1, 2, 3, 4, 5, 6, 7, 8, 9}});
    fake.expectControl(kSensor, {UsbControlKind::Write, 240, 500, 3, 3, {0x32, 1, 2}}, {});
    fake.expectControl(kSensor, {UsbControlKind::Out, 141, 0, 0}, {USB_E_TIMEOUT, {}});

    uint8_t serial[8] = {};
    size_t n = 99;
    ASSERT_EQ(c->controlIn(139, 0, 0, serial, &n), S_OK);
    EXPECT_EQ(n, 8u); // the ninth byte does not fit wLength
    EXPECT_EQ(Bytes(serial, serial + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));

    const uint8_t command[] = {0x32, 1, 2};
    ASSERT_EQ(c->controlWrite(240, 500, 3, command, &n), S_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(c->controlOut(141, 0, 0), USB_E_TIMEOUT);
    EXPECT_EQ(fake.pendingExpectations(kSensor), 0u);
    EXPECT_EQ(fake.unexpectedControlCount(kSensor), 0);

    // Nothing scripted: the default reply, a stall, counted as unexpected.
    EXPECT_EQ(c->controlOut(129, 0x0102, 0x0304), USB_E_IO);
    EXPECT_EQ(fake.unexpectedControlCount(kSensor), 1);
    fake.setDefaultControlReply({S_OK, {7, 7}});
    uint8_t four[4] = {};
    ASSERT_EQ(c->controlIn(68, 0, 0, four, &n), S_OK);
    EXPECT_EQ(n, 2u); // a short reply is the caller's to judge

    // A handler answers what no expectation does; an expectation that does not match stays queued.
    fake.expectControl(kSensor, {UsbControlKind::In, 130, 0, 0}, {S_OK, {1}});
    fake.setControlHandler(kSensor, [](const UsbControlRecord& r) {
        return FakeControlReply{S_OK, Bytes(r.length, static_cast<uint8_t>(r.request))};
    });
    uint8_t two[2] = {};
    ASSERT_EQ(c->controlIn(162, 5, 6, two, &n), S_OK);
    EXPECT_EQ(Bytes(two, two + 2), (Bytes{162, 162}));
    EXPECT_EQ(fake.pendingExpectations(kSensor), 1u);

    std::vector<UsbControlRecord> expected{
        {UsbControlKind::In, 139, 0, 0, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
        {UsbControlKind::Write, 240, 500, 3, 3, {0x32, 1, 2}},
        {UsbControlKind::Out, 141, 0, 0, 0, {}},
        {UsbControlKind::Out, 129, 0x0102, 0x0304, 0, {}},
        {UsbControlKind::In, 68, 0, 0, 4, {7, 7}},
        {UsbControlKind::In, 162, 5, 6, 2, {162, 162}},
    };
    EXPECT_EQ(fake.controlLog(kSensor), expected);
    EXPECT_TRUE(fake.controlLog(kTarget).empty());
}

TEST_F(FakeUsb, PacketsArriveInOrderOnTheBackendThread)
{
    auto c = open(kSensor);
    Reads reads;
    fake.injectPacket(kSensor, {0xAA}); // waits for the stream like data a device holds back
    EXPECT_EQ(c->startReading(0x81, 4, 64, reads.handler()), E_INVALIDARG); // no such pipe
    ASSERT_EQ(c->startReading(0x82, 4, 64, reads.handler()), S_OK);
    EXPECT_EQ(c->startReading(0x82, 4, 64, reads.handler()), E_UNEXPECTED);
    for (int i = 0; i < 200; ++i)
        fake.injectPacket(kSensor, {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)});
    fake.injectPacket(kSensor, Bytes(65, 1)); // more than one read takes
    ASSERT_TRUE(fake.waitUntilIdle());

    auto got = reads.snapshot();
    ASSERT_EQ(got.size(), 202u);
    EXPECT_EQ(got[0].second, Bytes{0xAA});
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(got[i + 1].first, S_OK);
        EXPECT_EQ(got[i + 1].second, (Bytes{static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)}));
    }
    EXPECT_EQ(got[201].first, USB_E_IO);
    EXPECT_TRUE(got[201].second.empty());
    for (auto id : reads.threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST_F(FakeUsb, TimelineAndControlScriptsFeedTheStream)
{
    auto c = open(kSensor);
    // The start request makes the device stream, as a sensor does.
    fake.setControlHandler(kSensor, [&](const UsbControlRecord& r) {
        if (r.request == 128)
            fake.playTimeline(kSensor,
                              {{std::chrono::milliseconds(1), {1}},
                               {std::chrono::milliseconds(1), {}, USB_E_IO},
                               {std::chrono::milliseconds(1), {3}}});
        return FakeControlReply{};
    });
    Reads reads;
    ASSERT_EQ(c->startReading(0x82, 2, 64, reads.handler()), S_OK);
    ASSERT_EQ(c->controlOut(128, 0, 0), S_OK);
    ASSERT_TRUE(fake.waitUntilIdle());
    auto got = reads.snapshot();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], std::make_pair(S_OK, Bytes{1}));
    EXPECT_EQ(got[1], std::make_pair(USB_E_IO, Bytes{}));
    EXPECT_EQ(got[2], std::make_pair(S_OK, Bytes{3}));
    EXPECT_EQ(c->resetPipe(0x82), S_OK);
    EXPECT_EQ(fake.resetPipeCount(kSensor), 1);
}

TEST_F(FakeUsb, StopFromTheHandlerHoldsTheRestForTheNextStream)
{
    auto c = open(kSensor);
    int calls = 0;
    Bytes first;
    ASSERT_EQ(c->startReading(0x82, 4, 64,
                              [&](HRESULT, std::span<const uint8_t> d) {
                                  first.insert(first.end(), d.begin(), d.end());
                                  return ++calls == 3 ? UsbReadAction::Stop : UsbReadAction::Continue;
                              }),
              S_OK);
    for (uint8_t i = 0; i < 6; ++i)
        fake.injectPacket(kSensor, {i});
    ASSERT_TRUE(fake.waitUntilIdle());
    EXPECT_EQ(first, (Bytes{0, 1, 2}));
    EXPECT_EQ(c->startReading(0x82, 4, 64, [](HRESULT, std::span<const uint8_t>) { return UsbReadAction::Continue; }),
              E_UNEXPECTED); // the ended stream is still to be stopped

    c->stopReading();
    Reads reads;
    ASSERT_EQ(c->startReading(0x82, 4, 64, reads.handler()), S_OK);
    ASSERT_TRUE(fake.waitUntilIdle());
    auto got = reads.snapshot();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].second, Bytes{3});
    EXPECT_EQ(got[2].second, Bytes{5});
}

TEST_F(FakeUsb, CloseWaitsForARunningHandlerAndNoneFollows)
{
    auto c = open(kSensor);
    std::promise<void> entered, release;
    auto releaseFuture = release.get_future();
    std::atomic<bool> closeReturned{false};
    std::atomic<bool> closedDuringHandler{false};
    std::atomic<int> calls{0};
    ASSERT_EQ(c->startReading(0x82, 4, 64,
                              [&](HRESULT, std::span<const uint8_t>) {
                                  if (calls++ == 0) {
                                      entered.set_value();
                                      releaseFuture.wait();
                                      closedDuringHandler = closeReturned.load();
                                  }
                                  return UsbReadAction::Continue;
                              }),
              S_OK);
    fake.injectPacket(kSensor, {1});
    fake.injectPacket(kSensor, {2});
    entered.get_future().wait();
    std::thread closer([&] {
        c->close();
        closeReturned = true;
    });
    // Give close time to block on the running handler before letting the handler finish.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release.set_value();
    closer.join();
    EXPECT_FALSE(closedDuringHandler);
    fake.injectPacket(kSensor, {3});
    ASSERT_TRUE(fake.waitUntilIdle());
    EXPECT_EQ(calls, 1);
}

TEST_F(FakeUsb, UnplugFailsPendingReadsAndLaterCalls)
{
    auto c = open(kSensor);
    Reads reads;
    ASSERT_EQ(c->startReading(0x82, 2, 64, reads.handler()), S_OK);
    fake.unplug(kSensor);
    ASSERT_TRUE(fake.waitUntilIdle());
    // Each of the two reads fails, and fails again when issued anew; then the stream is over.
    auto got = reads.snapshot();
    ASSERT_EQ(got.size(), 4u);
    for (const auto& [hr, data] : got) {
        EXPECT_EQ(hr, USB_E_NOT_CONNECTED);
        EXPECT_TRUE(data.empty());
    }

    Bytes descriptor;
    uint8_t buffer[4];
    EXPECT_EQ(c->deviceDescriptor(&descriptor), USB_E_NOT_CONNECTED);
    EXPECT_EQ(c->controlIn(68, 0, 0, buffer, nullptr), USB_E_NOT_CONNECTED);
    EXPECT_EQ(c->controlOut(128, 0, 0), USB_E_NOT_CONNECTED);
    EXPECT_EQ(c->resetPipe(0x82), USB_E_NOT_CONNECTED);
    std::vector<UsbDeviceInfo> found;
    ASSERT_EQ(fake.enumerate({{0x1234, 0x0022, "optical"}}, &found), S_OK);
    EXPECT_TRUE(found.empty());
    std::unique_ptr<UsbConnection> again;
    EXPECT_EQ(fake.open(kSensor, &again), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    // Plugged in again at the same port: a new device; the old connection stays dead.
    fake.addDevice({kSensor, 0x1234, 0x0022});
    EXPECT_EQ(fake.open(kSensor, &again), S_OK);
    EXPECT_EQ(c->controlOut(128, 0, 0), USB_E_NOT_CONNECTED);
    c->close();
}

TEST_F(FakeUsb, AHandlerThatStopsOnUnplugSeesOneFailure)
{
    auto c = open(kSensor);
    Reads reads;
    reads.answer = UsbReadAction::Stop;
    ASSERT_EQ(c->startReading(0x82, 16, 64, reads.handler()), S_OK);
    fake.unplug(kSensor);
    ASSERT_TRUE(fake.waitUntilIdle());
    EXPECT_EQ(reads.snapshot().size(), 1u);
}

TEST(UsbBackendSelector, TestsCanInstallTheirOwnBackend)
{
    EXPECT_NE(dynamic_cast<LibusbBackend*>(&usbBackend()), nullptr);
    FakeUsbBackend fake;
    setUsbBackendForTesting(&fake);
    EXPECT_EQ(&usbBackend(), &fake);
    setUsbBackendForTesting(nullptr);
    EXPECT_NE(dynamic_cast<LibusbBackend*>(&usbBackend()), nullptr);
}

} // namespace
} // namespace kavro
