#pragma once

// An X server of a test's own: a fresh Xvfb that picks a free display number itself
// (-displayfd), so that parallel runs and other servers on the machine never meet.
#include <QProcess>
#include <QString>

namespace talvex::test {

class PrivateXServer {
public:
    // `screen` is Xvfb's -screen 0 argument.
    explicit PrivateXServer(const QString& screen = QStringLiteral("1280x800x24"));
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    bool isRunning() const { return !name_.isEmpty(); }
    // ":N"
    QString name() const { return name_; }

private:
    QProcess server_;
    QString name_;
};

// Waits until a window manager has taken over the screen of `display` and finished
// setting it up; false after `timeoutMs`.
bool waitForWindowManager(const QString& display, int timeoutMs = 20000);

}  // namespace talvex::test
