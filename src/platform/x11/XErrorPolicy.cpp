#include "platform/x11/XErrorPolicy.h"

#include <X11/Xlib.h>

#include <mutex>
#include <unordered_map>

#include "platform/SystemLog.h"

namespace talvex {

namespace {

struct ConnectionState {
    std::uint64_t errors = 0;
    bool lost = false;
};

// Handlers are plain C callbacks, so the policy's state is process-wide. Xlib calls
// the error handler from whichever thread read the error, hence the mutex.
struct PolicyState {
    std::mutex mutex;
    std::unordered_map<Display*, ConnectionState> adopted;
    XErrorHandler previous = nullptr;
    XIOErrorHandler previousIO = nullptr;
};

PolicyState& state() {
    static PolicyState policy;
    return policy;
}

int handleError(Display* display, XErrorEvent* event) {
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(state().mutex);
        auto it = state().adopted.find(display);
        if (it != state().adopted.end()) {
            // Our requests fail routinely when a window vanishes between two of them
            // (BadWindow, BadDrawable, BadMatch, BadPixmap, BadPicture): skip quietly.
            ++it->second.errors;
            return 0;
        }
        previous = state().previous;
    }
    return previous ? previous(display, event) : 0;
}

int handleIOError(Display* display) {
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard lock(state().mutex);
        auto it = state().adopted.find(display);
        if (it != state().adopted.end()) {
            if (!it->second.lost) {
                it->second.lost = true;
                systemLog("Lost the connection to the X server; screen capture stops.");
            }
            // Returning hands over to the connection's exit handler, which for our
            // connections returns as well: the display stays in its error state and
            // every later request on it fails instead of ending the process.
            return 0;
        }
        previous = state().previousIO;
    }
    return previous ? previous(display) : 0;
}

void keepRunning(Display*, void*) {}

}  // namespace

void XErrorPolicy::install() {
    // Xlib's global lock guards the handler slots; our mutex is not held meanwhile, so
    // a handler running on another thread cannot deadlock against us.
    XErrorHandler replaced = XSetErrorHandler(&handleError);
    XIOErrorHandler replacedIO = XSetIOErrorHandler(&handleIOError);
    std::lock_guard lock(state().mutex);
    if (replaced != &handleError) {
        state().previous = replaced;
    }
    if (replacedIO != &handleIOError) {
        state().previousIO = replacedIO;
    }
}

void XErrorPolicy::adopt(Display* display) {
    if (!display) {
        return;
    }
    XSetIOErrorExitHandler(display, &keepRunning, nullptr);
    std::lock_guard lock(state().mutex);
    state().adopted[display] = ConnectionState{};
}

void XErrorPolicy::release(Display* display) {
    std::lock_guard lock(state().mutex);
    state().adopted.erase(display);
}

std::uint64_t XErrorPolicy::errorCount(Display* display) {
    std::lock_guard lock(state().mutex);
    auto it = state().adopted.find(display);
    return it == state().adopted.end() ? 0 : it->second.errors;
}

bool XErrorPolicy::connectionLost(Display* display) {
    std::lock_guard lock(state().mutex);
    auto it = state().adopted.find(display);
    return it != state().adopted.end() && it->second.lost;
}

}  // namespace talvex
