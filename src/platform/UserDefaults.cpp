#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "platform/DefaultsFile.h"
#include "platform/DefaultsFileWatcher.h"
#include "platform/SettingsWriter.h"
#include "platform/SystemLog.h"
#include "platform/UniqueFd.h"

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
// for a disk. Changes are saved by the store's writer thread (SettingsWriter); the
// watcher's reload on the main thread does not wait for a save under way either.
class UserDefaults::Persistence {
public:
    enum class Reload { unchanged, changed, unsettled };

    // How long a file that another program emptied may stay empty before it counts as
    // finished rather than as an edit under way (truncate, then write).
    static constexpr std::chrono::seconds emptiedFileGrace{10};

    Persistence(UserDefaults& store, const std::filesystem::path& path)
        : store_(store), file_(path) {}
    ~Persistence() {
        writer_.flush();
        stopWatching();
        flushHeldBack();
    }

    // Fills the persistent domain from the file; no signal.
    void load();
    // Has the persistent domain saved soon, off the calling thread; called after each
    // change. flush() waits until those saves are done.
    void save() { writer_.request(); }
    void flush() { writer_.flush(); }
    // Adopts an outside change of the file (see UserDefaults::reloadFromDisk).
    Reload reload(bool settled);
    void startWatching();

    // Guarded by the store's mutex_: values of other JSON types, kept for the file, and
    // the keys changed in memory that the file does not hold yet, each with the number
    // of its latest change.
    std::map<std::string, QJsonValue> otherValues;
    std::map<std::string, std::uint64_t> unsavedKeys;
    std::uint64_t changeCount = 0;

private:
    UserDefaults& store_;
    DefaultsFile file_;
    std::mutex fileMutex_;
    std::shared_ptr<WatchLink> link_;
    // Guarded by fileMutex_: the file's contents as this store last read or wrote them;
    // whether a save was held back while an outside edit was under way; whether the
    // file was empty already when it was loaded (then it is no edit under way); whether
    // the last write went over a file another program emptied, whose new contents may
    // still come (until then the keys written stay unsaved, to be merged with them);
    // whether the node at the path was reported as no regular file. And the emptied file
    // that such a write replaced, kept open: a writer still holding it may yet fill it.
    DefaultsFile::Contents lastKnown_;
    bool saveHeldBack_ = false;
    bool emptyWhenLoaded_ = false;
    bool awaitingOutsideEdit_ = false;
    bool refusalReported_ = false;
    UniqueFd replacedEmptyFile_;
    std::pair<std::int64_t, std::chrono::system_clock::time_point> replacedFileSeen_;
    // Last: its thread saves until it is gone, and the rest must outlive that.
    SettingsWriter writer_{[this] { saveNow(); }};

    // Writes the persistent domain as it is now; on the writer's thread.
    void saveNow();

    // The rest: caller holds fileMutex_.
    bool emptiedByOthers(const DefaultsFile::ReadResult& read) const;
    static bool abandoned(const DefaultsFile::ReadResult& read);
    bool refused(const DefaultsFile::ReadResult& read, const char* consequence);
    Reload reloadPath(bool settled);
    Reload reloadEmptied(const DefaultsFile::ReadResult& read);
    std::optional<DefaultsFile::Contents> lateEdit();
    void flushHeldBack();
    DefaultsFile::Contents snapshotLocked() const;  // caller holds the store's mutex_ instead
    bool adoptLocked(const DefaultsFile::Contents& onDisk);
    void writeLocked();
    void writeOverEmptiedFile();
    void setAsideDamagedFile(const QString& error, const char* consequence);
    void stopWatching();
};

void UserDefaults::Persistence::load() {
    std::lock_guard fileLock(fileMutex_);
    file_.removeStaleTemporaries();
    DefaultsFile::ReadResult read = file_.read();
    if (refused(read, "using the defaults; changes are kept in memory only"))
        return;
    if (read.status == DefaultsFile::Status::damaged) {
        setAsideDamagedFile(read.error, "using the defaults");
        return;
    }
    emptyWhenLoaded_ = read.status == DefaultsFile::Status::empty;
    lastKnown_ = read.contents;
    std::lock_guard lock(store_.mutex_);
    store_.persistent_ = std::move(read.contents.values);
    otherValues = std::move(read.contents.otherValues);
}

void UserDefaults::Persistence::saveNow() {
    std::lock_guard fileLock(fileMutex_);
    const DefaultsFile::ReadResult read = file_.read();
    // 1. Anything but a regular file is left alone.
    if (refused(read, "the change is kept in memory only"))
        return;
    // 2. An outside edit under way (a half-written file, or one just emptied to be
    // written anew): the watcher settles it, then writes the merge.
    const bool emptied = emptiedByOthers(read);
    if (link_ && (read.status == DefaultsFile::Status::damaged || (emptied && !abandoned(read)))) {
        saveHeldBack_ = true;
        return;
    }
    if (emptied) {
        writeOverEmptiedFile();
        return;
    }
    // 3. An outside change the watcher has not reported yet: merging it writes the result.
    if (read.status != DefaultsFile::Status::damaged && read.contents != lastKnown_) {
        adoptLocked(read.contents);
        return;
    }
    // 4. Write.
    writeLocked();
}

