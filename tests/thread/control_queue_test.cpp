#include "thread/pumped_control_queue.h"
#include "thread/qt_control_queue.h"
#include "thread/virtual_clock.h"

#include "test_app.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace kavro;

namespace {

struct Log {
    std::vector<QueueMessage> messages;
    std::vector<std::thread::id> threads;
    QueueHandler handler()
    {
        return [this](const QueueMessage& m) {
            messages.push_back(m);
            threads.push_back(std::this_thread::get_id());
        };
    }
};

// Runs the Qt event loop until `done` holds; the limit is a safety net, not a timing.
template <class Pred> bool processEventsUntil(Pred done)
{
    QDeadlineTimer limit(10000);
    while (!done()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

TEST(PumpedControlQueue, HandlesPostedMessagesInOrderOnlyWhenPumped)
{
    VirtualClock clock;
    Log log;
    PumpedControlQueue q(log.handler(), clock);
    EXPECT_TRUE(q.post(1, 10, 20));
    EXPECT_TRUE(q.post(QueueMessage{2, 0, 0, std::string("payload")}));
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(q.pump(), 2u);
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages[0].id, 1u);
    EXPECT_EQ(log.messages[0].wParam, 10);
    EXPECT_EQ(log.messages[0].lParam, 20);
    EXPECT_EQ(std::any_cast<std::string>(log.messages[1].payload), "payload");
    EXPECT_EQ(q.pump(), 0u);
}

TEST(PumpedControlQueue, SendFromAnotherThreadReturnsAfterTheOwnerHandledIt)
{
    VirtualClock clock;
    Log log;
    PumpedControlQueue q(log.handler(), clock);
    HRESULT hr = E_FAIL;
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        hr = q.send(QueueMessage{7, 1, 2, {}}, nullptr);
        returned = true;
    });
    ASSERT_TRUE(q.waitForMessages());
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(q.pump(), 1u);
    sender.join();
    EXPECT_EQ(hr, S_OK);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.threads[0], std::this_thread::get_id());

    // On the owning thread a send is handled at once.
    EXPECT_EQ(q.send(QueueMessage{8, 0, 0, {}}, nullptr), S_OK);
    EXPECT_EQ(log.messages.size(), 2u);
}

TEST(PumpedControlQueue, SendReturnsWhenItsStopEventIsSetAndTheMessageIsWithdrawn)
{
    VirtualClock clock;
    Log log;
    PumpedControlQueue q(log.handler(), clock);
    ManualEvent stop;
    HRESULT hr = S_OK;
    std::thread sender([&] { hr = q.send(QueueMessage{3, 0, 0, {}}, &stop); });
    ASSERT_TRUE(q.waitForMessages());
    stop.set(); // the owner is busy closing and will not pump
    sender.join();
    EXPECT_EQ(hr, E_ABORT);
    EXPECT_EQ(q.pump(), 0u);
    EXPECT_TRUE(log.messages.empty());
}

TEST(PumpedControlQueue, TimersFireInVirtualTime)
{
    VirtualClock clock(0xFFFFFFFFull - 50); // across the wrap of the tick count
    Log log;
    PumpedControlQueue q(log.handler(), clock);
    ASSERT_TRUE(q.setTimer(1, 100));
    ASSERT_TRUE(q.setTimer(2, 30));
    clock.advance(29);
    EXPECT_EQ(q.pump(), 0u);
    clock.advance(1);
    EXPECT_EQ(q.pump(), 1u);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].id, kTimerMessage);
    EXPECT_EQ(log.messages[0].wParam, 2);

    clock.advance(70); // timer 1 due; timer 2 three periods behind fires once
    EXPECT_EQ(q.pump(), 2u);
    q.killTimer(2);
    q.killTimer(99);
    clock.advance(100);
    EXPECT_EQ(q.pump(), 1u);
    EXPECT_EQ(log.messages.back().wParam, 1);
}

