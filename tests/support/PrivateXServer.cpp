#include "support/PrivateXServer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>

#include "support/TestEnvironment.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>

namespace talvex::test {

namespace {
constexpr int serverStartTimeoutMs = 20000;

bool answers(const QString& display) {
    Display* connection = XOpenDisplay(display.toLocal8Bit().constData());
    if (connection)
        XCloseDisplay(connection);
    return connection != nullptr;
}

bool hasProperty(Display* display, ::Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False,
                           AnyPropertyType, &type, &format, &count, &after, &data);
    if (data)
        XFree(data);
    return status == Success && type != 0 && count > 0;
}

// Whether the window manager manages a window mapped now (it sets the window's
// WM_STATE) within `timeoutMs`.
bool managesAProbe(Display* display, int timeoutMs) {
    const ::Window probe =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(display, probe);
    XSync(display, False);
    const bool managed =
        waitUntil([&] { return hasProperty(display, probe, "WM_STATE"); }, timeoutMs);
    XDestroyWindow(display, probe);
    XSync(display, False);
    return managed;
}

// A window manager announces itself before its start-up is done, and a window mapped
// in between may never be managed; it has taken over once a probe window is.
bool managesNewWindows(Display* display, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    if (!waitUntil(
            [&] {
                return hasProperty(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK");
            },
            timeoutMs))
        return false;
    while (clock.elapsed() < timeoutMs) {
        if (managesAProbe(display, 1000))
            return true;
    }
    return false;
}
}  // namespace

PrivateXServer::PrivateXServer(const QStringList& extraArguments) {
    // -displayfd 1: the server picks a free display number and writes it to stdout
    // once it accepts connections. -noreset: without it the server resets whenever its
    // last client goes (a probe of the display, say), and refuses connections meanwhile.
    const QStringList arguments{QStringLiteral("-displayfd"), QStringLiteral("1"),
                                QStringLiteral("-noreset"),   QStringLiteral("-screen"),
                                QStringLiteral("0"),          QStringLiteral("1280x800x24"),
                                QStringLiteral("-nolisten"),  QStringLiteral("tcp"),
                                QStringLiteral("+extension"), QStringLiteral("Composite")};
    server_.start(QStringLiteral("Xvfb"), arguments + extraArguments);
    if (!server_.waitForStarted(serverStartTimeoutMs))
        return;
    QByteArray printed;
    waitUntil(
        [&] {
            printed += server_.readAllStandardOutput();
            return printed.contains('\n') || server_.state() == QProcess::NotRunning;
        },
        serverStartTimeoutMs);
    bool ok = false;
    const int number = printed.trimmed().toInt(&ok);
    const QString name = QStringLiteral(":%1").arg(number);
    if (ok && waitUntil([&] { return answers(name); }, serverStartTimeoutMs))
        name_ = name;
}

PrivateXServer::~PrivateXServer() {
    server_.terminate();
    if (!server_.waitForFinished(5000))
        server_.kill();
    server_.waitForFinished(2000);
}

void PrivateXServer::kill() {
    server_.kill();
    server_.waitForFinished(5000);
}

bool waitForWindowManager(const QString& display, int timeoutMs) {
    Display* connection = XOpenDisplay(display.toLocal8Bit().constData());
    if (!connection)
        return false;
    const bool managed = managesNewWindows(connection, timeoutMs);
    XCloseDisplay(connection);
    return managed;
}

}  // namespace talvex::test
