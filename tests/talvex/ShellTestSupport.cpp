#include "ShellTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "support/PrivateXServer.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace talvex::test {

namespace {
// The children must reach the private server, whatever the test program itself uses.
QProcessEnvironment environmentFor(const QString& display,
                                   const std::filesystem::path& configHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!configHome.empty())
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(configHome));
    return environment;
}
}  // namespace

// --- ChildProcess -------------------------------------------------------------------

ChildProcess::ChildProcess(const QString& display, const std::filesystem::path& configHome) {
    process_.setProcessEnvironment(environmentFor(display, configHome));
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

ChildProcess::~ChildProcess() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished(2000);
}

void ChildProcess::setEnvironmentValue(const QString& name, const QString& value) {
    QProcessEnvironment environment = process_.processEnvironment();
    if (value.isEmpty())
        environment.remove(name);
    else
        environment.insert(name, value);
    process_.setProcessEnvironment(environment);
}

void ChildProcess::start(const QString& program, const QStringList& arguments) {
    process_.start(program, arguments);
    process_.waitForStarted(5000);
}

// The event loop turns meanwhile, so the test's own windows keep answering.
bool ChildProcess::waitForExit(int timeoutMs) {
    return waitUntil([this] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
}

QString ChildProcess::output() {
    return QString::fromLocal8Bit(process_.readAll());
}

bool startOpenbox(ChildProcess& openbox, const QString& display) {
    openbox.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    return waitForWindowManager(display) && openbox.running();
}

QString talvexProgram() {
    return QStringLiteral(TALVEX_BINARY_DIR "/src/talvex");
}

int runOn(const QString& display, const QString& program, const QStringList& arguments,
          int timeoutMs) {
    ChildProcess child(display);
    child.start(program, arguments);
    if (!child.waitForExit(timeoutMs) || child.crashed())
        return -1;
    return child.exitCode();
}

// --- XClient ------------------------------------------------------------------------

XClient::XClient(const QString& display) : display_(XOpenDisplay(display.toLocal8Bit().data())) {}

XClient::~XClient() {
    if (display_)
        XCloseDisplay(display_);
}

std::optional<std::uint64_t> XClient::cardinal(std::uint64_t window, const char* property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom name = XInternAtom(display_, property, False);
    if (XGetWindowProperty(display_, window, name, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) != Success) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> value;
    if (data && count == 1 && format == 32)
        value = *reinterpret_cast<unsigned long*>(data);
    if (data)
        XFree(data);
    return value;
}

// Toolkits store titles as UTF-8, under _NET_WM_NAME and WM_NAME.
QString XClient::windowName(std::uint64_t window) {
    for (const char* property : {"_NET_WM_NAME", "WM_NAME"}) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const Atom name = XInternAtom(display_, property, False);
        if (XGetWindowProperty(display_, window, name, 0, 256, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) != Success) {
            continue;
        }
        QString title;
        if (data && format == 8)
            title = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
        if (data)
            XFree(data);
        if (!title.isEmpty())
            return title;
    }
    return {};
}

// Client windows are children of the root without a window manager, and children of
// the manager's frames (children of the root) with one.
void XClient::collectClients(std::uint64_t parent, int depth, std::vector<std::uint64_t>& out) {
    Window root = 0, parentReturn = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, parent, &root, &parentReturn, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i) {
        out.push_back(children[i]);
        if (depth > 0)
            collectClients(children[i], depth - 1, out);
    }
    if (children)
        XFree(children);
}

// A top-level window is a child of the root, or with a window manager the child of a
// frame; the native child windows inside a toolkit's window are not looked at.
std::vector<std::uint64_t> XClient::viewableWindowsOf(qint64 pid, const QString& name) {
    const auto ofProcess = [&](std::uint64_t window) {
        return cardinal(window, "_NET_WM_PID") == std::optional<std::uint64_t>(pid);
    };
    std::vector<std::uint64_t> topLevels, found;
    collectClients(DefaultRootWindow(display_), 0, topLevels);
    for (std::uint64_t top : std::vector<std::uint64_t>(topLevels)) {
        if (!ofProcess(top))
            collectClients(top, 0, topLevels);
    }
    for (std::uint64_t window : topLevels) {
        if (ofProcess(window) && windowName(window) == name && isViewable(window))
            found.push_back(window);
    }
    return found;
}