TEST(PumpedControlQueue, AfterDestroyMessagesAreDroppedAndSendersReleased)
{
    VirtualClock clock;
    Log log;
    auto q = std::make_unique<PumpedControlQueue>(log.handler(), clock);
    const QueuePoster poster = q->poster();
    HRESULT hr = S_OK;
    std::thread sender([&] { hr = poster.send(QueueMessage{1, 0, 0, {}}, nullptr); });
    ASSERT_TRUE(q->waitForMessages());
    ASSERT_TRUE(q->post(2));
    ASSERT_TRUE(q->setTimer(1, 10));
    q->destroy();
    sender.join();
    EXPECT_EQ(hr, E_HANDLE);
    EXPECT_FALSE(q->post(3));
    EXPECT_FALSE(q->setTimer(1, 10));
    clock.advance(100);
    EXPECT_EQ(q->pump(), 0u);
    EXPECT_TRUE(log.messages.empty());

    q.reset();
    EXPECT_FALSE(poster.isAlive());
    EXPECT_FALSE(poster.post(4));
    EXPECT_EQ(poster.send(QueueMessage{5, 0, 0, {}}, nullptr), E_HANDLE);
    EXPECT_FALSE(QueuePoster().post(1));
}

TEST(PumpedControlQueue, AHandlerMayDestroyTheQueue)
{
    VirtualClock clock;
    std::unique_ptr<PumpedControlQueue> q;
    int handled = 0;
    q = std::make_unique<PumpedControlQueue>(
        [&](const QueueMessage&) {
            ++handled;
            q->destroy();
        },
        clock);
    q->post(1);
    q->post(2);
    EXPECT_EQ(q->pump(), 1u);
    EXPECT_EQ(handled, 1);
}

TEST(QtControlQueue, PostsFromOtherThreadsAreHandledInOrderOnTheOwningThread)
{
    app();
    Log log;
    QtControlQueue q(log.handler());
    constexpr int kPerThread = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < 2; ++t)
        posters.emplace_back([&q, t] {
            for (int i = 0; i < kPerThread; ++i)
                q.post(100 + t, i);
        });
    ASSERT_TRUE(processEventsUntil([&] { return log.messages.size() == 2 * kPerThread; }));
    for (std::thread& p : posters)
        p.join();
    intptr_t next[2] = {0, 0};
    for (size_t i = 0; i < log.messages.size(); ++i) {
        EXPECT_EQ(log.threads[i], std::this_thread::get_id());
        const int t = static_cast<int>(log.messages[i].id) - 100;
        ASSERT_TRUE(t == 0 || t == 1);
        EXPECT_EQ(log.messages[i].wParam, next[t]++);
    }
}

TEST(QtControlQueue, SendReturnsAfterHandlingOrWhenStopped)
{
    app();
    Log log;
    QtControlQueue q(log.handler());
    HRESULT hr = E_FAIL;
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        hr = q.send(QueueMessage{9, 0, 0, {}}, nullptr);
        returned = true;
    });
    ASSERT_TRUE(processEventsUntil([&] { return returned.load(); }));
    sender.join();
    EXPECT_EQ(hr, S_OK);
    ASSERT_EQ(log.messages.size(), 1u);

    ManualEvent stop;
    std::thread stopped([&] { hr = q.send(QueueMessage{10, 0, 0, {}}, &stop); });
    stop.set(); // no event loop runs meanwhile
    stopped.join();
    // Whether the message got queued before the stop or not, it is never handled now.
    EXPECT_EQ(hr, E_ABORT);
    QCoreApplication::processEvents();
    EXPECT_EQ(log.messages.size(), 1u);
}

TEST(QtControlQueue, TimersTickUntilKilledAndNothingArrivesAfterDestroy)
{
    app();
    Log log;
    auto q = std::make_unique<QtControlQueue>(log.handler());
    ASSERT_TRUE(q->setTimer(4, 1));
    ASSERT_TRUE(processEventsUntil([&] { return log.messages.size() >= 2; }));
    EXPECT_EQ(log.messages[0].id, kTimerMessage);
    EXPECT_EQ(log.messages[0].wParam, 4);

    bool offThread = true;
    std::thread([&] { offThread = q->setTimer(5, 1); }).join();
    EXPECT_FALSE(offThread); // Qt timers belong to the owning thread

    const QueuePoster poster = q->poster();
    q->post(1);
    q->destroy();
    const size_t seen = log.messages.size();
    EXPECT_FALSE(poster.post(2));
    q.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(log.messages.size(), seen);
}
