#pragma once

// Watches one sequence of requests on an adopted connection: construct it before the
// requests, ask failed() after them. Both wait for the server to process everything
// sent so far (XSync), so that errors of earlier requests are not counted and those of
// the watched ones are in; use it only where two round trips are acceptable. The
// connection must not be used by another thread in between.
#include <cstdint>

struct _XDisplay;

namespace talvex {

class XErrorTrap {
public:
    explicit XErrorTrap(_XDisplay* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    bool failed() const;

private:
    _XDisplay* display_;
    std::uint64_t errorsBefore_ = 0;
};

}  // namespace talvex
