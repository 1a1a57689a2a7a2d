#pragma once

// Helpers for running the real talvex program as a child process on an X server of
// its own (a fresh Xvfb, so that window managers, stacking and keyboard focus never
// disturb other tests sharing the test display), and for looking at its windows with
// plain Xlib the way a window manager or a pager would.
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "support/PrivateXServer.h"

typedef struct _XDisplay Display;

namespace talvex::test {

// A program (talvex, openbox, xdotool) with DISPLAY set to `display`; killed if it
// still runs when this goes.
class ChildProcess {
public:
    ChildProcess(const QString& display, const std::filesystem::path& configHome = {});
    ~ChildProcess();
    // Sets a variable of the environment for the next start; an empty value unsets it.
    void setEnvironmentValue(const QString& name, const QString& value);
    void start(const QString& program, const QStringList& arguments = {});
    bool waitForExit(int timeoutMs);
    bool running() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }
    int exitCode() const { return process_.exitCode(); }
    bool crashed() const { return process_.exitStatus() == QProcess::CrashExit; }
    QString output();

private:
    QProcess process_;
};

// Starts openbox in `openbox` and waits until it manages windows; false when it did not.
bool startOpenbox(ChildProcess& openbox, const QString& display);

// The talvex program in the build tree.
QString talvexProgram();
// Runs `program` to its end on `display`; its exit status, -1 if it did not finish.
int runOn(const QString& display, const QString& program, const QStringList& arguments,
          int timeoutMs = 10000);

// A connection of the test's own to a (private) X server.
class XClient {
public:
    explicit XClient(const QString& display);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;
    bool isOpen() const { return display_ != nullptr; }

    // The mapped top-level client windows of process `pid` whose name is `name`.
    std::vector<std::uint64_t> viewableWindowsOf(qint64 pid, const QString& name);
    bool isViewable(std::uint64_t window);
    // Whether the keyboard focus is on `window` or one of its descendants.
    bool hasInputFocus(std::uint64_t window);
    // Atom names of the window's _NET_WM_STATE.
    QStringList netWmState(std::uint64_t window);
    // The window manager's stacking list, bottom first (_NET_CLIENT_LIST_STACKING).
    std::vector<std::uint64_t> clientStacking();
    // The root's children, bottom first (the stacking order without a window manager).
    std::vector<std::uint64_t> rootStacking();
    // The window's area in root coordinates.
    QRect rootGeometry(std::uint64_t window);
    // The id of the window's visual; 0 when it is gone.
    unsigned long visualOf(std::uint64_t window);

    // An ordinary application window of this client: mapped, then activated the way a
    // pager or task bar activates a window.
    std::uint64_t createNormalWindow(const QRect& geometry, const QString& title);
    // Puts the window on top of its siblings.
    void raise(std::uint64_t window);
    // Asks the window manager to activate the window, as a pager does.
    void activate(std::uint64_t window);
    // Asks the window to close, as a window manager's close command does.
    void requestClose(std::uint64_t window);
    // Paints the whole window in `rgb` (0xRRGGBB), now and whenever it is exposed.
    void fill(std::uint64_t window, std::uint32_t rgb);
    // The colour on screen at `point` (root coordinates), as 0xRRGGBB.
    std::uint32_t pixelAt(QPoint point);
    // Holds Ctrl+Alt+L (locks off) on the root, as another application's shortcut.
    void grabCtrlAltL();

private:
    std::optional<std::uint64_t> cardinal(std::uint64_t window, const char* property);
    QString windowName(std::uint64_t window);
    void collectClients(std::uint64_t parent, int depth, std::vector<std::uint64_t>& out);
    void sendRootMessage(std::uint64_t window, const char* type, const long (&data)[5]);

    Display* display_ = nullptr;
};

}  // namespace talvex::test
