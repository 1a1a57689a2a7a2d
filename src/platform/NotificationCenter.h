#pragma once

// The default notification centre: synchronous delivery on the posting thread.
// Observers are identified by an opaque pointer (usually `this`); a name of "" or an
// object of nullptr in a registration matches any. An observer may remove itself, or
// others, while a notification is being delivered: removed registrations are not
// called again, even later in the same delivery.
//
// Threading: any thread may post, add and remove. When removeObserver returns, none of
// the removed handlers runs or will run on another thread: it waits for calls already
// in progress there, so an observer may remove itself in its destructor. A handler
// that removes its own registration is not waited for on its own thread (it is still
// running); a handler must not remove an observer whose handler, on another thread,
// may at that moment be removing it in turn.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace talvex {

struct Notification {
    std::string name;
    const void* object = nullptr;
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    void addObserver(const void* observer, std::string name, const void* object, Handler handler);
    // Ends every registration of `observer`.
    void removeObserver(const void* observer);
    // Ends the registrations of `observer` for exactly this name and object.
    void removeObserver(const void* observer, const std::string& name, const void* object);
    void post(const std::string& name, const void* object = nullptr);

    // Number of live registrations (for tests and leak checks).
    std::size_t registrationCount() const;

private:
    struct Registration;
    using Match = std::function<bool(const Registration&)>;
    void removeMatching(const Match& match);
    void deliver(Registration& registration, const Notification& note);

    // Guards the list and every registration's `active` and `calls`; `callEnded` is
    // signalled whenever a call ends.
    mutable std::mutex mutex_;
    std::condition_variable callEnded_;
    std::vector<std::shared_ptr<Registration>> registrations_;
};

}  // namespace talvex
