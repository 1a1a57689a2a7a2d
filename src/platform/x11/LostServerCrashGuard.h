#pragma once

// Mesa's GLX reads some of the server's replies through XCB without looking whether one
// came: on a connection whose server went away it follows a null reply and crashes,
// where Xlib would have called our I/O error handler. While a guard lives, a crash
// (SIGSEGV, SIGBUS) of any thread while the guarded connection's server has hung up
// ends the process as a lost server does everywhere else: one line, status 1. Any other
// crash goes on to the handler that was there before, as if no guard had been.
//
// For the few calls into GLX before the first frame (the server going away while the
// program starts). One guard at a time: a second waits for the first to go.
struct _XDisplay;

namespace talvex {

class LostServerCrashGuard {
public:
    explicit LostServerCrashGuard(_XDisplay* display);
    ~LostServerCrashGuard();
    LostServerCrashGuard(const LostServerCrashGuard&) = delete;
    LostServerCrashGuard& operator=(const LostServerCrashGuard&) = delete;
};

}  // namespace talvex
