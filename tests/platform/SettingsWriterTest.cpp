#include "platform/SettingsWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "support/TestEnvironment.h"

namespace talvex {
namespace {

using namespace std::chrono_literals;

// Stands in for a store: a value that changes, and the saves that wrote it.
struct Saves {
    std::atomic<int> value{0};
    std::atomic<int> count{0};
    std::atomic<int> lastSaved{-1};
    std::unique_ptr<SettingsWriter> writer;

    explicit Saves(SettingsWriter::Timing timing)
        : writer(std::make_unique<SettingsWriter>(
              [this] {
                  lastSaved = value.load();
                  ++count;
              },
              timing)) {}
    void change(int to) {
        value = to;
        writer->request();
    }
};

TEST(SettingsWriterThreaded, BurstIsOneSaveOfItsLastValueWithinTheLongestDelay) {
    Saves burst({.quiet = 200ms, .longest = 10s});
    for (int i = 1; i <= 10; ++i)
        burst.change(i);
    EXPECT_TRUE(test::waitUntil([&] { return burst.count > 0; }));
    burst.writer->flush();  // waits for a second save, had the burst been split
    EXPECT_EQ(burst.count, 1);
    EXPECT_EQ(burst.lastSaved, 10);

    // Changes that never pause are saved all the same, once the first has waited long.
    Saves steady({.quiet = 10s, .longest = 100ms});
    steady.change(1);
    EXPECT_TRUE(test::waitUntil([&] { return steady.count == 1; }, 5000));
}

TEST(SettingsWriterThreaded, FlushAndTheEndSaveAtOnceWhatIsPending) {
    Saves saves({.quiet = 60s, .longest = 60s});
    const auto start = std::chrono::steady_clock::now();
    saves.change(1);
    saves.writer->flush();
    EXPECT_EQ(saves.lastSaved, 1);
    saves.writer->flush();  // nothing pending: no save
    saves.change(2);
    saves.writer.reset();
    EXPECT_EQ(saves.lastSaved, 2);
    EXPECT_EQ(saves.count, 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

}  // namespace
}  // namespace talvex
