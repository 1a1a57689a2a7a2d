#include "platform/x11/XErrorPolicy.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"

namespace talvex {

namespace {

struct ConnectionState {
    std::uint64_t errors = 0;
    bool lost = false;
    int traps = 0;  // XErrorTraps watching the connection now
};

// An error's code and the request (major and minor opcode) that met it.
using ErrorKind = std::tuple<int, int, int>;

// Handlers are plain C callbacks, so the policy's state is process-wide. Xlib calls
// the error handler from whichever thread read the error, hence the mutex. It is never
// held across a wait (a poll with a timeout) nor while logging.
struct PolicyState {
    std::mutex mutex;
    std::unordered_map<Display*, ConnectionState> adopted;
    std::set<ErrorKind> reported;  // unexpected errors logged so far
    XErrorHandler previous = nullptr;
    XIOErrorHandler previousIO = nullptr;
};

PolicyState& state() {
    static PolicyState policy;
    return policy;
}

// Once per process, whichever connection notices first: the server is one for all.
// Once, whichever threads find the server gone; a thread that comes second waits until
// the line is out, so that its _exit cannot cut the first one off mid-line.
constexpr char lossLine[] = "Lost the connection to the X server.";
std::atomic<bool> lossAnnounced{false};

void announceLoss() {
    static std::once_flag announced;
    std::call_once(announced, [] {
        if (!lossAnnounced.exchange(true))
            systemLog(lossLine);
    });
}

// The server closed its end of the connection (read from the socket, not asked for).
bool hungUp(const pollfd& descriptor) {
    return descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR);
}

// Copies of the adopted connections' sockets (other than `except`), made with the
// state locked, so that they can be polled without the lock: a connection closed
// meanwhile leaves its copy open, and its number is never someone else's.
struct WatchedSockets {
    std::vector<Display*> displays;
    std::vector<UniqueFd> copies;
    std::vector<pollfd> descriptors;
};

WatchedSockets watchAdopted(Display* except) {
    WatchedSockets watched;
    for (const auto& [display, connection] : state().adopted) {
        if (display == except)
            continue;
        UniqueFd copy(fcntl(ConnectionNumber(display), F_DUPFD_CLOEXEC, 0));
        if (!copy)
            continue;
        watched.descriptors.push_back({copy.get(), POLLRDHUP, 0});
        watched.displays.push_back(display);
        watched.copies.push_back(std::move(copy));
    }
    return watched;
}

// When the server goes, the kernel closes its end of our connections one after the
// other: the first of them to notice gives the others a moment to hang up too before
// it counts as a single dropped connection (read from the sockets, nothing asked of the
// server). Called without the state locked.
bool otherHungUp(WatchedSockets others) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    std::vector<pollfd>& descriptors = others.descriptors;
    while (!descriptors.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        for (pollfd& other : descriptors)
            other.revents = 0;
        const int ready =
            poll(descriptors.data(), descriptors.size(), std::max<int>(0, int(left.count())));
        if (ready == 0)
            return false;
        if (ready < 0 && errno != EINTR)
            return false;
        for (const pollfd& other : descriptors) {
            if (hungUp(other))
                return true;
        }
        std::erase_if(descriptors, [](const pollfd& other) { return other.revents & POLLNVAL; });
    }
    return false;
}

// Our requests fail routinely when a window vanishes between two of them: its
// drawable, its contents' pixmap, or a window of the wrong kind by now. The GL
// library's graphics contexts for a window that vanished before they were made are
// refused, and so is freeing them later (we make none ourselves). Extension errors
// name resources made for such windows and monitors (pictures, damage trackers,
// regions, GL drawables, outputs). Any other code is a fault of ours.
bool isExpected(const XErrorEvent& event) {
    switch (event.error_code) {
        case BadWindow:
        case BadPixmap:
        case BadMatch:
        case BadDrawable:
        case BadGC:
            return true;
        default:
            return event.error_code >= FirstExtensionError;
    }
}

