#include "platform/x11/PointerWatch.h"

#include <QTimer>
#include <utility>

#include "platform/x11/EventConnection.h"
#include "platform/x11/XDisplay.h"

// Xlib last: its macros (None, Bool, Status) collide with Qt names.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace talvex {

std::unique_ptr<PointerWatch> PointerWatch::open(const char* displayName,
                                                 std::chrono::milliseconds warpCheck) {
    std::unique_ptr<PointerWatch> watch(new PointerWatch(warpCheck));
    watch->connection_ = EventConnection::open(displayName, [w = watch.get()] { w->readEvents(); });
    if (!watch->connection_)
        return nullptr;
    if (!watch->rawMotionSupported())
        watch->opcode_ = -1;
    return watch;
}

PointerWatch::PointerWatch(std::chrono::milliseconds warpCheck) : warpCheck_(warpCheck) {}

PointerWatch::~PointerWatch() = default;

// Raw events reach the root during another client's grab only from XInput 2.1 on.
bool PointerWatch::rawMotionSupported() {
    Display* display = connection_->display->get();
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode_, &event, &error) || lost())
        return false;
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || lost())
        return false;
    return major > 2 || (major == 2 && minor >= 1);
}

std::optional<Point> PointerWatch::location() {
    readEvents();
    if (lost())
        return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    if (stillKnown(now))
        return known_;
    const bool movedBefore = std::exchange(moved_, false);
    askNext_ = false;
    const Point answer = ask();
    if (lost())
        return std::nullopt;
    askedAt_ = now;
    settle(answer, movedBefore);
    // The answer's wait may have queued events that the socket will not announce again;
    // they tell of motion after the answer, for the next call.
    readEvents();
    return known_;
}

bool PointerWatch::stillKnown(std::chrono::steady_clock::time_point now) const {
    return state_ == State::resting && !moved_ && !askNext_ && known_ &&
           now - askedAt_ < warpCheck_;
}

Point PointerWatch::ask() {
    const PointerState pointer =
        queryPointer(connection_->display->get(), connection_->display->root());
    ++queries_;
    return {static_cast<double>(pointer.rootX), static_cast<double>(pointer.rootY)};
}

// Moving: ask again next time. First answer at rest: start listening; the request goes
// out before the next question, so the next answer confirms that nothing moved in
// between. Confirmed: the answer stands until an event or the warp check.
void PointerWatch::settle(Point answer, bool movedBefore) {
    const bool atRest = !movedBefore && known_ == answer;
    known_ = answer;
    if (!atRest || opcode_ < 0) {
        state_ = State::moving;
        listen(false);
        return;
    }
    if (state_ == State::moving) {
        listen(true);
        state_ = State::confirming;
        return;
    }
    state_ = State::resting;
}

// Xlib is not called again on a connection that broke: it may crash instead of failing.
bool PointerWatch::lost() const {
    return connection_->display->lost();
}

void PointerWatch::readEvents() {
    Display* display = connection_->display->get();
    while (!lost() && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (lost())
            break;
        const XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type == GenericEvent && cookie.extension == opcode_ &&
            cookie.evtype == XI_RawMotion) {
            announceMotion();
        }
    }
    // A socket that hung up stays readable: stop listening to it.
    if (lost())
        connection_->notifier->setEnabled(false);
}

// Only a pointer that was listened for is news; the announcement waits for the loop,
// so that no caller of location() is re-entered.
void PointerWatch::announceMotion() {
    moved_ = true;
    if (!listening_)
        return;
    listen(false);
    if (motionHandler_)
        QTimer::singleShot(0, connection_->notifier.get(), motionHandler_);
}

void PointerWatch::listen(bool on) {
    if (on == listening_ || opcode_ < 0 || lost())
        return;
    Display* display = connection_->display->get();
    unsigned char bits[XIMaskLen(XI_RawMotion)] = {};
    if (on)
        XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(display, connection_->display->root(), &mask, 1);
    XFlush(display);
    listening_ = on;
}

}  // namespace talvex
