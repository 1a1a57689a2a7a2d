#include "app/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <string>

#include "app/Window.h"
#include "support/PrivateXServer.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros (None, Bool, Status) collide with Qt names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace talvex::test {

namespace {
constexpr char privateDisplayVariable[] = "TALVEX_TEST_PRIVATE_XVFB";

void sendMouse(QWidget* widget, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    const QPointF local = widget->mapFromGlobal(QPointF(global));
    QMouseEvent event(type, local, QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}
}  // namespace

SignalRecorder::SignalRecorder(const Window& window) : window_(window) {
    clock_.start();
    const auto record = [this](const char* name) {
        return [this, name] {
            posted_.push_back({name, clock_.elapsed(), window_.pos(), window_.dragging()});
        };
    };
    connections_ = {
        QObject::connect(&window, &Window::draggingStarted, record("draggingStarted")),
        QObject::connect(&window, &Window::draggingEnded, record("draggingEnded")),
        QObject::connect(&window, &Window::moved, record("moved")),
        QObject::connect(&window, &Window::liveResizeStarted, record("liveResizeStarted")),
        QObject::connect(&window, &Window::liveResizeEnded, record("liveResizeEnded")),
        QObject::connect(&window, &Window::occlusionStateChanged, record("occlusionStateChanged")),
    };
}

SignalRecorder::~SignalRecorder() {
    for (const QMetaObject::Connection& connection : connections_)
        QObject::disconnect(connection);
}

int SignalRecorder::count(const std::string& name) const {
    return static_cast<int>(named(name).size());
}

std::vector<EmittedSignal> SignalRecorder::named(const std::string& name) const {
    std::vector<EmittedSignal> found;
    for (const auto& p : posted_) {
        if (p.name == name)
            found.push_back(p);
    }
    return found;
}

void sendPress(QWidget* widget, QPoint global) {
    sendMouse(widget, QEvent::MouseButtonPress, global, Qt::LeftButton, Qt::LeftButton);
}

void sendDrag(QWidget* widget, QPoint global) {
    sendMouse(widget, QEvent::MouseMove, global, Qt::NoButton, Qt::LeftButton);
}

void sendRelease(QWidget* widget, QPoint global) {
    sendMouse(widget, QEvent::MouseButtonRelease, global, Qt::LeftButton, Qt::NoButton);
}

bool onPrivateDisplay() {
    return qEnvironmentVariableIsSet(privateDisplayVariable);
}

bool canRunPrivateDisplay() {
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

bool runOnPrivateDisplay(QString* output) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const QString filter =
        QStringLiteral("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name());
    PrivateXServer server;
    if (!server.isRunning()) {
        *output = QStringLiteral("Xvfb did not start");
        return false;
    }
    QProcess child;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(privateDisplayVariable, QStringLiteral("1"));
    environment.insert(QStringLiteral("DISPLAY"), server.name());
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {filter});
    const bool finished = child.waitForFinished(120000);
    if (!finished)
        child.kill();
    child.waitForFinished(5000);
    *output = QString::fromLocal8Bit(child.readAll());
    return finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
           output->contains(QStringLiteral("[  PASSED  ] 1 test"));
}

int runTool(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess tool;
    tool.start(program, arguments);
    if (!waitUntil([&] { return tool.state() == QProcess::NotRunning; }, timeoutMs)) {
        tool.kill();
        tool.waitForFinished(2000);
        return -1;
    }
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

QPoint xRootPosition(XWindowId windowId) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, windowId, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    XCloseDisplay(display);
    return {x, y};
}

std::string describeWindow(XWindowId windowId) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return "no display";
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, windowId, &attributes);
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, windowId, &root, &parent, &children, &count);
    if (children)
        XFree(children);
    std::string text = "map state " + std::to_string(attributes.map_state) + ", parent " +
                       std::to_string(parent) + ", root children:";
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a{};
        XGetWindowAttributes(display, children[i], &a);
        text += " " + std::to_string(children[i]) + "(" + std::to_string(a.map_state) + "," +
                std::to_string(a.x) + "," + std::to_string(a.y) + "," + std::to_string(a.width) +
                "x" + std::to_string(a.height) + ")";
    }
    if (children)
        XFree(children);
    XCloseDisplay(display);
    return text;
}

bool isIconic(XWindowId windowId) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, windowId, wmState, 0, 2, False, wmState, &type,
                                          &format, &count, &after, &data);
    const bool iconic = status == Success && format == 32 && count >= 1 &&
                        reinterpret_cast<const long*>(data)[0] == IconicState;
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return iconic;
}

QStringList atomNames(XWindowId windowId, const char* property) {
    QStringList names;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return names;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, windowId, XInternAtom(display, property, False), 0, 64, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        format == 32) {
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(display, reinterpret_cast<const Atom*>(data)[i]);
            names << QString::fromLatin1(name);
            XFree(name);
        }
    }
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return names;
}

void requestWmStates(XWindowId windowId, const QStringList& states) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = windowId;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // _NET_WM_STATE_ADD
    for (int i = 0; i < states.size() && i < 2; ++i)
        event.xclient.data.l[1 + i] = XInternAtom(display, states[i].toLatin1().constData(), False);
    event.xclient.data.l[3] = 2;  // from a pager: applied as asked
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XCloseDisplay(display);
}

void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

}  // namespace talvex::test
