// The catcher of the requests to end leaves alone what the program was started to ignore, and
// gives every signal back what it did before.
#include "thread/end_signals.h"

#include "test_app.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

void programsOwnHandler(int)
{
}

using Handler = void (*)(int);

Handler currentHandler(int signalNumber)
{
    struct sigaction now { };
    sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
}

void setHandler(int signalNumber, Handler handler)
{
    struct sigaction action { };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

TEST(EndSignals, AnIgnoredSignalStaysIgnoredAndEachGetsBackWhatItDidBefore)
{
    const struct {
        int signalNumber;
        Handler before;
    } rows[] = {{SIGTERM, SIG_DFL}, {SIGHUP, SIG_IGN}, {SIGINT, programsOwnHandler}};
    app();
    for (const auto& row : rows)
        setHandler(row.signalNumber, row.before);
    {
        const kavro::EndSignals catcher([](int) {});
        ASSERT_TRUE(catcher.isActive());
        for (const auto& row : rows) {
            const Handler during = currentHandler(row.signalNumber);
            if (row.before == SIG_IGN)
                EXPECT_EQ(during, SIG_IGN) << sigabbrev_np(row.signalNumber);
            else
                EXPECT_TRUE(during != SIG_DFL && during != SIG_IGN && during != row.before)
                    << sigabbrev_np(row.signalNumber);
        }
    }
    for (const auto& row : rows) {
        EXPECT_EQ(currentHandler(row.signalNumber), row.before) << sigabbrev_np(row.signalNumber);
        setHandler(row.signalNumber, SIG_DFL);
    }
}

} // namespace
