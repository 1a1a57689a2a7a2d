#include "platform/SettingsWriter.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "platform/SystemLog.h"

namespace talvex {

SettingsWriter::SettingsWriter(std::function<void()> save)
    : SettingsWriter(std::move(save), Timing{}) {}

SettingsWriter::SettingsWriter(std::function<void()> save, Timing timing)
    : save_(std::move(save)), timing_(timing), thread_([this] { run(); }) {}

SettingsWriter::~SettingsWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SettingsWriter::request() {
    bool idle = false;
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        idle = requested_ == begun_;
        if (idle)
            firstUnsaved_ = now;
        ++requested_;
        lastRequest_ = now;
    }
    // A writer already waiting out the debounce finds the later request when it wakes.
    if (idle)
        wake_.notify_one();
}

void SettingsWriter::flush() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = requested_;
    if (done_ >= target)
        return;
    ++flushers_;
    wake_.notify_one();
    saved_.wait(lock, [&] { return done_ >= target; });
    --flushers_;
}

void SettingsWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // 1. Wait for a change; at the end, with everything saved, stop.
        wake_.wait(lock, [this] { return requested_ != begun_ || stopping_; });
        if (requested_ == begun_)
            return;
        // 2. Let the burst finish.
        awaitQuiet(lock);
        // 3. One save for every request so far.
        begun_ = requested_;
        lock.unlock();
        saveLoggingFailures();
        lock.lock();
        done_ = begun_;
        saved_.notify_all();
    }
}

void SettingsWriter::awaitQuiet(std::unique_lock<std::mutex>& lock) {
    while (flushers_ == 0 && !stopping_) {
        const Clock::time_point due =
            std::min(lastRequest_ + timing_.quiet, firstUnsaved_ + timing_.longest);
        if (Clock::now() >= due)
            return;
        wake_.wait_until(lock, due);
    }
}

// The save logs its own failures; anything it throws must not end the process either.
void SettingsWriter::saveLoggingFailures() {
    try {
        save_();
    } catch (const std::exception& error) {
        systemLog(std::string("Could not save the settings: ") + error.what() +
                  "; the changes are kept in memory only");
    }
}

}  // namespace talvex
