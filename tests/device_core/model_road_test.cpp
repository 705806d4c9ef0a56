// Samples from a reader thread through the ring and the window to the model's events, and the
// sample counters on the way.
#include "support/device_fixture.h"
#include "device/model/sample_counters.h"

#include <thread>

namespace devtest {
namespace {

TEST(SampleCounters, SkippedFramesFollowTheCounterModulus)
{
    EXPECT_EQ(skippedBetween(30, 31, 32), 0u);
    EXPECT_EQ(skippedBetween(31, 0, 32), 0u);
    EXPECT_EQ(skippedBetween(30, 2, 32), 3u);
    EXPECT_EQ(skippedBetween(-1, 17, 32), 0u); // no previous sample
    EXPECT_EQ(skippedBetween(5, 5, 32), 0u); // repeated counter
    EXPECT_EQ(skippedBetween(5, 9, 0), 0u); // a sensor without counter
    EXPECT_EQ(skippedBetween(250, 4, 256), 9u);
}

TEST_F(DeviceTest, CountersOverBatches)
{
    connectUsb();
    FakeModel* m = model();
    for (uint8_t c : {30, 31, 0})
        ASSERT_TRUE(m->PostEvent(record(c)));
    pump();
    int32_t skipped = -1, received = -1;
    device->get_StatTotalSkipped(&skipped);
    EXPECT_EQ(skipped, 0);
    // The last counter carries over into the next batch: 0 then 4 loses three.
    ASSERT_TRUE(m->PostEvent(record(4)));
    pump();
    device->get_StatTotalSkipped(&skipped);
    device->get_StatTotalReceived(&received);
    EXPECT_EQ(skipped, 3);
    EXPECT_EQ(received, 4);
}

TEST_F(DeviceTest, TheFirstRecordAfterAConnectCountsNoGap)
{
    connectUsb();
    ASSERT_TRUE(model()->PostEvent(record(17)));
    ASSERT_TRUE(model()->PostEvent(record(17)));
    pump();
    int32_t skipped = -1;
    device->get_StatTotalSkipped(&skipped);
    EXPECT_EQ(skipped, 0);
}

TEST_F(DeviceTest, AModelWithoutCounterSkipsNothing)
{
    connectUsb();
    model()->modulus = 0;
    for (uint8_t c : {0, 0, 9, 3})
        ASSERT_TRUE(model()->PostEvent(record(c)));
    pump();
    int32_t skipped = -1;
    device->get_StatTotalSkipped(&skipped);
    EXPECT_EQ(skipped, 0);
}

TEST_F(DeviceTest, OneShotTravelsFromTheReaderToTheSinksInOrder)
{
    connectUsb();
    auto sink = advise();
    FakeModel* m = model();
    // Signal for five samples with a shot at the third, then two without signal.
    const std::vector<SampleRecord> script{record(0), record(1),    record(2, 60, 8), record(3),
                                           record(4), record(5, 0), record(6, 0)};
    std::thread reader([&] {
        for (const SampleRecord& r : script)
            EXPECT_TRUE(m->PostEvent(r));
    });
    reader.join();
    pump();
    EXPECT_EQ(sink->events,
              (std::vector<std::string>{"StartAiming 1", "NewCoordinates 1 3", "Shot 1", "NewCoordinates 1 2",
                                        "ConcludeAiming 1", "FinalConcludeAiming 1"}));
    // Every event of the aiming carries the same new aiming, holding the reported shot.
    EXPECT_EQ(sink->eventAimings.size(), 5u);
    expectOneAimingWithOneHit(*sink);
    int32_t signal = -1;
    device->get_SignalLevel(1, &signal);
    EXPECT_EQ(signal, 0);
}

TEST_F(DeviceTest, PointsAreReportedAtTheEndOfEveryBatch)
{
    connectUsb();
    auto sink = advise();
    FakeModel* m = model();
    ASSERT_TRUE(m->PostEvent(record(0)));
    ASSERT_TRUE(m->PostEvent(record(1)));
    pump();
    ASSERT_TRUE(m->PostEvent(record(2)));
    pump();
    EXPECT_EQ(sink->events, (std::vector<std::string>{"StartAiming 1", "NewCoordinates 1 2", "NewCoordinates 1 1"}));
}

TEST_F(DeviceTest, RecordsAfterDisconnectAreDropped)
{
    connectUsb();
    auto sink = advise();
    FakeModel* m = model();
    ASSERT_TRUE(m->PostEvent(record(0)));
    auto* queue = static_cast<PumpedControlQueue*>(m->Queue());
    m->Close();
    EXPECT_FALSE(m->PostEvent(record(1)));
    queue->pump();
    EXPECT_TRUE(sink->events.empty());
    EXPECT_EQ(m->log,
              (std::vector<std::string>{"Start", "SetPiezoSensitivity 1 40", "SetSubTarget 1 1",
                                        "SetPiezoSensitivity 2 40", "SetSubTarget 2 1", "Stop"}));
}

} // namespace
} // namespace devtest