bool XClient::isViewable(std::uint64_t window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) &&
           attributes.map_state == IsViewable;
}

bool XClient::hasInputFocus(std::uint64_t window) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    const Window root = DefaultRootWindow(display_);
    while (focus != 0 && focus != PointerRoot && focus != root) {
        if (focus == window)
            return true;
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, focus, &rootReturn, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        focus = parent;
    }
    return false;
}

QStringList XClient::netWmState(std::uint64_t window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QStringList names;
    const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
    if (XGetWindowProperty(display_, window, state, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        const auto* atoms = reinterpret_cast<Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            char* atomName = XGetAtomName(display_, atoms[i]);
            names << QString::fromLatin1(atomName);
            XFree(atomName);
        }
        XFree(data);
    }
    return names;
}

std::vector<std::uint64_t> XClient::clientStacking() {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<std::uint64_t> stacking;
    const Atom list = XInternAtom(display_, "_NET_CLIENT_LIST_STACKING", False);
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), list, 0, 1024, False, XA_WINDOW,
                           &type, &format, &count, &after, &data) == Success &&
        data) {
        const auto* windows = reinterpret_cast<Window*>(data);
        stacking.assign(windows, windows + count);
        XFree(data);
    }
    return stacking;
}

std::vector<std::uint64_t> XClient::rootStacking() {
    std::vector<std::uint64_t> children;
    collectClients(DefaultRootWindow(display_), 0, children);
    return children;
}

QRect XClient::rootGeometry(std::uint64_t window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes))
        return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

unsigned long XClient::visualOf(std::uint64_t window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes) || !attributes.visual)
        return 0;
    return XVisualIDFromVisual(attributes.visual);
}

void XClient::sendRootMessage(std::uint64_t window, const char* type, const long (&data)[5]) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, type, False);
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(display_, DefaultRootWindow(display_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display_);
}

std::uint64_t XClient::createNormalWindow(const QRect& geometry, const QString& title) {
    const Window window = XCreateSimpleWindow(display_, DefaultRootWindow(display_), geometry.x(),
                                              geometry.y(), geometry.width(), geometry.height(), 0,
                                              BlackPixel(display_, 0), WhitePixel(display_, 0));
    XStoreName(display_, window, title.toLocal8Bit().data());
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = geometry.x();
    hints.y = geometry.y();
    hints.width = geometry.width();
    hints.height = geometry.height();
    XSetWMNormalHints(display_, window, &hints);
    XMapRaised(display_, window);
    XSync(display_, False);
    activate(window);
    return window;
}

// Source 2: a pager's request, which window managers honour without focus-stealing
// prevention.
void XClient::activate(std::uint64_t window) {
    sendRootMessage(window, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0, 0, 0});
}

void XClient::raise(std::uint64_t window) {
    XRaiseWindow(display_, window);
    XSync(display_, False);
}

void XClient::requestClose(std::uint64_t window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
}

void XClient::fill(std::uint64_t window, std::uint32_t rgb) {
    // A 24-bit TrueColor screen: the pixel value is the colour.
    XSetWindowBackground(display_, window, rgb);
    XClearWindow(display_, window);
    XSync(display_, False);
}

std::uint32_t XClient::pixelAt(QPoint point) {
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), point.x(), point.y(), 1, 1,
                              AllPlanes, ZPixmap);
    if (!image)
        return 0;
    const std::uint32_t pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xffffffu;
    XDestroyImage(image);
    return pixel;
}

void XClient::grabCtrlAltL() {
    XGrabKey(display_, XKeysymToKeycode(display_, XK_l), ControlMask | Mod1Mask,
             DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync);
    XSync(display_, False);
}

}  // namespace talvex::test
