#include "device/pipeline/sample_pipeline.h"
#include "thread/cthread.h"
#include "thread/pumped_control_queue.h"
#include "thread/virtual_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace kavro;

namespace {

SampleRecord recordNo(int i)
{
    SampleRecord r;
    r.setCounter(static_cast<uint8_t>(i));
    r.setX(i);
    r.setY(-i);
    return r;
}

// A device model's view of the pipeline, on the control thread of the test.
struct Model : NoticeSink {
    std::vector<int32_t> xs;
    std::vector<size_t> batches;
    std::vector<intptr_t> timeouts;
    int disconnects = 0;
    int reconnects = 0;
    std::vector<std::pair<intptr_t, intptr_t>> timers;
    std::function<void()> duringBatch;

    void ProcessSamples(const SampleRecord* records, size_t count) override
    {
        batches.push_back(count);
        for (size_t i = 0; i < count; ++i)
            xs.push_back(records[i].x());
        if (duringBatch)
            duringBatch();
    }
    void OnDisconnected() override { ++disconnects; }
    void OnReconnected() override { ++reconnects; }
    void OnTimeout(intptr_t seconds) override { timeouts.push_back(seconds); }
    void OnTimer(intptr_t w, intptr_t l) override { timers.emplace_back(w, l); }
};

struct Fixture {
    VirtualClock clock;
    SamplePipeline pipeline{clock};
    Model model;
    PumpedControlQueue window{[this](const QueueMessage& m) { pipeline.HandleMessage(m, model); }, clock};
};

class Reader final : public CThread {
public:
    explicit Reader(std::function<void(CThread&)> body) : body_(std::move(body)) { }
    ~Reader() override { Stop(); }

protected:
    void Run() override { body_(*this); }

private:
    std::function<void(CThread&)> body_;
};

} // namespace

TEST(SampleRecord, FieldsSitAtTheirByteOffsetsLittleEndian)
{
    SampleRecord r;
    r.setCounter(0x11);
    r.setSignalLevel(-2);
    r.setX(0x04030201);
    r.setY(-1);
    r.setPiezoLevel(0x0102);
    r.setPulse(0x0304);
    r.setTrigger(0x0506);
    r.setValid(true);
    r.setScale(2.0);
    r.setAngle(1.0);
    r.setTargetX(-2.0);
    r.setMicPhase(0.5);
    r.status()[0] = 0xAB;
    const uint8_t* b = r.bytes;
    EXPECT_EQ(b[0], 0x11);
    EXPECT_EQ(b[1], 0xFE);
    EXPECT_EQ(b[2], 0xFF);
    EXPECT_EQ(b[3], 0x01);
    EXPECT_EQ(b[6], 0x04);
    EXPECT_EQ(b[7], 0xFF);
    EXPECT_EQ(b[10], 0xFF);
    EXPECT_EQ(b[11], 0x02);
    EXPECT_EQ(b[12], 0x01);
    EXPECT_EQ(b[13], 0x04);
    EXPECT_EQ(b[15], 0x06);
    EXPECT_EQ(b[17], 1);
    EXPECT_EQ(b[21 + 7], 0x40); // 2.0 = 4000000000000000
    EXPECT_EQ(b[29 + 7], 0x3F); // 1.0 = 3FF0000000000000
    EXPECT_EQ(b[29 + 6], 0xF0);
    EXPECT_EQ(b[45 + 7], 0xC0); // -2.0
    EXPECT_EQ(b[69 + 7], 0x3F); // 0.5 = 3FE0000000000000
    EXPECT_EQ(b[69 + 6], 0xE0);
    EXPECT_EQ(b[378], 0xAB);
    EXPECT_EQ(b[513], 0);
    EXPECT_EQ(r.x(), 0x04030201);
    EXPECT_EQ(r.y(), -1);
    EXPECT_EQ(r.angle(), 1.0);
    EXPECT_EQ(SampleRecord().counter(), 0); // zero-filled
}

