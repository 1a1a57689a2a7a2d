#pragma once

// The process-wide X error policy. Xlib's default error handler prints the error and
// exits the process, and its default I/O error handler exits too; neither is acceptable
// for a capture that races against windows coming and going. Our handler absorbs (and
// counts) every error on the connections we adopted and hands errors on any other
// connection to the handler that was installed before ours, so the toolkit's own
// policy for its connection stays in force.
#include <cstdint>

struct _XDisplay;

namespace talvex {

class XErrorPolicy {
public:
    // Installs our handlers on top of whatever is installed now. Call it after the
    // toolkit has set up its own handlers (opening a connection with XDisplay does it
    // too). Calling it again is harmless; if someone replaced our handler meanwhile,
    // ours goes back on top and chains to theirs.
    static void install();

    // Errors on an adopted connection are absorbed and counted; a lost adopted
    // connection logs one line and is marked lost instead of ending the process.
    static void adopt(_XDisplay* display);
    static void release(_XDisplay* display);

    // Errors seen on an adopted connection so far (0 for others).
    static std::uint64_t errorCount(_XDisplay* display);
    // True once the server connection of an adopted display broke.
    static bool connectionLost(_XDisplay* display);
};

}  // namespace talvex
