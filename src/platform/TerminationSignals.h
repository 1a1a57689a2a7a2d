#pragma once

// Turns SIGTERM, SIGHUP and SIGINT into a signal on the main thread, so that a desktop
// session ending (or a kill) quits the program the normal way: the event loop ends and
// the settings still waiting for their save reach the disk first.
//
// The handler only writes one byte to a socket pair (async-signal-safe); a socket
// notifier on the main thread reads it and emits received(). The handler resets itself
// when it runs: a second signal, for a program that no longer reacts, ends it at once.
// One instance at a time; it restores the previous dispositions when it goes.
#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/UniqueFd.h"

namespace talvex {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Whether the handlers are in place (a socket pair could be made).
    bool isWatching() const { return notifier_ != nullptr; }

signals:
    void received(int signalNumber);

private:
    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;

    void readSignal();
};

}  // namespace talvex
