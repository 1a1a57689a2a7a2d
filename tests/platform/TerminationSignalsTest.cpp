#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <csignal>

#include "support/TestEnvironment.h"

namespace talvex {
namespace {

struct sigaction currentAction(int signalNumber) {
    struct sigaction action {};
    sigaction(signalNumber, nullptr, &action);
    return action;
}

// A termination signal reaches the main thread as received() instead of ending the
// process; a second one would end it (the handler resets itself), and the previous
// handlers come back with the watcher's end.
TEST(TerminationSignals, ASignalArrivesOnTheMainThreadOnceThenTheOldHandlersReturn) {
    const auto before = currentAction(SIGHUP).sa_handler;
    {
        TerminationSignals watcher;
        ASSERT_TRUE(watcher.isWatching());
        int received = 0;
        QObject::connect(&watcher, &TerminationSignals::received,
                         [&](int number) { received = number; });
        ASSERT_EQ(raise(SIGTERM), 0);
        EXPECT_TRUE(test::waitUntil([&] { return received != 0; }));
        EXPECT_EQ(received, SIGTERM);
        EXPECT_EQ(currentAction(SIGTERM).sa_handler, SIG_DFL);
        EXPECT_NE(currentAction(SIGHUP).sa_handler, before);
    }
    EXPECT_EQ(currentAction(SIGHUP).sa_handler, before);
}

}  // namespace
}  // namespace talvex
