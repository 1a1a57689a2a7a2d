#pragma once

// The user-defaults store. Two domains are consulted in order:
//   1. the persistent domain: values the user stored, kept in a JSON file in the user's
//      XDG config folder ($XDG_CONFIG_HOME/Talvex/, else ~/.config/Talvex/);
//   2. the registration domain: registerDefaults(), in memory only, never written.
// Every write emits valueChanged(key, value in force), even when the value does not
// change. Reads and writes are safe from any thread; the signal is emitted on the
// writing thread, so an observer living on another thread gets it queued.
//
// Durability: a write takes effect in memory at once and is saved by the store's own
// thread (SettingsWriter): a burst of writes becomes one save, made once the burst has
// paused for 100 ms and at most 400 ms after its first write; flush() and the
// destructor wait for it (the application flushes as it quits). Each save replaces the
// file atomically (see DefaultsFile); a save that fails (a full disk, settings that would
// exceed DefaultsFile::maxFileSize) logs one line, leaves the old file as it was, and
// the value stays in force in memory, to be saved with the next change. A file
// that cannot be parsed, or is larger than the limit, is moved aside as
// "defaults.json.corrupt-<timestamp>" (one log line) and the store starts from the
// defaults. Anything but a regular file at the path (a FIFO, a device, also behind a
// symbolic link) is neither read nor replaced: one log line, and the settings live in
// memory only while it is there. Temporary files that an interrupted save left beside
// the file are removed when a store is created. Values of other JSON types in the file
// read as 0 and are written back unchanged.
//
// Outside changes: a store created while a QCoreApplication exists watches its file
// from the main thread; a change written by another process is adopted and announced
// with the same signal, once per changed key, on the main thread. The store's own saves are
// recognised and not announced twice. An outside change is merged with the changes
// made here that the file does not hold yet; where both changed one key, this store's
// value wins. A file that cannot be parsed after an outside change may still be being
// written: the store waits until it has stopped changing, and meanwhile saves nothing
// over it (changes stay in memory until then). Only a file that stays unreadable is set
// aside. A file another program empties is taken as an edit under way (truncate, then
// write), not as settings: the settings in force stay, and a change made meanwhile is
// merged with the new contents; should the file stay empty for ten seconds, the change
// is saved over it (and what a writer still holding the emptied file puts there later
// is merged all the same), and a store that goes away saves what it held back. A file
// already empty when the store is created is no edit under way. Destroy a store on the
// main thread, not from inside one of its signals.
#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

namespace talvex {

class UserDefaults : public QObject {
    Q_OBJECT

public:
    // A registered or stored value. A boolean reads as integer 1 (YES) or 0 (NO).
    using Value = std::variant<bool, std::int64_t>;

    // The process's store, backed by the default settings file.
    static UserDefaults& standard();
    // The default settings file: <XDG config>/Talvex/defaults.json.
    static std::filesystem::path defaultFilePath();

    // A store backed by `file` (tests, tools). The file need not exist.
    explicit UserDefaults(std::filesystem::path file);
    ~UserDefaults() override;
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    void registerDefaults(const std::map<std::string, Value>& defaults);

    // The stored value, else the registered one, as an integer; 0 when absent.
    std::int64_t integerForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const { return integerForKey(key) != 0; }
    // The integer or boolean in the persistent domain only, if any (a value of another
    // JSON type there gives nothing).
    std::optional<Value> persistentValueForKey(const std::string& key) const;

    // Stores `value` under `key` durably, then emits valueChanged.
    void setIntegerForKey(std::int64_t value, const std::string& key);
    void removeObjectForKey(const std::string& key);
    // Returns once every change made so far is saved, or its save failed and was logged,
    // or it is held back for an outside edit under way (see below).
    void flush();

    const std::filesystem::path& filePath() const { return file_; }

    // Re-reads the file after another process changed it; emits valueChanged for each
    // key whose value in force changed. A file that cannot be parsed is left alone
    // unless `settled` (its writer may be half-way through): the answer is then false,
    // and the caller calls again once the file has stopped changing; so too while a save
    // of this store is under way. A settled unreadable file is set aside and rewritten
    // from the settings in force.
    bool reloadFromDisk(bool settled = true);

signals:
    // `key` now reads as `value` (integerForKey).
    void valueChanged(const QString& key, qint64 value);

private:
    class Persistence;
    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::map<std::string, Value> registered_;
    std::map<std::string, Value> persistent_;
    std::unique_ptr<Persistence> persistence_;

    // Every key with a value in force, as integerForKey reads it.
    std::map<std::string, std::int64_t> valuesInForce() const;
    void emitChange(const std::string& key);
};

}  // namespace talvex
