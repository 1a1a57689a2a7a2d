#pragma once

// One lens per user and display: the first Talvex listens on a local socket named
// after the user and the X display; a second start finds it, asks it to bring its
// panel forward, and ends.
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace talvex {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `key` distinguishes independent sets of instances (tests use their own).
    explicit SingleInstance(const QString& key = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Tries to become the running instance. False when another one already runs; that
    // one has then been asked to come forward.
    bool claim();

    QString serverName() const { return serverName_; }

signals:
    // Another start asked this instance to bring its panel forward.
    void activationRequested();

private:
    bool askRunningInstance();
    QString serverName_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace talvex
