#pragma once

// An X connection whose events are read on the main thread: the toolkit's loop calls
// `readable` whenever the connection has data to read. The connection follows the
// process's X error policy (XDisplay). Main thread only.
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "platform/x11/XDisplay.h"

namespace talvex {

struct EventConnection {
    // None when the display cannot be opened (nullptr: the default display).
    static std::unique_ptr<EventConnection> open(const char* displayName,
                                                 std::function<void()> readable);
    // Watches a connection opened elsewhere, which other threads may use too.
    static std::unique_ptr<EventConnection> watch(std::shared_ptr<XDisplay> display,
                                                  std::function<void()> readable);

    std::shared_ptr<XDisplay> display;
    std::unique_ptr<QSocketNotifier> notifier;
};

}  // namespace talvex
