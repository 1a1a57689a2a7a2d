#pragma once

// An X server of a test's own: a fresh Xvfb that picks a free display number itself
// (-displayfd), so that parallel runs and other servers on the machine never meet.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace talvex::test {

class PrivateXServer {
public:
    // A 1280x800x24 screen with Composite; `extraArguments` go to Xvfb as well.
    explicit PrivateXServer(const QStringList& extraArguments = {});
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // Ends the server at once, as a crash would.
    void kill();
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