TEST(SamplePipeline, RecordsFromAReaderArriveInOrderWithNoneLost)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(200 * 5, f.window.poster()), S_OK);
    constexpr int kRecords = 5000; // several rings' worth
    std::atomic<bool> done{false};
    Reader reader([&](CThread& self) {
        for (int i = 0; i < kRecords; ++i)
            EXPECT_TRUE(f.pipeline.PostEvent(recordNo(i), &self.StopEvent()));
        done = true;
    });
    ASSERT_TRUE(reader.Start());
    // The control thread drains; virtual time moves only while the reader waits for room, and
    // it is drained before every step, so the reader never comes near its give-up time.
    while (!done.load() || f.window.queuedCount() > 0) {
        f.window.pump();
        if (f.clock.sleepers() > 0)
            f.clock.advance(SamplePipeline::kRetryMs);
        else
            f.window.waitForMessages(std::chrono::milliseconds(2));
    }
    reader.Stop();
    f.window.pump();
    ASSERT_EQ(f.model.xs.size(), static_cast<size_t>(kRecords));
    for (int i = 0; i < kRecords; ++i)
        ASSERT_EQ(f.model.xs[i], i);
    EXPECT_EQ(f.pipeline.DroppedCount(), 0u);
    EXPECT_LT(f.model.batches.size(), static_cast<size_t>(kRecords)); // batches, not one by one
}

TEST(SamplePipeline, AFullRingRetriesEveryFiftyMillisecondsAndDropsTheRecordAfterOneSecond)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(4, f.window.poster()), S_OK);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(f.pipeline.PostEvent(recordNo(i))); // capacity - 1 fit
    EXPECT_EQ(f.window.queuedCount(), 1u); // one notice covers them

    std::atomic<int> result{-1};
    std::thread reader([&] { result = f.pipeline.PostEvent(recordNo(3)) ? 1 : 0; });
    for (int retry = 1; retry < 20; ++retry) {
        ASSERT_TRUE(f.clock.waitForSleepers(1));
        EXPECT_EQ(f.window.queuedCount(), 1u + retry); // nudged again on every try
        f.clock.advance(SamplePipeline::kRetryMs);
    }
    ASSERT_TRUE(f.clock.waitForSleepers(1)); // 950 ms: still waiting
    EXPECT_EQ(result.load(), -1);
    f.clock.advance(SamplePipeline::kRetryMs);
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(f.pipeline.DroppedCount(), 1u);

    f.window.pump();
    EXPECT_EQ(f.model.xs, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(f.model.batches, std::vector<size_t>{3}); // the extra notices found nothing
}

TEST(SamplePipeline, AWaitingRecordGoesInOnceTheControlThreadHasDrained)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(20 * 5, f.window.poster()), S_OK);
    for (int i = 0; i < 99; ++i)
        ASSERT_TRUE(f.pipeline.PostEvent(recordNo(i)));
    EXPECT_EQ(f.clock.sleepers(), 0);
    std::atomic<int> result{-1};
    std::thread reader([&] { result = f.pipeline.PostEvent(recordNo(99)) ? 1 : 0; });
    ASSERT_TRUE(f.clock.waitForSleepers(1));
    f.window.pump();
    f.clock.advance(SamplePipeline::kRetryMs);
    reader.join();
    EXPECT_EQ(result.load(), 1);
    f.window.pump();
    ASSERT_EQ(f.model.xs.size(), 100u);
    EXPECT_EQ(f.model.xs.back(), 99);
}

TEST(SamplePipeline, StopEventEndsTheWaitForRoom)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(2, f.window.poster()), S_OK);
    ASSERT_TRUE(f.pipeline.PostEvent(recordNo(0)));
    ManualEvent stop;
    std::atomic<int> result{-1};
    std::thread reader([&] { result = f.pipeline.PostEvent(recordNo(1), &stop) ? 1 : 0; });
    ASSERT_TRUE(f.clock.waitForSleepers(1));
    stop.set();
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(f.pipeline.DroppedCount(), 1u);
}

TEST(SamplePipeline, RecordsQueuedWhileABatchIsProcessedAreAnnouncedAgain)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(10, f.window.poster()), S_OK);
    ASSERT_TRUE(f.pipeline.PostEvent(recordNo(1)));
    bool once = true;
    f.model.duringBatch = [&] {
        if (std::exchange(once, false)) {
            EXPECT_TRUE(f.pipeline.PostEvent(recordNo(2))); // as a reader would, meanwhile
        }
    };
    EXPECT_EQ(f.window.pump(), 2u); // the new notice is handled in the same pump
    EXPECT_EQ(f.model.xs, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(f.model.batches, (std::vector<size_t>{1, 1}));
    EXPECT_FALSE(f.pipeline.IsNoticePosted());
}