UserDefaults::Persistence::Reload UserDefaults::Persistence::reload(bool settled) {
    // A save under way: the file changes again at its end; look once it has settled.
    std::unique_lock fileLock(fileMutex_, std::try_to_lock);
    if (!fileLock.owns_lock())
        return Reload::unsettled;
    if (auto edit = lateEdit()) {
        saveHeldBack_ = false;
        return adoptLocked(*edit) ? Reload::changed : Reload::unchanged;
    }
    const Reload result = reloadPath(settled);
    // Still watching a replaced empty file for a late edit: keep looking.
    return result == Reload::unchanged && replacedEmptyFile_ ? Reload::unsettled : result;
}

UserDefaults::Persistence::Reload UserDefaults::Persistence::reloadPath(bool settled) {
    const DefaultsFile::ReadResult read = file_.read();
    if (refused(read, "the settings in force are kept in memory only"))
        return Reload::unchanged;
    if (emptiedByOthers(read))
        return reloadEmptied(read);
    if (read.status == DefaultsFile::Status::damaged && !settled)
        return Reload::unsettled;
    if (read.status == DefaultsFile::Status::damaged) {
        // It stayed unreadable. The settings in force stay; write them back so that a
        // fresh start sees them.
        saveHeldBack_ = false;
        setAsideDamagedFile(read.error, "keeping the settings in force");
        writeLocked();
        return Reload::unchanged;
    }
    if (read.contents == lastKnown_) {
        // Nothing new (a save of ours, or one that failed); held-back changes go out now.
        if (std::exchange(saveHeldBack_, false))
            writeLocked();
        return Reload::unchanged;
    }
    saveHeldBack_ = false;
    return adoptLocked(read.contents) ? Reload::changed : Reload::unchanged;
}

bool UserDefaults::Persistence::emptiedByOthers(const DefaultsFile::ReadResult& read) const {
    return read.status == DefaultsFile::Status::empty && !emptyWhenLoaded_;
}

bool UserDefaults::Persistence::abandoned(const DefaultsFile::ReadResult& read) {
    return std::chrono::system_clock::now() - read.modified >= emptiedFileGrace;
}

bool UserDefaults::Persistence::refused(const DefaultsFile::ReadResult& read,
                                        const char* consequence) {
    if (read.status != DefaultsFile::Status::notRegular) {
        refusalReported_ = false;
        return false;
    }
    if (!std::exchange(refusalReported_, true)) {
        systemLog("Settings file " + file_.path().string() + " is " + describe(read.error) +
                  ", not a regular file: left alone, " + consequence);
    }
    return true;
}

// Another program emptied the file, most likely to write it anew. The settings in force
// stay (an empty file is no version of them); a change made meanwhile waits for the new
// contents, or until the file has stayed empty too long to be an edit under way.
UserDefaults::Persistence::Reload UserDefaults::Persistence::reloadEmptied(
    const DefaultsFile::ReadResult& read) {
    if (!abandoned(read))
        return Reload::unsettled;
    if (std::exchange(saveHeldBack_, false))
        writeOverEmptiedFile();
    return Reload::unchanged;
}

// What a writer that emptied the file, and still held it when the file was replaced,
// wrote into it since: once it has stopped growing and reads whole.
std::optional<DefaultsFile::Contents> UserDefaults::Persistence::lateEdit() {
    if (!replacedEmptyFile_)
        return std::nullopt;
    DefaultsFile::ReadResult read = DefaultsFile::read(replacedEmptyFile_.get());
    if (read.status == DefaultsFile::Status::empty)
        return std::nullopt;
    if (read.status == DefaultsFile::Status::notRegular || read.size > DefaultsFile::maxFileSize) {
        replacedEmptyFile_ = UniqueFd();
        return std::nullopt;
    }
    if (std::exchange(replacedFileSeen_, {read.size, read.modified}) !=
            std::pair(read.size, read.modified) ||
        read.status != DefaultsFile::Status::ok)
        return std::nullopt;
    replacedEmptyFile_ = UniqueFd();
    return std::move(read.contents);
}

// Writes what a session changed while an outside edit was under way, as it goes away.
void UserDefaults::Persistence::flushHeldBack() {
    std::lock_guard fileLock(fileMutex_);
    if (!std::exchange(saveHeldBack_, false))
        return;
    const DefaultsFile::ReadResult read = file_.read();
    if (refused(read, "the last changes are not saved"))
        return;
    if (read.status == DefaultsFile::Status::ok && read.contents != lastKnown_) {
        adoptLocked(read.contents);
        return;
    }
    if (read.status == DefaultsFile::Status::damaged)
        setAsideDamagedFile(read.error, "saving the settings in force");
    writeLocked();
}

