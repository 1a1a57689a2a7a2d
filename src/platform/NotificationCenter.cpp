#include "platform/NotificationCenter.h"

#include <algorithm>
#include <atomic>

namespace talvex {

struct NotificationCenter::Registration {
    const void* observer;
    std::string name;
    const void* object;
    Handler handler;
    std::atomic<bool> active{true};

    bool matches(const std::string& n, const void* o) const {
        return (name.empty() || name == n) && (object == nullptr || object == o);
    }
};

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
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](const auto& r) {
        if (r->observer != observer) return false;
        r->active = false;
        return true;
    });
}

void NotificationCenter::removeObserver(const void* observer, const std::string& name,
                                        const void* object) {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](const auto& r) {
        if (r->observer != observer || r->name != name || r->object != object) return false;
        r->active = false;
        return true;
    });
}

void NotificationCenter::post(const std::string& name, const void* object) {
    std::vector<std::shared_ptr<Registration>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& r : registrations_) {
            if (r->matches(name, object)) targets.push_back(r);
        }
    }
    const Notification note{name, object};
    for (const auto& r : targets) {
        if (r->active) r->handler(note);
    }
}

std::size_t NotificationCenter::registrationCount() const {
    std::lock_guard lock(mutex_);
    return registrations_.size();
}

}  // namespace talvex
