#pragma once

// Helpers for the panel window tests: a recorder of the signals a window emits,
// synthetic mouse events, and running a test again on an X server of its own (for
// tests that move the real pointer, stack windows or start a window manager, which
// would disturb other tests sharing a display).
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/x11/XWindowId.h"

class QWidget;

namespace talvex {
class Window;
}

namespace talvex::test {

struct EmittedSignal {
    std::string name;     // the signal's
    qint64 atMs;          // since the recorder was made
    QPoint windowPos;     // the window's position when it was emitted
    bool windowDragging;  // the window's `dragging` when it was emitted
};

class SignalRecorder {
public:
    explicit SignalRecorder(const Window& window);
    ~SignalRecorder();
    SignalRecorder(const SignalRecorder&) = delete;
    SignalRecorder& operator=(const SignalRecorder&) = delete;

    int count(const std::string& name) const;
    std::vector<EmittedSignal> named(const std::string& name) const;
    qint64 elapsedMs() const { return clock_.elapsed(); }
    void clear() { posted_.clear(); }

private:
    const Window& window_;
    QElapsedTimer clock_;
    std::vector<EmittedSignal> posted_;
    std::vector<QMetaObject::Connection> connections_;
};

// Sends a left-button press, a drag move or a release at the global position `global`
// to `widget`, as the toolkit would deliver them (through QApplication, so that they
// propagate to parents that the widget leaves them to).
void sendPress(QWidget* widget, QPoint global);
void sendDrag(QWidget* widget, QPoint global);
void sendRelease(QWidget* widget, QPoint global);

// True inside the private X server started by runOnPrivateDisplay().
bool onPrivateDisplay();
// Runs the current test in a new process on a fresh Xvfb; true when it passed.
// `output` receives the process's output.
bool runOnPrivateDisplay(QString* output);
bool canRunPrivateDisplay();

// Runs `command` (xdotool, openbox ...) with the event loop turning meanwhile; returns
// its exit status (-1 when it did not finish in time).
int runTool(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

// Where the X server has the top-left corner of window `windowId`, in root coordinates
// (the toolkit's own idea may lag behind under a window manager).
QPoint xRootPosition(XWindowId windowId);

// The window's map state, its parent and the root's children above the top-level that
// holds it, for failure messages.
std::string describeWindow(XWindowId windowId);

// Whether the window manager has iconified window `windowId` (its WM_STATE).
bool isIconic(XWindowId windowId);

// The names of the atoms in the atom-list property `property` (_NET_WM_STATE,
// _NET_WM_ALLOWED_ACTIONS ...) of window `windowId`.
QStringList atomNames(XWindowId windowId, const char* property);
// Asks the window manager, as a pager or wmctrl does, to add `states` to the
// _NET_WM_STATE of window `windowId` (at most two per request).
void requestWmStates(XWindowId windowId, const QStringList& states);

// Waits `ms` milliseconds with the event loop turning.
void spin(int ms);

}  // namespace talvex::test

// Runs the rest of the test body on a private Xvfb (in a child process); outside it,
// reports the child's result.
#define TALVEX_ON_PRIVATE_DISPLAY()                                        \
    do {                                                                   \
        if (!::talvex::test::onPrivateDisplay()) {                         \
            if (!::talvex::test::canRunPrivateDisplay())                   \
                GTEST_SKIP() << "Xvfb is not available";                   \
            QString childOutput;                                           \
            EXPECT_TRUE(::talvex::test::runOnPrivateDisplay(&childOutput)) \
                << childOutput.toStdString();                              \
            return;                                                        \
        }                                                                  \
    } while (0)
