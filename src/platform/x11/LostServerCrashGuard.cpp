#include "platform/x11/LostServerCrashGuard.h"

#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>

#include <atomic>
#include <mutex>

#include "platform/x11/XErrorPolicy.h"

namespace talvex {

namespace {

constexpr int guardedSignals[] = {SIGSEGV, SIGBUS};

std::mutex& guardMutex() {
    static std::mutex mutex;
    return mutex;
}

std::atomic<int> guardedFd{-1};
struct sigaction previous[2];

void restorePrevious() {
    for (int i = 0; i < 2; ++i)
        sigaction(guardedSignals[i], &previous[i], nullptr);
}

// Only async-signal-safe calls: poll, sigaction, write and _exit.
void onCrash(int, siginfo_t*, void*) {
    const int fd = guardedFd.load();
    pollfd descriptor{fd, POLLRDHUP, 0};
    if (fd >= 0 && poll(&descriptor, 1, 0) > 0 &&
        (descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
        XErrorPolicy::exitForLostServerFromSignal();
    }
    // Not ours: returning repeats the fault under the handler that was there before.
    restorePrevious();
}

}  // namespace

LostServerCrashGuard::LostServerCrashGuard(Display* display) {
    guardMutex().lock();
    guardedFd = display ? ConnectionNumber(display) : -1;
    struct sigaction action {};
    action.sa_sigaction = &onCrash;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 2; ++i)
        sigaction(guardedSignals[i], &action, &previous[i]);
}

LostServerCrashGuard::~LostServerCrashGuard() {
    restorePrevious();
    guardedFd = -1;
    guardMutex().unlock();
}

}  // namespace talvex
