#pragma once

// A connection to the X server of our own, separate from the toolkit's: the capture
// runs on worker threads and must not share (or lock) the GUI's connection. Errors on
// it never end the process (see XErrorPolicy). Xlib must have been put in threaded
// mode (XInitThreads) before the first connection of the process is opened.
#include <memory>
#include <optional>

#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

struct _XDisplay;

namespace talvex {

class XDisplay {
public:
    // Opens the display named by `name` (nullptr: $DISPLAY); none when that fails.
    static std::shared_ptr<XDisplay> open(const char* name = nullptr);
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    _XDisplay* get() const { return display_; }
    XWindowId root() const;
    int screen() const;
    // True once the connection to the server broke; every request fails from then on.
    bool lost() const;

private:
    struct Key {
        explicit Key() = default;
    };

public:
    XDisplay(Key, _XDisplay* display) : display_(display) {}

private:
    _XDisplay* display_;
};

// Puts Xlib in threaded mode (XInitThreads). Call before the process opens any
// connection, the toolkit's included.
void prepareThreads();

// Waits until the server has handled every request the toolkit sent on its own
// connection: a window the toolkit created asynchronously is then on the server for
// our other connections to find. Nothing without a toolkit connection.
void syncToolkitConnection();

// True when the server closed its end of `display`'s connection (read from the socket,
// not asked for): Xlib will find it broken at its next read.
bool serverHungUp(_XDisplay* display);

// The same for the toolkit's own connection; false without one.
bool toolkitServerHungUp();

// The size of window `window` as (0, 0, width, height); none when it is gone.
std::optional<PixelRect> windowSize(_XDisplay* display, XWindowId window);

// Where the pointer is on `root` (root pixels) and which buttons and modifiers are held
// (the core protocol's state mask); one round trip.
struct PointerState {
    int rootX = 0;
    int rootY = 0;
    unsigned buttonsAndModifiers = 0;
};
PointerState queryPointer(_XDisplay* display, XWindowId root);

}  // namespace talvex
