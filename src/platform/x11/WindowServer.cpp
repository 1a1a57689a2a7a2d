#include "platform/x11/WindowServer.h"

#include <QSocketNotifier>
#include <QTimer>
#include <utility>

#include "platform/Dispatch.h"
#include "platform/SystemLog.h"
#include "platform/x11/ClickReplay.h"
#include "platform/x11/EventConnection.h"
#include "platform/x11/InputShape.h"
#include "platform/x11/PointerWatch.h"
#include "platform/x11/ScreenLayout.h"
#include "platform/x11/WindowCompositor.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XErrorPolicy.h"

// Xlib last: its macros (None, Bool, Status) collide with Qt names.
#include <X11/Xlib.h>

namespace talvex {

WindowServer& WindowServer::shared() {
    static WindowServer server;
    // Runs at exit before the server's destructor, which must not meet a dead server.
    static const bool guarded = (XErrorPolicy::registerExitGuard(), true);
    (void)guarded;
    return server;
}

WindowServer::WindowServer(const char* displayName)
    : control_(XDisplay::open(displayName)), capture_(XDisplay::open(displayName)) {
    if (displayName)
        displayName_ = displayName;
    if (!control_ || !capture_) {
        systemLog("Cannot connect to the X server; screen capture is off.");
        return;
    }
    inputShapes_ = InputShape::isSupported(control_->get());
    // Opened at start-up where it can be (the main thread), not at the first tick;
    // made elsewhere, the first question on the main thread opens them.
    (void)pointerWatch();
    compositor_ = WindowCompositor::create(capture_);
    if (!compositor_) {
        systemLog("The X server lacks Composite or Render; screen capture is off.");
        return;
    }
    watchCaptureConnection();
}

WindowServer::~WindowServer() = default;

// Xlib must not be called on a connection that broke: it is left in a state where some
// requests crash instead of failing.
bool WindowServer::controlUsable() const {
    return control_ && !control_->lost();
}

bool WindowServer::isConnected() const {
    return control_ && compositor_ && !capture_->lost();
}

std::unique_ptr<CapturedImage> WindowServer::imageBelowWindow(const PixelRect& area,
                                                              XWindowId windowId) {
    std::lock_guard lock(captureMutex_);
    if (!compositor_ || capture_->lost()) {
        return nullptr;
    }
    return compositor_->imageBelowWindow(area, windowId);
}

bool WindowServer::unchangedSinceLastCapture(const PixelRect& area, XWindowId windowId) {
    watchCaptureConnection();
    std::lock_guard lock(captureMutex_);
    if (!compositor_ || capture_->lost()) {
        return false;
    }
    return compositor_->unchangedSinceLastCapture(area, windowId);
}

bool WindowServer::areaChangesAreAnnounced() {
    watchCaptureConnection();
    return captureEvents_ && !capture_->lost();
}

// Once, on the main thread (the notifier lives in the toolkit's loop).
void WindowServer::watchCaptureConnection() {
    if (!compositor_ || !dispatch::isMainThread() || std::exchange(captureWatchTried_, true))
        return;
    if (compositor_->tracksChanges())
        captureEvents_ = EventConnection::watch(capture_, [this] { readCaptureEvents(); });
}

// 1. A capture in progress reads the events itself: look again after a moment.
// 2. Read them; a connection that broke is not watched any more.
// 3. Announce the first change to the last capture's area, with the lock released (an
//    observer may ask for a capture).
void WindowServer::readCaptureEvents() {
    std::unique_lock lock(captureMutex_, std::try_to_lock);
    QSocketNotifier* notifier = captureEvents_->notifier.get();
    if (!lock.owns_lock()) {
        notifier->setEnabled(false);
        QTimer::singleShot(captureBusyRetry, notifier, [notifier] { notifier->setEnabled(true); });
        return;
    }
    const bool news = compositor_->readChanges();
    const bool lost = capture_->lost();
    lock.unlock();
    if (lost)
        notifier->setEnabled(false);
    else if (news)
        emit areaDidChange();
}

Rect WindowServer::mainDisplayBounds() {
    std::lock_guard lock(captureMutex_);
    if (!compositor_ || capture_->lost()) {
        return {};
    }
    return compositor_->layout().mainDisplayBounds();
}

Point WindowServer::pointerLocation() {
    std::lock_guard lock(controlMutex_);
    if (!controlUsable()) {
        return {};
    }
    if (PointerWatch* watch = pointerWatch())
        return watch->location().value_or(Point{});
    const PointerState pointer = queryPointer(control_->get(), control_->root());
    return {static_cast<double>(pointer.rootX), static_cast<double>(pointer.rootY)};
}

void WindowServer::pointerMayHaveMoved() {
    std::lock_guard lock(controlMutex_);
    if (PointerWatch* watch = controlUsable() ? pointerWatch() : nullptr)
        watch->askNextTime();
}

// The watch reads its events from the toolkit's loop: it exists only on the main
// thread of a running application; elsewhere every call asks the server.
PointerWatch* WindowServer::pointerWatch() {
    if (!dispatch::isMainThread())
        return nullptr;
    if (!std::exchange(pointerWatchTried_, true)) {
        pointerWatch_ = PointerWatch::open(displayName_ ? displayName_->c_str() : nullptr,
                                           PointerWatch::defaultWarpCheck);
        if (pointerWatch_) {
            pointerWatch_->setMotionHandler([this] { emit pointerDidMove(); });
        }
    }
    return pointerWatch_.get();
}

bool WindowServer::pointerMotionIsAnnounced() {
    std::lock_guard lock(controlMutex_);
    PointerWatch* watch = controlUsable() ? pointerWatch() : nullptr;
    return watch && watch->atRest();
}

bool WindowServer::primaryButtonDown() {
    std::lock_guard lock(controlMutex_);
    if (!controlUsable()) {
        return false;
    }
    return (queryPointer(control_->get(), control_->root()).buttonsAndModifiers & Button1Mask) != 0;
}

std::optional<Point> WindowServer::windowOrigin(XWindowId windowId) {
    std::lock_guard lock(controlMutex_);
    if (!controlUsable() || windowId == 0) {
        return std::nullopt;
    }
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    // Fails (and the error handler absorbs BadWindow) when the window is gone.
    if (!XTranslateCoordinates(control_->get(), windowId, control_->root(), 0, 0, &rootX, &rootY,
                               &child)) {
        return std::nullopt;
    }
    return Point{static_cast<double>(rootX), static_cast<double>(rootY)};
}

void WindowServer::setIgnoresMouseEvents(XWindowId windowId, bool ignore,
                                         const std::vector<PixelRect>& clickable) {
    std::lock_guard lock(controlMutex_);
    if (!controlUsable() || !inputShapes_ || windowId == 0) {
        return;
    }
    InputShape::apply(control_->get(), control_->root(), windowId, ignore, clickable);
}

bool WindowServer::canReplayClicks() {
    std::lock_guard lock(controlMutex_);
    if (!controlUsable())
        return false;
    if (!clickReplay_) {
        clickReplay_ = ClickReplay::isSupported(control_->get());
        if (!*clickReplay_)
            systemLog(
                "The X server has no XTest: clicks on a magnified picture go to what lies "
                "beneath the panel.");
    }
    return *clickReplay_;
}

void WindowServer::replayClick(Point target, unsigned button) {
    std::lock_guard lock(controlMutex_);
    if (!controlUsable() || !clickReplay_.value_or(false))
        return;
    const PointerState pointer = queryPointer(control_->get(), control_->root());
    ClickReplay::click(control_->get(), target, button,
                       {static_cast<double>(pointer.rootX), static_cast<double>(pointer.rootY)});
    if (PointerWatch* watch = pointerWatch())
        watch->askNextTime();
}

}  // namespace talvex
