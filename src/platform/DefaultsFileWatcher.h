#pragma once

// Notices changes that another process (a second instance, a hand edit) makes to a
// settings file. inotify loses a watched file when it is replaced by a rename, as every
// atomic save does, so the folder is watched as well and the file re-added after each
// event. Events arriving in a burst (temporary file, rename, attribute change) are
// settled into one call of `changed`, on the thread the watcher lives on.
//
// A writer that rewrites the file in place may pause half-way. When the owner cannot use
// the file yet it answers `unsettled`; the watcher then calls again with `stable` true
// once the file has kept its size and modification time for stableMilliseconds (any
// change meanwhile starts the wait again), and keeps doing so while the answer stays
// `unsettled`.
#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>

class QFileSystemWatcher;
class QTimer;

namespace talvex {

class DefaultsFileWatcher : public QObject {
public:
    static constexpr int settleMilliseconds = 30;
    static constexpr int stableMilliseconds = 500;

    enum class Outcome { done, unsettled };
    using Changed = std::function<Outcome(bool stable)>;

    DefaultsFileWatcher(std::filesystem::path file, Changed changed, QObject* parent = nullptr);

private:
    // What tells one state of the file from another without reading it.
    struct Signature {
        bool exists = false;
        std::int64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const Signature&) const = default;
    };

    std::filesystem::path file_;
    Changed changed_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
    QTimer* stable_;
    Signature awaited_;

    void watchFileIfPresent();
    // A watch follows an inode; after a rename-replace it must move to the new file.
    void rewatchFile();
    void noteEvent();
    void report(bool stable);
    void awaitStableFile();
    void checkStable();
    Signature signature() const;
};

}  // namespace talvex
