#pragma once

// A key that works whichever application has the keyboard: a passive grab of the key
// on the root window, on an X connection of our own (errors on it follow XErrorPolicy),
// for every combination of the lock modifiers (Caps Lock, Num Lock, both), so that
// neither lock changes whether the key works. Each press calls the handler once: a key
// held down repeats nothing (detectable auto-repeat). Another client that grabbed the
// same key first makes ours "in use"; nothing is grabbed then.
//
// Threading: main thread only. Events are read there through a socket notifier; the
// handler runs there.
#include <functional>
#include <memory>
#include <optional>

#include "platform/x11/ShortcutKey.h"

namespace talvex {

struct EventConnection;

class XDisplay;

class GlobalShortcut {
public:
    enum class State {
        off,          // no key set
        active,       // grabbed: presses arrive
        inUse,        // another client holds the key
        unavailable,  // no such key on this keyboard, or no X connection
    };

    // Connects to the display named `displayName` (nullptr: $DISPLAY); no key is grabbed
    // yet.
    explicit GlobalShortcut(std::function<void()> pressed, const char* displayName = nullptr);
    // Releases the grab.
    ~GlobalShortcut();
    GlobalShortcut(const GlobalShortcut&) = delete;
    GlobalShortcut& operator=(const GlobalShortcut&) = delete;

    // Releases the key grabbed so far and grabs `key` (none: nothing); the state says
    // how that went.
    State setKey(std::optional<ShortcutKey> key);
    State state() const { return state_; }
    std::optional<ShortcutKey> key() const { return key_; }

private:
    bool grab(unsigned keycode, unsigned modifiers);
    void ungrab();
    unsigned numLockMask() const;
    void readEvents();
    void handleKey(bool press, unsigned keycode, unsigned state);

    std::function<void()> pressed_;
    std::unique_ptr<EventConnection> connection_;
    std::optional<ShortcutKey> key_;
    State state_ = State::off;
    unsigned keycode_ = 0;
    unsigned lockMask_ = 0;  // the lock modifiers ignored when matching a press
    bool held_ = false;
};

}  // namespace talvex
