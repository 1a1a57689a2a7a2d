#include "platform/DefaultsFileWatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace talvex {

DefaultsFileWatcher::DefaultsFileWatcher(std::filesystem::path file, std::function<void()> changed,
                                         QObject* parent)
    : QObject(parent),
      file_(std::move(file)),
      changed_(std::move(changed)),
      watcher_(new QFileSystemWatcher(this)),
      settle_(new QTimer(this)) {
    settle_->setSingleShot(true);
    settle_->setInterval(settleMilliseconds);
    connect(settle_, &QTimer::timeout, this, [this] {
        rewatchFile();
        changed_();
    });
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { noteEvent(); });
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { noteEvent(); });

    const QString folder = QString::fromStdString(file_.parent_path().string());
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        watcher_->addPath(folder);
    }
    watchFileIfPresent();
}

void DefaultsFileWatcher::watchFileIfPresent() {
    const QString path = QString::fromStdString(file_.string());
    if (QFileInfo::exists(path) && !watcher_->files().contains(path))
        watcher_->addPath(path);
}

void DefaultsFileWatcher::rewatchFile() {
    watcher_->removePath(QString::fromStdString(file_.string()));
    watchFileIfPresent();
}

void DefaultsFileWatcher::noteEvent() {
    watchFileIfPresent();
    settle_->start();
}

}  // namespace talvex
