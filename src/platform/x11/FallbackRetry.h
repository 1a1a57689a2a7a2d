#pragma once

// A fast path that failed is left alone for a number of frames, then tried again: a
// shared-memory segment or pixmap may be refused for a while (the system's segment
// limit reached, the server short of memory) and granted later. The first failure
// says so in one line, what failed and where; the retries that fail again say nothing.
// Plain C++; one thread at a time (the compositor's callers are serialised).
#include <string>
#include <string_view>

namespace talvex {

class FallbackRetry {
public:
    // `what` names the fast path ("Shared-memory pixmaps"), `fallback` the slow way
    // taken meanwhile ("captures are read back through the connection").
    FallbackRetry(std::string what, std::string fallback, int framesBetweenTries);

    // Once per frame: true when the fast path is to be taken, or tried again, now.
    bool shouldTry();
    // It failed at `where`: the next framesBetweenTries frames take the slow way.
    void failed(std::string_view where);
    // It worked (again).
    void succeeded() { framesLeft_ = 0; }
    // The server cannot do it at all: never tried again, nothing logged.
    void turnOff() { off_ = true; }

    bool isWaiting() const { return off_ || framesLeft_ > 0; }

private:
    std::string what_;
    std::string fallback_;
    int framesBetweenTries_;
    int framesLeft_ = 0;
    bool off_ = false;
    bool logged_ = false;
};

}  // namespace talvex