TEST(SamplePipeline, ANoticeForAnEmptyRingProcessesNothingAndClearsTheFlag)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(10, f.window.poster()), S_OK);
    ASSERT_TRUE(f.pipeline.PostEvent(recordNo(1)));
    f.pipeline.Empty();
    EXPECT_FALSE(f.pipeline.IsNoticePosted());
    ASSERT_TRUE(f.pipeline.PostEvent(recordNo(2)));
    EXPECT_EQ(f.window.queuedCount(), 2u);
    f.window.pump();
    EXPECT_EQ(f.model.batches, std::vector<size_t>{1}); // the second notice found the ring empty
    EXPECT_FALSE(f.pipeline.IsNoticePosted());
    EXPECT_EQ(f.model.xs, std::vector<int32_t>{2});
}

TEST(SamplePipeline, NoticeKindsReachTheModel)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(10, f.window.poster()), S_OK);
    ASSERT_TRUE(f.pipeline.PostNotice(NoticeKind::Timeout, 7));
    ASSERT_TRUE(f.window.setTimer(1, 10));
    f.clock.advance(10);
    f.window.pump();
    EXPECT_EQ(f.model.timeouts, std::vector<intptr_t>{7});
    EXPECT_EQ(f.model.timers, (std::vector<std::pair<intptr_t, intptr_t>>{{1, 0}}));

    HRESULT hr = E_FAIL;
    std::atomic<bool> returned{false};
    Reader reader([&](CThread& self) {
        hr = f.pipeline.SendNotice(NoticeKind::Disconnected, 0, &self.StopEvent());
        returned = true;
    });
    ASSERT_TRUE(reader.Start());
    ASSERT_TRUE(f.window.waitForMessages());
    EXPECT_FALSE(returned.load()); // sent: waits for the control thread
    f.window.pump();
    reader.Stop();
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(f.model.disconnects, 1);
}

TEST(SamplePipeline, ClosingWhileTheReaderSendsANoticeDoesNotDeadlock)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(10, f.window.poster()), S_OK);
    HRESULT hr = S_OK;
    Reader reader([&](CThread& self) { hr = f.pipeline.SendNotice(NoticeKind::Reconnected, 0, &self.StopEvent()); });
    ASSERT_TRUE(reader.Start());
    ASSERT_TRUE(f.window.waitForMessages());
    // Close on the control thread: stop the reader (it is blocked in its send), free the ring.
    reader.Stop();
    f.pipeline.Close();
    EXPECT_EQ(hr, E_ABORT);
    f.window.pump();
    EXPECT_EQ(f.model.reconnects, 0);
}

TEST(SamplePipeline, AfterCloseRecordsAreDroppedAndLateNoticesDoNothing)
{
    Fixture f;
    EXPECT_EQ(f.pipeline.Open(1, f.window.poster()), E_INVALIDARG);
    EXPECT_FALSE(f.pipeline.PostEvent(recordNo(0))); // no ring yet
    ASSERT_EQ(f.pipeline.Open(10, f.window.poster()), S_OK);
    ASSERT_TRUE(f.pipeline.PostEvent(recordNo(1)));
    ASSERT_TRUE(f.window.post(kDeviceNoticeMessage, static_cast<intptr_t>(NoticeKind::Disconnected)));
    f.pipeline.Close();
    EXPECT_FALSE(f.pipeline.IsOpen());
    EXPECT_FALSE(f.pipeline.PostEvent(recordNo(2)));
    EXPECT_FALSE(f.pipeline.PostNotice(NoticeKind::Timeout, 1));
    EXPECT_EQ(f.pipeline.SendNotice(NoticeKind::Disconnected, 0, nullptr), E_HANDLE);
    f.window.pump();
    EXPECT_TRUE(f.model.batches.empty());
    EXPECT_EQ(f.model.disconnects, 0);
    EXPECT_EQ(f.pipeline.DroppedCount(), 0u);
}

TEST(SamplePipeline, ARecordWhoseNoticeFindsTheWindowGoneLeavesNoNoticeOutstanding)
{
    Fixture f;
    ASSERT_EQ(f.pipeline.Open(10, f.window.poster()), S_OK);
    f.window.destroy();
    EXPECT_TRUE(f.pipeline.PostEvent(recordNo(1))); // queued, only its notice is lost
    EXPECT_FALSE(f.pipeline.IsNoticePosted());
    EXPECT_EQ(f.pipeline.QueuedCount(), 1u);
    // A drain by hand still finds it.
    EXPECT_EQ(f.pipeline.Drain(f.model), 1u);
    EXPECT_EQ(f.model.xs, std::vector<int32_t>{1});
}
