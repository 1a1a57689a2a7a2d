// Minimal in-memory store; persistence comes with the settings work.
#include "platform/UserDefaults.h"

#include <cstdlib>

#include "platform/NotificationCenter.h"

namespace talvex {

class UserDefaults::Persistence {};

namespace {
std::int64_t asInteger(const UserDefaults::Value& v) {
    if (const bool* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    return std::get<std::int64_t>(v);
}
}  // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults store(defaultFilePath());
    return store;
}

std::filesystem::path UserDefaults::defaultFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME")) {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = ".config";
    }
    return base / "Talvex" / "defaults.json";
}

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) {}
UserDefaults::~UserDefaults() = default;

void UserDefaults::registerDefaults(const std::map<std::string, Value>& defaults) {
    std::lock_guard lock(mutex_);
    for (const auto& [k, v] : defaults) registered_[k] = v;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (auto it = persistent_.find(key); it != persistent_.end()) return asInteger(it->second);
    if (auto it = registered_.find(key); it != registered_.end()) return asInteger(it->second);
    return 0;
}

std::optional<UserDefaults::Value> UserDefaults::persistentValueForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (auto it = persistent_.find(key); it != persistent_.end()) return it->second;
    return std::nullopt;
}

void UserDefaults::setIntegerForKey(std::int64_t value, const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        persistent_[key] = value;
    }
    postDidChange();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        persistent_.erase(key);
    }
    postDidChange();
}

void UserDefaults::reloadFromDisk() {}

void UserDefaults::postDidChange() {
    NotificationCenter::defaultCenter().post(didChangeNotification, this);
}

}  // namespace talvex
