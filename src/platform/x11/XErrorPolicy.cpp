#include "platform/x11/XErrorPolicy.h"

#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

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
bool peerHungUp(Display* display) {
    pollfd descriptor{ConnectionNumber(display), POLLRDHUP, 0};
    return poll(&descriptor, 1, 0) > 0 && (descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

// Called with the state locked. When the server goes, the kernel closes its end of our
// connections one after the other: the first of them to notice gives the others a
// moment to hang up too before it counts as a single dropped connection (read from the
// sockets, nothing asked of the server).
bool otherHungUp(Display* display) {
    std::vector<pollfd> others;
    for (const auto& [other, connection] : state().adopted) {
        if (other != display)
            others.push_back({ConnectionNumber(other), POLLRDHUP, 0});
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (!others.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        for (pollfd& other : others)
            other.revents = 0;
        const int ready = poll(others.data(), others.size(), std::max<int>(0, int(left.count())));
        if (ready == 0)
            return false;
        if (ready < 0 && errno != EINTR)
            return false;
        for (const pollfd& other : others) {
            if (other.revents & (POLLRDHUP | POLLHUP | POLLERR))
                return true;
        }
        std::erase_if(others, [](const pollfd& other) { return other.revents & POLLNVAL; });
    }
    return false;
}

void exitIfServerGone() {
    if (XErrorPolicy::serverGone()) {
        XErrorPolicy::exitForLostServer();
    }
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
            it->second.lost = true;
            // When the server itself went, every connection to it hung up: nothing can
            // go on, and ending here spares the other threads Xlib's complaints about
            // the dead ones.
            if (otherHungUp(display)) {
                XErrorPolicy::exitForLostServer();
            }
            systemLog("The X server dropped a connection of ours; screen capture stops.");
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

bool XErrorPolicy::serverGone() {
    std::lock_guard lock(state().mutex);
    bool gone = false;
    for (auto& [display, connection] : state().adopted) {
        connection.lost = connection.lost || peerHungUp(display);
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
