// Events reach every advised sink, in turn, and survive sinks that change the list or the device.
#include "support/device_fixture.h"

#include <thread>

namespace devtest {
namespace {

TEST_F(DeviceTest, EveryEventReachesTwoSinksWithItsArguments)
{
    connectUsb();
    auto a = advise();
    auto b = advise();
    CGenericKavro& m = *model();
    m.FirePulseChanged(2, 72);
    m.FireTrigger(1, 5);
    m.FireHeartBeat(1, 45000.25, 45000.5);
    m.FireDisconnected();
    m.FireReconnected();
    m.FireTimeout(3);
    m.FireFinalConcludeAiming(2);
    const std::vector<std::string> expected{
        "PulseChanged 2 72",    "Trigger 1 5", "HeartBeat 1 45000.250000 45000.500000",
        "Disconnected",         "Reconnected", "Timeout 3",
        "FinalConcludeAiming 2"};
    EXPECT_EQ(a->events, expected);
    EXPECT_EQ(b->events, expected);
}

TEST_F(DeviceTest, FiringGivesTheResultOfTheLastSink)
{
    connectUsb();
    EXPECT_EQ(model()->FireReconnected(), S_OK);
    auto a = advise();
    auto b = advise();
    a->result = E_FAIL;
    EXPECT_EQ(model()->FireReconnected(), S_OK);
    b->result = S_FALSE;
    EXPECT_EQ(model()->FireReconnected(), S_FALSE);
}

TEST_F(DeviceTest, ASinkUnadvisedDuringAFireIsNotCalledAgain)
{
    connectUsb();
    uint32_t cookieA = 0, cookieB = 0, cookieC = 0;
    auto a = advise(&cookieA);
    auto b = advise(&cookieB);
    auto c = advise(&cookieC);
    // The first sink takes itself and the second off the list while being called.
    a->onEvent = [&](const std::string&) {
        unadviseSink(device.get(), _IKavroDeviceEvents::iid, cookieA);
        unadviseSink(device.get(), _IKavroDeviceEvents::iid, cookieB);
    };
    model()->FireTimeout(1);
    model()->FireTimeout(2);
    EXPECT_EQ(a->events, std::vector<std::string>{"Timeout 1"});
    EXPECT_TRUE(b->events.empty());
    EXPECT_EQ(c->events, (std::vector<std::string>{"Timeout 1", "Timeout 2"}));
    EXPECT_EQ(unadviseSink(device.get(), _IKavroDeviceEvents::iid, cookieA), CONNECT_E_NOCONNECTION);
}

TEST_F(DeviceTest, ASinkMayDisconnectTheDeviceInsideABatch)
{
    connectUsb();
    auto sink = advise();
    sink->onEvent = [&](const std::string& what) {
        if (what == "Shot 1")
            device->put_Connected(VARIANT_FALSE);
    };
    FakeModel* m = model();
    auto* queue = static_cast<PumpedControlQueue*>(m->Queue());
    ASSERT_TRUE(m->PostEvent(record(0)));
    ASSERT_TRUE(m->PostEvent(record(1, 50, 9)));
    ASSERT_TRUE(m->PostEvent(record(2)));
    ASSERT_TRUE(m->PostEvent(record(3, 0)));
    EXPECT_EQ(queue->pump(), 1u);
    // Nothing after the shot: the model stopped inside the batch and is gone once it returned.
    EXPECT_EQ(sink->events, (std::vector<std::string>{"StartAiming 1", "NewCoordinates 1 2", "Shot 1"}));
    EXPECT_EQ(control().model(), nullptr);
    VARIANT_BOOL b = VARIANT_TRUE;
    device->get_Connected(&b);
    EXPECT_EQ(b, VARIANT_FALSE);
    // The control connects again as usual.
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
}

TEST_F(DeviceTest, NoticesFromTheReaderBecomeEvents)
{
    connectUsb();
    auto sink = advise();
    FakeModel* m = model();
    m->pipeline().PostNotice(NoticeKind::Timeout, 4);
    pump();
    EXPECT_EQ(sink->events, std::vector<std::string>{"Timeout 4"});

    // Disconnect and reconnect are sent: the reader waits until the control thread handled them.
    ManualEvent stop;
    std::thread reader([&] {
        EXPECT_EQ(m->pipeline().SendNotice(NoticeKind::Disconnected, 0, &stop), S_OK);
        EXPECT_EQ(m->pipeline().SendNotice(NoticeKind::Reconnected, 0, &stop), S_OK);
    });
    auto* queue = static_cast<PumpedControlQueue*>(m->Queue());
    for (int handled = 0; handled < 2;) {
        ASSERT_TRUE(queue->waitForMessages());
        handled += static_cast<int>(queue->pump());
    }
    reader.join();
    EXPECT_EQ(sink->events, (std::vector<std::string>{"Timeout 4", "Disconnected", "Reconnected"}));
    // The restart ran the model's start again.
    EXPECT_EQ(m->log.back(), "Start");
}

} // namespace
} // namespace devtest
