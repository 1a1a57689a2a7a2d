#include "platform/x11/GlobalShortcut.h"

#include <QSocketNotifier>
#include <QTimer>
#include <array>

#include "platform/SystemLog.h"
#include "platform/x11/EventConnection.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XErrorTrap.h"

// Xlib last: its macros collide with Qt names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace talvex {

namespace {

// None, Caps Lock, Num Lock and both, given the mask of the two.
std::array<unsigned, 4> lockCombinations(unsigned lockMask) {
    const unsigned capsLock = LockMask;
    const unsigned numLock = lockMask & ~capsLock;
    return {0u, capsLock, numLock, capsLock | numLock};
}

}  // namespace

GlobalShortcut::GlobalShortcut(std::function<void()> pressed, const char* displayName)
    : pressed_(std::move(pressed)) {
    connection_ = EventConnection::open(displayName, [this] { readEvents(); });
    if (!connection_) {
        systemLog("Cannot open the X display for the panel's shortcut.");
        return;
    }
    // A held key then repeats presses alone, without the releases that would make each
    // repeat a press of its own.
    XkbSetDetectableAutoRepeat(connection_->display->get(), True, nullptr);
}

GlobalShortcut::~GlobalShortcut() {
    ungrab();
}

GlobalShortcut::State GlobalShortcut::setKey(std::optional<ShortcutKey> key) {
    ungrab();
    key_ = key;
    if (!key) {
        state_ = State::off;
        return state_;
    }
    state_ = State::unavailable;
    if (!connection_ || connection_->display->lost())
        return state_;
    const unsigned keycode = XKeysymToKeycode(connection_->display->get(), key->keysym);
    if (keycode == 0)
        return state_;
    state_ = grab(keycode, key->modifiers) ? State::active : State::inUse;
    // The grab's round trips may have queued events that the socket will not announce.
    QTimer::singleShot(0, connection_->notifier.get(), [this] { readEvents(); });
    return state_;
}

// All four grabs or none: a key that works only while Num Lock is off would puzzle.
bool GlobalShortcut::grab(unsigned keycode, unsigned modifiers) {
    Display* display = connection_->display->get();
    const Window root = connection_->display->root();
    lockMask_ = LockMask | numLockMask();
    XErrorTrap trap(display);
    for (unsigned locks : lockCombinations(lockMask_))
        XGrabKey(display, int(keycode), modifiers | locks, root, False, GrabModeAsync,
                 GrabModeAsync);
    keycode_ = keycode;
    if (!trap.failed())
        return true;
    ungrab();
    return false;
}

void GlobalShortcut::ungrab() {
    if (keycode_ == 0 || !connection_)
        return;
    if (!connection_->display->lost()) {
        Display* display = connection_->display->get();
        const unsigned modifiers = key_ ? key_->modifiers : 0;
        for (unsigned locks : lockCombinations(lockMask_))
            XUngrabKey(display, int(keycode_), modifiers | locks, connection_->display->root());
        XFlush(display);
    }
    keycode_ = 0;
    held_ = false;
}

// The modifier that Num Lock sets, wherever the keyboard map puts it (usually Mod2).
unsigned GlobalShortcut::numLockMask() const {
    Display* display = connection_->display->get();
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return 0;
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && numLock != 0; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == numLock)
                mask = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
    return mask;
}

void GlobalShortcut::readEvents() {
    if (connection_->display->lost()) {
        connection_->notifier->setEnabled(false);
        return;
    }
    Display* display = connection_->display->get();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress || event.type == KeyRelease)
            handleKey(event.type == KeyPress, event.xkey.keycode, event.xkey.state);
    }
}

// While the grabbed key is down the whole keyboard comes to us; only our key, with
// its modifiers (whatever the locks), counts, and only its first press.
void GlobalShortcut::handleKey(bool press, unsigned keycode, unsigned state) {
    if (keycode != keycode_ || !key_)
        return;
    if (!press) {
        held_ = false;
        return;
    }
    const unsigned held = state & ~lockMask_ & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
    if (held_ || held != key_->modifiers)
        return;
    held_ = true;
    if (pressed_)
        pressed_();
}

}  // namespace talvex
