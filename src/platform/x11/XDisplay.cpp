#include "platform/x11/XDisplay.h"

#include <poll.h>

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <mutex>

#include "platform/x11/XErrorPolicy.h"

// Xlib last: its macros (None, Bool, Status) collide with Qt names.
#include <X11/Xlib.h>

namespace talvex {

namespace {

// Opening and closing are serialised: a closed connection's address may be handed to
// the next one opened, and the error policy tracks connections by address.
std::mutex& lifecycleMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::shared_ptr<XDisplay> XDisplay::open(const char* name) {
    std::lock_guard lock(lifecycleMutex());
    Display* display = XOpenDisplay(name);
    if (!display) {
        return nullptr;
    }
    // The toolkit has its handlers in place by the time anyone captures; ours go on top.
    XErrorPolicy::install();
    XErrorPolicy::adopt(display);
    return std::make_shared<XDisplay>(Key{}, display);
}

// A broken connection is left as it is: closing it is a request, and Xlib blocks it
// for good when another thread met the break. Its socket goes with the process.
XDisplay::~XDisplay() {
    std::lock_guard lock(lifecycleMutex());
    if (!lost()) {
        XCloseDisplay(display_);
    }
    XErrorPolicy::release(display_);
}

XWindowId XDisplay::root() const {
    return static_cast<XWindowId>(DefaultRootWindow(display_));
}

int XDisplay::screen() const {
    return DefaultScreen(display_);
}

bool XDisplay::lost() const {
    return XErrorPolicy::connectionLost(display_);
}

std::optional<PixelRect> windowSize(Display* display, XWindowId window) {
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (!XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth)) {
        return std::nullopt;
    }
    return PixelRect{0, 0, static_cast<int>(width), static_cast<int>(height)};
}

PointerState queryPointer(Display* display, XWindowId root) {
    PointerState state;
    Window rootReturned = 0;
    Window child = 0;
    int windowX = 0;
    int windowY = 0;
    XQueryPointer(display, root, &rootReturned, &child, &state.rootX, &state.rootY, &windowX,
                  &windowY, &state.buttonsAndModifiers);
    return state;
}

void prepareThreads() {
    XInitThreads();
}

namespace {

Display* toolkitDisplay() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

}  // namespace

void syncToolkitConnection() {
    if (Display* dpy = toolkitDisplay())
        XSync(dpy, False);
}

bool serverHungUp(Display* display) {
    pollfd descriptor{ConnectionNumber(display), POLLRDHUP, 0};
    return poll(&descriptor, 1, 0) > 0 &&
           (descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool toolkitServerHungUp() {
    Display* dpy = toolkitDisplay();
    return dpy && serverHungUp(dpy);
}

}  // namespace talvex
