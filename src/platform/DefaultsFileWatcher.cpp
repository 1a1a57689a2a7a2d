#include "platform/DefaultsFileWatcher.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace talvex {

namespace {

QTimer* singleShotTimer(int milliseconds, QObject* parent) {
    auto* timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setInterval(milliseconds);
    return timer;
}

}  // namespace

DefaultsFileWatcher::DefaultsFileWatcher(std::filesystem::path file, Changed changed,
                                         QObject* parent)
    : QObject(parent),
      file_(std::move(file)),
      changed_(std::move(changed)),
      watcher_(new QFileSystemWatcher(this)),
      settle_(singleShotTimer(settleMilliseconds, this)),
      stable_(singleShotTimer(stableMilliseconds, this)) {
    connect(settle_, &QTimer::timeout, this, [this] { report(false); });
    connect(stable_, &QTimer::timeout, this, [this] { checkStable(); });
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

void DefaultsFileWatcher::report(bool stable) {
    rewatchFile();
    if (changed_(stable) == Outcome::unsettled) {
        awaitStableFile();
    } else {
        stable_->stop();
    }
}

void DefaultsFileWatcher::awaitStableFile() {
    awaited_ = signature();
    stable_->start();
}

void DefaultsFileWatcher::checkStable() {
    if (signature() == awaited_) {
        report(true);
    } else {
        awaitStableFile();
    }
}

DefaultsFileWatcher::Signature DefaultsFileWatcher::signature() const {
    struct stat info {};
    if (::stat(file_.c_str(), &info) != 0)
        return Signature{};
    return Signature{true, static_cast<std::int64_t>(info.st_ino), info.st_size,
                     info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec};
}

}  // namespace talvex
