#include "thread/cthread.h"
#include "thread/manual_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

using namespace kavro;

TEST(ManualEvent, StaysSetUntilResetAndWakesAWaiterOnAnotherThread)
{
    ManualEvent e;
    EXPECT_FALSE(e.wait(0));
    EXPECT_FALSE(e.wait(5));
    std::thread t([&] { e.set(); });
    EXPECT_TRUE(e.wait());
    t.join();
    EXPECT_TRUE(e.wait(0));
    EXPECT_TRUE(e.wait(0)); // manual reset: still set
    e.reset();
    EXPECT_FALSE(e.isSet());
}

TEST(ManualEvent, WaitAnyReportsWhichEventIsSet)
{
    ManualEvent a, b;
    EXPECT_EQ(ManualEvent::waitAny({&a, nullptr, &b}, 5), -1);
    std::thread t([&] { b.set(); });
    EXPECT_EQ(ManualEvent::waitAny({&a, nullptr, &b}), 2);
    t.join();
    a.set();
    EXPECT_EQ(ManualEvent::waitAny({&a, &b}, 0), 0);
}

namespace {

class FnThread final : public CThread {
public:
    explicit FnThread(std::function<void(CThread&)> body) : body_(std::move(body)) { }
    ~FnThread() override { Stop(); }

protected:
    void Run() override { body_(*this); }

private:
    std::function<void(CThread&)> body_;
};

} // namespace

TEST(CThread, RunsUntilStoppedAndCanBeStartedAgain)
{
    std::atomic<int> runs{0};
    FnThread t([&](CThread& self) {
        ++runs;
        self.StopEvent().wait();
    });
    ASSERT_TRUE(t.Start());
    EXPECT_FALSE(t.Start()); // one thread at a time
    EXPECT_TRUE(t.IsStarted());
    t.Stop();
    EXPECT_FALSE(t.IsStarted());
    EXPECT_EQ(runs.load(), 1);

    ASSERT_TRUE(t.Start()); // the stop event is cleared again
    t.Stop();
    EXPECT_EQ(runs.load(), 2);
    t.Stop(); // stopping a stopped thread does nothing
}

TEST(CThread, StopFromItsOwnRunDoesNotJoinItself)
{
    ManualEvent done;
    FnThread t([&](CThread& self) {
        self.Stop();
        EXPECT_TRUE(self.StopRequested());
        done.set();
    });
    ASSERT_TRUE(t.Start());
    EXPECT_TRUE(done.wait());
    EXPECT_TRUE(t.IsStarted()); // not joined yet
    t.Stop();
    EXPECT_FALSE(t.IsStarted());
}
