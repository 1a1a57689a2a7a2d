// The end of the global queue: what was queued runs, the workers are joined, and
// nothing runs afterwards. In a child process: the queue cannot start again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <thread>

#include "platform/Dispatch.h"

namespace talvex {
namespace {

long threadCount() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return std::distance(begin(tasks), end(tasks));
}

TEST(DispatchDeathTest, ShuttingDownRunsTheQueuedItemsAndJoinsTheWorkers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const long before = threadCount();
            std::atomic<int> ran{0};
            for (int i = 0; i < 2 * dispatch::globalQueueWidth; ++i) {
                dispatch::globalAsync([&ran] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    ++ran;
                });
            }
            const bool joined = dispatch::shutDownGlobalQueue(std::chrono::seconds(10));
            dispatch::globalAsync([&ran] { ran += 100; });
            const bool ok =
                joined && ran == 2 * dispatch::globalQueueWidth && threadCount() == before;
            std::_Exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace talvex
