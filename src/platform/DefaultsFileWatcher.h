#pragma once

// Notices changes that another process (a second instance, a hand edit) makes to a
// settings file. inotify loses a watched file when it is replaced by a rename, as every
// atomic save does, so the folder is watched as well and the file re-added after each
// event. Events arriving in a burst (temporary file, rename, attribute change) are
// settled into one call of `changed`, on the thread the watcher lives on.
#include <QObject>
#include <filesystem>
#include <functional>

class QFileSystemWatcher;
class QTimer;

namespace talvex {

class DefaultsFileWatcher : public QObject {
public:
    static constexpr int settleMilliseconds = 30;

    DefaultsFileWatcher(std::filesystem::path file, std::function<void()> changed,
                        QObject* parent = nullptr);

private:
    std::filesystem::path file_;
    std::function<void()> changed_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;

    void watchFileIfPresent();
    // A watch follows an inode; after a rename-replace it must move to the new file.
    void rewatchFile();
    void noteEvent();
};

}  // namespace talvex
