#pragma once

// Runs a settings store's saves on a thread of its own, so that a change never waits
// for the disk, and folds a burst of changes into one save. A save starts once no change
// has been asked for during `quiet`, and at the latest `longest` after the first change
// it does not hold yet, which bounds what a crash can cost. Each save writes the store's
// state as it is when the save runs, so the last change of a burst is always in it; a
// change asked for while a save runs gets a save of its own.
//
// flush() and the destructor wait until every change asked for before them is saved (or
// its save failed and said so), without waiting out the debounce.
//
// Threading: request() and flush() from any thread but the writer's own (flush() from a
// save would wait for itself); `save` runs on the writer's thread only, one at a time.
// mutex_ guards the counters and deadlines below it and is never held while `save` runs.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace talvex {

class SettingsWriter {
public:
    using Clock = std::chrono::steady_clock;
    struct Timing {
        std::chrono::milliseconds quiet{100};
        std::chrono::milliseconds longest{400};
    };

    explicit SettingsWriter(std::function<void()> save);
    SettingsWriter(std::function<void()> save, Timing timing);
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter&) = delete;
    SettingsWriter& operator=(const SettingsWriter&) = delete;

    // Asks for a save of the state as it is now or later; returns at once.
    void request();
    // Returns once every change asked for before the call is saved.
    void flush();

private:
    std::function<void()> save_;
    const Timing timing_;

    std::mutex mutex_;
    std::condition_variable wake_;   // the writer: a request, a flush, the end
    std::condition_variable saved_;  // flushers: a save finished
    // Requests are numbered; `begun_` are those covered by a save under way or done,
    // `done_` those covered by a finished save.
    std::uint64_t requested_ = 0;
    std::uint64_t begun_ = 0;
    std::uint64_t done_ = 0;
    Clock::time_point firstUnsaved_;
    Clock::time_point lastRequest_;
    int flushers_ = 0;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the rest is ready

    void run();
    // Caller holds `lock`: waits out the debounce unless a flush or the end cuts it short.
    void awaitQuiet(std::unique_lock<std::mutex>& lock);
    void saveLoggingFailures();
};

}  // namespace talvex
