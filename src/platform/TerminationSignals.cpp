#include "platform/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include "platform/SystemLog.h"

namespace talvex {

namespace {

constexpr std::array<int, 3> watchedSignals = {SIGTERM, SIGHUP, SIGINT};

// The write end of the live instance's socket pair, for the handler.
std::atomic<int> signalWriteFd{-1};
struct sigaction previousActions[watchedSignals.size()];

void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = signalWriteFd.load();
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (fd >= 0) {
        // A full pipe already holds a signal; nothing else can be done in a handler.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    // 1. The pair the handler writes to, both ends closed on exec.
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        systemLog(
            "Cannot watch for termination signals: no socket pair; a kill ends Talvex "
            "without its last save");
        return;
    }
    readEnd_ = UniqueFd(fds[0]);
    writeEnd_ = UniqueFd(fds[1]);
    signalWriteFd = writeEnd_.get();

    // 2. The main thread reads it.
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readSignal);

    // 3. The handlers, each for one signal only.
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < watchedSignals.size(); ++i)
        sigaction(watchedSignals[i], &action, &previousActions[i]);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_)
        return;
    for (std::size_t i = 0; i < watchedSignals.size(); ++i)
        sigaction(watchedSignals[i], &previousActions[i], nullptr);
    signalWriteFd = -1;
}

void TerminationSignals::readSignal() {
    unsigned char byte = 0;
    while (::read(readEnd_.get(), &byte, 1) == 1)
        emit received(byte);
}

}  // namespace talvex