const char* coreErrorName(int code) {
    static const char* const names[] = {
        "Success",   "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
    return code >= 0 && code < int(std::size(names)) ? names[code] : "an extension's error";
}

// "X error BadAlloc (11) from request 53.0 on resource 0x...".
std::string describe(const XErrorEvent& event) {
    char resource[32];
    std::snprintf(resource, sizeof resource, "0x%lx", event.resourceid);
    return std::string("X error ") + coreErrorName(event.error_code) + " (" +
           std::to_string(event.error_code) + ") from request " +
           std::to_string(event.request_code) + "." + std::to_string(event.minor_code) +
           " on resource " + resource + " of a connection of ours; not reported again.";
}

void exitIfServerGone() {
    if (XErrorPolicy::serverGone()) {
        XErrorPolicy::exitForLostServer();
    }
}

// An error on an adopted connection is counted. One that nobody watches for (no
// XErrorTrap) and that a vanishing window does not explain is logged, once per kind.
int handleError(Display* display, XErrorEvent* event) {
    XErrorHandler previous = nullptr;
    bool report = false;
    {
        std::lock_guard lock(state().mutex);
        auto it = state().adopted.find(display);
        if (it != state().adopted.end()) {
            ++it->second.errors;
            report =
                it->second.traps == 0 && !isExpected(*event) &&
                state()
                    .reported.emplace(event->error_code, event->request_code, event->minor_code)
                    .second;
        } else {
            previous = state().previous;
        }
    }
    if (report)
        systemLog(describe(*event));
    if (previous)
        return previous(display, event);
    return 0;
}

int handleIOError(Display* display) {
    WatchedSockets others;
    bool ours = false;
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard lock(state().mutex);
        auto it = state().adopted.find(display);
        ours = it != state().adopted.end();
        if (ours) {
            it->second.lost = true;
            others = watchAdopted(display);
        } else {
            previous = state().previousIO;
        }
    }
    if (!ours)
        return previous ? previous(display) : 0;
    // When the server itself went, every connection to it hung up: nothing can go on,
    // and ending here spares the other threads Xlib's complaints about the dead ones.
    if (otherHungUp(std::move(others))) {
        XErrorPolicy::exitForLostServer();
    }
    systemLog("The X server dropped a connection of ours; screen capture stops.");
    // Returning hands over to the connection's exit handler, which for our connections
    // returns as well: the display stays in its error state and every later request on
    // it fails instead of ending the process.
    return 0;
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

void XErrorPolicy::beginTrap(Display* display) {
    std::lock_guard lock(state().mutex);
    auto it = state().adopted.find(display);
    if (it != state().adopted.end())
        ++it->second.traps;
}

void XErrorPolicy::endTrap(Display* display) {
    std::lock_guard lock(state().mutex);
    auto it = state().adopted.find(display);
    if (it != state().adopted.end() && it->second.traps > 0)
        --it->second.traps;
}

// The polls do not wait, so the lock is held only as long as they take.
bool XErrorPolicy::serverGone() {
    std::lock_guard lock(state().mutex);
    bool gone = false;
    for (auto& [display, connection] : state().adopted) {
        pollfd descriptor{ConnectionNumber(display), POLLRDHUP, 0};
        connection.lost = connection.lost || (poll(&descriptor, 1, 0) > 0 && hungUp(descriptor));
        gone = gone || connection.lost;
    }
    return gone;
}

void XErrorPolicy::exitForLostServer() {
    announceLoss();
    _exit(1);
}

void XErrorPolicy::exitForLostServerFromSignal() {
    if (!lossAnnounced.exchange(true)) {
        char line[sizeof lossLine];
        std::memcpy(line, lossLine, sizeof lossLine);
        line[sizeof lossLine - 1] = '\n';
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line, sizeof line);
    }
    _exit(1);
}

void XErrorPolicy::registerExitGuard() {
    std::atexit(&exitIfServerGone);
}

}  // namespace talvex
