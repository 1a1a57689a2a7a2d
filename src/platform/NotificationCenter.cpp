#include "platform/NotificationCenter.h"

#include <algorithm>

namespace talvex {

struct NotificationCenter::Registration {
    const void* observer;
    std::string name;
    const void* object;
    Handler handler;
    bool active = true;
    // Calls in progress, on any thread.
    int calls = 0;

    bool matches(const std::string& n, const void* o) const {
        return (name.empty() || name == n) && (object == nullptr || object == o);
    }
};

namespace {

// The registrations whose handlers run on this thread right now, innermost last.
thread_local std::vector<const void*> callsOnThisThread;

int callsHere(const void* registration) {
    return static_cast<int>(
        std::count(callsOnThisThread.begin(), callsOnThisThread.end(), registration));
}

}  // namespace

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, std::string name, const void* object,
                                     Handler handler) {
    auto reg = std::make_shared<Registration>();
    reg->observer = observer;
    reg->name = std::move(name);
    reg->object = object;
    reg->handler = std::move(handler);
    std::lock_guard lock(mutex_);
    registrations_.push_back(std::move(reg));
}

void NotificationCenter::removeObserver(const void* observer) {
    removeMatching([&](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const std::string& name,
                                        const void* object) {
    removeMatching([&](const Registration& r) {
        return r.observer == observer && r.name == name && r.object == object;
    });
}

// 1. Deactivate and unlist the matching registrations: no call of theirs starts anymore.
// 2. Wait for their calls in progress on other threads to end.
void NotificationCenter::removeMatching(const Match& match) {
    std::unique_lock lock(mutex_);
    std::vector<std::shared_ptr<Registration>> removed;
    std::erase_if(registrations_, [&](const auto& r) {
        if (!match(*r))
            return false;
        r->active = false;
        removed.push_back(r);
        return true;
    });
    callEnded_.wait(lock, [&] {
        return std::all_of(removed.begin(), removed.end(), [](const auto& r) {
            const int here = callsHere(r.get());
            return here > 0 || r->calls == 0;
        });
    });
}

void NotificationCenter::deliver(Registration& registration, const Notification& note) {
    {
        std::lock_guard lock(mutex_);
        if (!registration.active)
            return;
        ++registration.calls;
    }
    callsOnThisThread.push_back(&registration);
    struct CallEnd {
        NotificationCenter& center;
        Registration& registration;
        ~CallEnd() {
            callsOnThisThread.pop_back();
            std::lock_guard lock(center.mutex_);
            --registration.calls;
            center.callEnded_.notify_all();
        }
    } end{*this, registration};
    registration.handler(note);
}

void NotificationCenter::post(const std::string& name, const void* object) {
    std::vector<std::shared_ptr<Registration>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& r : registrations_) {
            if (r->matches(name, object))
                targets.push_back(r);
        }
    }
    const Notification note{name, object};
    for (const auto& r : targets)
        deliver(*r, note);
}

std::size_t NotificationCenter::registrationCount() const {
    std::lock_guard lock(mutex_);
    return registrations_.size();
}

}  // namespace talvex
