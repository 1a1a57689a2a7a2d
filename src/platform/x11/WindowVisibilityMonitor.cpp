#include "platform/x11/WindowVisibilityMonitor.h"

#include <QSocketNotifier>
#include <QTimer>

#include "platform/SystemLog.h"
#include "platform/x11/EventConnection.h"
#include "platform/x11/WindowStack.h"
#include "platform/x11/XDisplay.h"

// Xlib last: its macros (None, Bool, Status) collide with Qt names.
#include <X11/Xlib.h>

namespace talvex {

WindowVisibilityMonitor::WindowVisibilityMonitor(Handler handler) : handler_(std::move(handler)) {
    // X errors on this connection (the window may vanish at any time) are absorbed.
    connection_ = EventConnection::open(nullptr, [this] { readEvents(); });
    if (!connection_)
        systemLog("Cannot open the X display to follow the window's visibility.");
}

WindowVisibilityMonitor::~WindowVisibilityMonitor() = default;

bool WindowVisibilityMonitor::isAvailable() const {
    return connection_ != nullptr;
}

void WindowVisibilityMonitor::watch(XWindowId windowId) {
    if (!connection_ || windowId == window_)
        return;
    Display* display = connection_->display->get();
    const XWindowId previous = window_;
    window_ = windowId;
    bool viewable = false;
    if (previous != 0)
        XSelectInput(display, previous, NoEventMask);
    if (windowId != 0) {
        XSelectInput(display, connection_->display->root(), SubstructureNotifyMask);
        XSelectInput(display, windowId, StructureNotifyMask | VisibilityChangeMask);
        // The round trip also makes sure the selection is in force before the toolkit
        // maps the window on its own connection.
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, windowId, &attributes)) {
            viewable = attributes.map_state == IsViewable;
        }
    } else {
        XFlush(display);
    }
    // The round trips may have queued events that the socket will not announce.
    QTimer::singleShot(0, connection_->notifier.get(), [this] { readEvents(); });
    covered_ = false;
    update(viewable, false);
    scheduleCoverCheck();
}

void WindowVisibilityMonitor::readEvents() {
    Display* display = connection_->display->get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        handleEvent(&event);
    }
}

// A window that becomes viewable always receives a VisibilityNotify; a window that
// stops being viewable receives an UnmapNotify when it is unmapped itself. Both are
// needed: a window mapped inside an unmapped frame is not yet visible.
void WindowVisibilityMonitor::handleEvent(const void* raw) {
    const auto& event = *static_cast<const XEvent*>(raw);
    if (isStackChange(raw))
        scheduleCoverCheck();
    switch (event.type) {
        case VisibilityNotify:
            if (event.xvisibility.window != window_)
                return;
            update(true, event.xvisibility.state == VisibilityFullyObscured);
            break;
        case UnmapNotify:
            if (event.xunmap.window != window_)
                return;
            update(false, false);
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window != window_)
                return;
            window_ = 0;
            update(false, false);
            break;
        default:
            break;
    }
}

// A change among the root's children, reported to the root's substructure mask (the
// structure events name the window they are reported to first, as `xany.window`).
bool WindowVisibilityMonitor::isStackChange(const void* raw) const {
    const auto& event = *static_cast<const XEvent*>(raw);
    switch (event.type) {
        case MapNotify:
        case UnmapNotify:
        case ConfigureNotify:
        case DestroyNotify:
        case CirculateNotify:
        case ReparentNotify:
            return event.xany.window == connection_->display->root();
        default:
            return false;
    }
}

// Once per burst of changes, after the events queued so far are read.
void WindowVisibilityMonitor::scheduleCoverCheck() {
    if (coverCheckPending_ || window_ == 0)
        return;
    coverCheckPending_ = true;
    QTimer::singleShot(0, connection_->notifier.get(), [this] { checkCover(); });
}

void WindowVisibilityMonitor::checkCover() {
    coverCheckPending_ = false;
    if (window_ == 0 || connection_->display->lost())
        return;
    const bool covered =
        WindowStack::isCovered(connection_->display->get(), connection_->display->root(), window_);
    update(viewable_, fullyObscured_, covered);
    // Events that came in with the replies are queued already; the socket will not
    // announce them.
    readEvents();
}

void WindowVisibilityMonitor::update(bool viewable, bool fullyObscured) {
    update(viewable, fullyObscured, covered_);
}

void WindowVisibilityMonitor::update(bool viewable, bool fullyObscured, bool covered) {
    const bool wasVisible = isVisible();
    viewable_ = viewable;
    fullyObscured_ = fullyObscured;
    covered_ = covered;
    if (isVisible() != wasVisible && handler_)
        handler_(isVisible());
}

}  // namespace talvex
