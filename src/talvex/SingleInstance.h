#pragma once

// One lens per user and display: the first Talvex holds a lock file and listens on a
// local socket, both named after the X display, in a folder only the user can enter
// ($XDG_RUNTIME_DIR, else Talvex's folder in the user's cache folder), so that no other
// user can plant a lock or a socket under those names; a later start finds the
// lock taken, asks the running one over the socket to bring its panel forward, and
// ends. The lock (not the socket) decides who runs, so two starts at the same moment
// (a double-click on the launcher) cannot both win; a lock left by a crashed instance
// is recognised by its dead process and taken over.
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

namespace talvex {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `key` distinguishes independent sets of instances (tests use their own).
    explicit SingleInstance(const QString& key = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Tries to become the running instance. False when another one already runs; that
    // one has then been asked to come forward (when it answers in time).
    bool claim();

    QString lockFileName() const;

    // The user's private folder for the lock and the socket: $XDG_RUNTIME_DIR when it
    // is a folder of the user's own that nobody else may enter (mode 0700), else
    // $XDG_CACHE_HOME/talvex or ~/.cache/talvex, made 0700 when missing. Empty, after
    // one line, when the folder exists with another owner or wider permissions.
    static QString privateFolder();

signals:
    // Another start asked this instance to bring its panel forward.
    void activationRequested();

private:
    bool askRunningInstance();
    bool askRunningInstanceWhileItStarts();
    void listen();
    void acceptConnections();

    QString serverName_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace talvex