DefaultsFile::Contents UserDefaults::Persistence::snapshotLocked() const {
    return DefaultsFile::Contents{store_.persistent_, otherValues};
}

bool UserDefaults::Persistence::adoptLocked(const DefaultsFile::Contents& onDisk) {
    lastKnown_ = onDisk;
    emptyWhenLoaded_ = false;
    awaitingOutsideEdit_ = false;
    replacedEmptyFile_ = UniqueFd();
    DefaultsFile::Contents merged = onDisk;
    bool changed = false;
    {
        std::lock_guard lock(store_.mutex_);
        for (const auto& [key, change] : unsavedKeys) {
            merged.otherValues.erase(key);
            if (auto it = store_.persistent_.find(key); it != store_.persistent_.end())
                merged.values[key] = it->second;
            else
                merged.values.erase(key);
        }
        changed = merged != snapshotLocked();
        store_.persistent_ = merged.values;
        otherValues = merged.otherValues;
    }
    // The file lacks changes made here: it gets them.
    if (merged != onDisk)
        writeLocked();
    return changed;
}

void UserDefaults::Persistence::writeLocked() {
    DefaultsFile::Contents contents;
    std::map<std::string, std::uint64_t> written;
    {
        std::lock_guard lock(store_.mutex_);
        contents = snapshotLocked();
        written = unsavedKeys;
    }
    QString error;
    if (!file_.write(contents, &error)) {
        systemLog("Could not save the settings to \"" + file_.path().string() +
                  "\": " + describe(error) + "; the change is kept in memory only");
        return;
    }
    lastKnown_ = std::move(contents);
    emptyWhenLoaded_ = false;
    if (awaitingOutsideEdit_)
        return;  // the edit under way still gets them merged
    std::lock_guard lock(store_.mutex_);
    for (const auto& [key, change] : written) {
        // A key changed again meanwhile stays unsaved until its own save.
        if (auto it = unsavedKeys.find(key); it != unsavedKeys.end() && it->second == change)
            unsavedKeys.erase(it);
    }
}

void UserDefaults::Persistence::writeOverEmptiedFile() {
    awaitingOutsideEdit_ = true;
    replacedEmptyFile_ = file_.open();
    replacedFileSeen_ = {};
    writeLocked();
}

void UserDefaults::Persistence::setAsideDamagedFile(const QString& error, const char* consequence) {
    const std::string prefix = "Settings file " + file_.path().string() + " could not be read (" +
                               describe(error) + "); " + consequence;
    // Nothing readable is left under the name, should the rewrite that follows fail.
    lastKnown_ = {};
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
        auto reload = [link](bool settled) {
            std::lock_guard lock(link->mutex);
            const bool done = !link->store || link->store->reloadFromDisk(settled);
            return done ? DefaultsFileWatcher::Outcome::done
                        : DefaultsFileWatcher::Outcome::unsettled;
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
        persistence_->unsavedKeys[key] = ++persistence_->changeCount;
    }
    persistence_->save();
    emitChange(key);
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    {
        std::lock_guard lock(mutex_);
        persistent_.erase(key);
        persistence_->otherValues.erase(key);
        persistence_->unsavedKeys[key] = ++persistence_->changeCount;
    }
    persistence_->save();
    emitChange(key);
}

void UserDefaults::flush() {
    persistence_->flush();
}

bool UserDefaults::reloadFromDisk(bool settled) {
    const std::map<std::string, std::int64_t> before = valuesInForce();
    const Persistence::Reload result = persistence_->reload(settled);
    if (result != Persistence::Reload::changed)
        return result != Persistence::Reload::unsettled;
    const std::map<std::string, std::int64_t> after = valuesInForce();
    // A key that went away reads as 0 now; one that came, as 0 before.
    std::map<std::string, std::int64_t> changed;
    for (const auto& [key, value] : after) {
        auto old = before.find(key);
        if ((old == before.end() ? 0 : old->second) != value)
            changed[key] = value;
    }
    for (const auto& [key, value] : before) {
        if (!after.count(key) && value != 0)
            changed[key] = 0;
    }
    for (const auto& [key, value] : changed)
        emit valueChanged(QString::fromStdString(key), value);
    return true;
}

std::map<std::string, std::int64_t> UserDefaults::valuesInForce() const {
    std::map<std::string, std::int64_t> values;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [key, value] : registered_)
            values[key] = 0;
        for (const auto& [key, value] : persistent_)
            values[key] = 0;
        for (const auto& [key, value] : persistence_->otherValues)
            values[key] = 0;
    }
    for (auto& [key, value] : values)
        value = integerForKey(key);
    return values;
}

void UserDefaults::emitChange(const std::string& key) {
    emit valueChanged(QString::fromStdString(key), integerForKey(key));
}

}  // namespace talvex
