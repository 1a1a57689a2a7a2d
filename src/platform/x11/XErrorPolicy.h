#pragma once

// The process-wide X error policy. Xlib's default error handler prints the error and
// exits the process, and its default I/O error handler exits too; neither is acceptable
// for a capture that races against windows coming and going. Our handler absorbs (and
// counts) every error on the connections we adopted and hands errors on any other
// connection to the handler that was installed before ours, so the toolkit's own
// policy for its connection stays in force. Of the absorbed errors, those that a
// vanishing window does not explain and that no XErrorTrap watches for are logged,
// one line per kind (code and request) for the process.
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

    // Errors on an adopted connection are absorbed, counted and, when unexpected,
    // logged once per kind. A lost adopted
    // connection ends the process (one line, status 1) when the server is gone, that is
    // when another adopted connection hung up too; alone, it logs one line and is
    // marked lost.
    static void adopt(_XDisplay* display);
    static void release(_XDisplay* display);

    // Errors seen on an adopted connection so far (0 for others).
    static std::uint64_t errorCount(_XDisplay* display);
    // While a trap watches an adopted connection (XErrorTrap), its errors are the
    // watcher's to judge and none is logged. Calls pair; traps may nest.
    static void beginTrap(_XDisplay* display);
    static void endTrap(_XDisplay* display);
    // True once the server connection of an adopted display broke. No request may be
    // sent on it from then on, from any thread: Xlib keeps the display locked by the
    // thread that met the break, and any other thread's request blocks for ever.
    static bool connectionLost(_XDisplay* display);

    // Marks every adopted connection whose server hung up as lost, without sending a
    // request; true when at least one is lost.
    static bool serverGone();

    // At process exit, when the server is gone: says so (once) and ends the process at
    // once with status 1, without the exit handlers registered before this call; they
    // would free X resources on the dead connections and may block. Register it right
    // after making a static that owns X resources.
    static void registerExitGuard();
    // Says (once) that the server is gone and ends the process at once with status 1.
    [[noreturn]] static void exitForLostServer();
    // The same from a signal handler: the line goes to the terminal only.
    [[noreturn]] static void exitForLostServerFromSignal();
};

}  // namespace talvex
