#include "talvex/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include "platform/SystemLog.h"

namespace talvex {

namespace {
constexpr int connectTimeoutMs = 500;
// How long a second start keeps asking an instance that holds the lock but is still
// launching (not yet listening).
constexpr int startupGraceMs = 3000;
constexpr int retryPauseMs = 100;
constexpr char activateMessage[] = "activate\n";

QString defaultServerName(const QString& key) {
    const QString folder = SingleInstance::privateFolder();
    if (folder.isEmpty())
        return {};
    QString display = qEnvironmentVariable("DISPLAY", QStringLiteral("none"));
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir(folder).filePath(QStringLiteral("talvex-%1%2").arg(display, key));
}

// A real folder (not a link to one) of this user's that nobody else may enter.
bool isPrivateFolder(const QString& path) {
    struct stat status {};
    return lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == getuid() && (status.st_mode & 0777) == 0700;
}

QString cacheFolder() {
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!cache.isEmpty() && QDir::isAbsolutePath(cache))
        return QDir(cache).filePath(QStringLiteral("talvex"));
    return QDir::home().filePath(QStringLiteral(".cache/talvex"));
}
}  // namespace

QString SingleInstance::privateFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    const QString folder = cacheFolder();
    QDir().mkpath(QFileInfo(folder).path());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    if (isPrivateFolder(folder))
        return folder;
    systemLog("Refusing " + folder.toStdString() +
              ": not a folder of this user's with mode 0700; not checking for another Talvex.");
    return {};
}

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), serverName_(defaultServerName(key)) {}

SingleInstance::~SingleInstance() {
    // Stop listening before the lock goes, so a new start never finds a socket
    // without its owner's lock.
    server_.reset();
    lock_.reset();
}

QString SingleInstance::lockFileName() const {
    return serverName_.isEmpty() ? QString() : serverName_ + QStringLiteral(".lock");
}

bool SingleInstance::claim() {
    if (serverName_.isEmpty())
        return true;  // no private folder (logged): run unguarded
    lock_ = std::make_unique<QLockFile>(lockFileName());
    // Held for the whole run: never stale by age, only when its process is gone.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            lock_.reset();
            askRunningInstanceWhileItStarts();
            return false;
        }
        // The lock file cannot be made: run unguarded.
        systemLog("Cannot create " + lockFileName().toStdString() +
                  "; not checking for another Talvex.");
        lock_.reset();
        return true;
    }
    listen();
    return true;
}

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
    socket.write(activateMessage);
    socket.waitForBytesWritten(connectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::askRunningInstanceWhileItStarts() {
    const QDeadlineTimer deadline(startupGraceMs);
    while (!askRunningInstance()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(retryPauseMs);
    }
    return true;
}

void SingleInstance::listen() {
    // We hold the lock: a socket file left behind belongs to an instance that died.
    QLocalServer::removeServer(serverName_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_)) {
        systemLog("Cannot listen on " + serverName_.toStdString() + ": " +
                  server_->errorString().toStdString());
        server_.reset();
        return;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (client->readAll().contains("activate"))
                emit activationRequested();
        });
    }
}

}  // namespace talvex
