#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <cstdlib>

#include "platform/DefaultsFile.h"
#include "platform/DefaultsFileWatcher.h"
#include "platform/NotificationCenter.h"
#include "platform/SystemLog.h"

namespace talvex {

namespace {

std::int64_t asInteger(const UserDefaults::Value& v) {
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    return std::get<std::int64_t>(v);
}

std::string describe(const QString& text) {
    return text.toStdString();
}

// Connects a store to its file watcher on the main thread. The watcher may outlive the
// store (it belongs to the application object), so it reaches the store only through
// this link, which the store cuts when it goes away.
struct WatchLink {
    std::mutex mutex;
    UserDefaults* store = nullptr;
    QPointer<DefaultsFileWatcher> watcher;
};

}  // namespace

// The file side of the store. Lock order: fileMutex, then the store's mutex_; the
// store's mutex_ is never held during file I/O, so readers on other threads never wait
// for a disk.
class UserDefaults::Persistence {
public:
    Persistence(UserDefaults& store, const std::filesystem::path& path)
        : store_(store), file_(path) {}
    ~Persistence() { stopWatching(); }

    // Fills the persistent domain from the file; no notification.
    void load();
    // Writes the persistent domain as it is now; called after each change.
    void save();
    // Adopts an outside change of the file; true when the persistent domain changed.
    bool reload();
    void startWatching();

    // Guarded by the store's mutex_: values of other JSON types, kept for the file, and
    // the number of changes made in memory whose save has not finished yet.
    std::map<std::string, QJsonValue> otherValues;
    int unsavedChanges = 0;

private:
    UserDefaults& store_;
    DefaultsFile file_;
    std::mutex fileMutex_;
    std::shared_ptr<WatchLink> link_;

    DefaultsFile::Contents snapshotLocked() const;  // caller holds the store's mutex_
    void writeLocked();                             // caller holds fileMutex_
    void setAsideDamagedFile(const QString& error, const char* consequence);
    void stopWatching();
};

void UserDefaults::Persistence::load() {
    std::lock_guard fileLock(fileMutex_);
    DefaultsFile::ReadResult read = file_.read();
    if (read.status == DefaultsFile::Status::damaged) {
        setAsideDamagedFile(read.error, "using the defaults");
        return;
    }
    std::lock_guard lock(store_.mutex_);
    store_.persistent_ = std::move(read.contents.values);
    otherValues = std::move(read.contents.otherValues);
}

void UserDefaults::Persistence::save() {
    std::lock_guard fileLock(fileMutex_);
    writeLocked();
    std::lock_guard lock(store_.mutex_);
    --unsavedChanges;
}

bool UserDefaults::Persistence::reload() {
    std::lock_guard fileLock(fileMutex_);
    DefaultsFile::ReadResult read = file_.read();
    if (read.status == DefaultsFile::Status::damaged) {
        // The settings in force stay; write them back so that a fresh start sees them.
        setAsideDamagedFile(read.error, "keeping the settings in force");
        writeLocked();
        return false;
    }
    std::lock_guard lock(store_.mutex_);
    // A save of ours is about to replace the file anyway: the last write wins.
    if (unsavedChanges > 0)
        return false;
    if (read.contents == snapshotLocked())
        return false;
    store_.persistent_ = std::move(read.contents.values);
    otherValues = std::move(read.contents.otherValues);
    return true;
}

DefaultsFile::Contents UserDefaults::Persistence::snapshotLocked() const {
    return DefaultsFile::Contents{store_.persistent_, otherValues};
}

void UserDefaults::Persistence::writeLocked() {
    DefaultsFile::Contents contents;
    {
        std::lock_guard lock(store_.mutex_);
        contents = snapshotLocked();
    }
    QString error;
    if (!file_.write(contents, &error)) {
        systemLog("Could not save settings to " + file_.path().string() + ": " + describe(error) +
                  "; the change is kept in memory only");
    }
}

void UserDefaults::Persistence::setAsideDamagedFile(const QString& error, const char* consequence) {
    const std::string prefix = "Settings file " + file_.path().string() + " could not be read (" +
                               describe(error) + "); " + consequence;
    if (auto aside = file_.moveAside()) {
        systemLog(prefix + ", damaged file moved to " + aside->string());
    } else {
        systemLog(prefix + ", damaged file could not be moved aside");
    }
}

void UserDefaults::Persistence::startWatching() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    link_ = std::make_shared<WatchLink>();
    link_->store = &store_;
    auto create = [link = link_, path = file_.path()] {
        std::lock_guard lock(link->mutex);
        if (!link->store)
            return;
        auto reload = [link] {
            std::lock_guard lock(link->mutex);
            if (link->store)
                link->store->reloadFromDisk();
        };
        link->watcher = new DefaultsFileWatcher(path, reload, QCoreApplication::instance());
    };
    if (QThread::currentThread() == app->thread()) {
        create();
    } else {
        QMetaObject::invokeMethod(app, create, Qt::QueuedConnection);
    }
}

void UserDefaults::Persistence::stopWatching() {
    if (!link_)
        return;
    QPointer<DefaultsFileWatcher> watcher;
    {
        std::lock_guard lock(link_->mutex);
        link_->store = nullptr;
        watcher = link_->watcher;
    }
    if (!watcher)
        return;
    // Each watcher holds an inotify instance, a scarce per-user resource: on its own
    // thread it goes at once; from elsewhere, the application object's thread deletes it.
    if (QThread::currentThread() == watcher->thread()) {
        delete watcher.data();
    } else {
        watcher->deleteLater();
    }
}

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

UserDefaults::UserDefaults(std::filesystem::path file)
    : file_(std::move(file)), persistence_(std::make_unique<Persistence>(*this, file_)) {
    persistence_->load();
    persistence_->startWatching();
}

UserDefaults::~UserDefaults() = default;

void UserDefaults::registerDefaults(const std::map<std::string, Value>& defaults) {
    std::lock_guard lock(mutex_);
    for (const auto& [k, v] : defaults)
        registered_[k] = v;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (auto it = persistent_.find(key); it != persistent_.end())
        return asInteger(it->second);
    // A value of another type stored by hand hides the registered one and reads as 0.
    if (persistence_->otherValues.count(key))
        return 0;
    if (auto it = registered_.find(key); it != registered_.end())
        return asInteger(it->second);
    return 0;
}

std::optional<UserDefaults::Value> UserDefaults::persistentValueForKey(
    const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (auto it = persistent_.find(key); it != persistent_.end())
        return it->second;
    return std::nullopt;
}

void UserDefaults::setIntegerForKey(std::int64_t value, const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        persistent_[key] = value;
        persistence_->otherValues.erase(key);
        ++persistence_->unsavedChanges;
    }
    persistence_->save();
    postDidChange();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        persistent_.erase(key);
        persistence_->otherValues.erase(key);
        ++persistence_->unsavedChanges;
    }
    persistence_->save();
    postDidChange();
}

void UserDefaults::reloadFromDisk() {
    if (persistence_->reload())
        postDidChange();
}

void UserDefaults::postDidChange() {
    NotificationCenter::defaultCenter().post(didChangeNotification, this);
}

}  // namespace talvex
