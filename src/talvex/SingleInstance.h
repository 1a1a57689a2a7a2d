#pragma once

// One lens per user and display: the first Talvex holds a lock file and listens on a
// local socket, both named after the user and the X display; a later start finds the
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

    QString serverName() const { return serverName_; }
    QString lockFileName() const;

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
