#pragma once

// The root window's own background (a solid colour or a tiled pixmap, as set with
// XSetWindowBackground or XSetWindowBackgroundPixmap), as the server paints it where no
// window covers the root.
//
// No request reads a window's background back, so the server paints it for us: into a
// window of ours whose background is its parent's (ParentRelative), unmanaged
// (override-redirect), taking no input (an empty input shape), below every other
// window, at the place asked for. The root's children being redirected, its contents
// live in a pixmap of its own; on the screen it shows exactly what the root shows there.
// While a compositing manager runs (it paints the desktop itself) none is made.
//
// Internal to the X11 layer; on the capture connection, one thread at a time.
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include "platform/Geometry.h"
#include "platform/x11/XResource.h"

namespace talvex {

class RootBackground {
public:
    RootBackground(Display* display, Window root, int screen);

    // Paints the root's background over `part` (root pixels, on the root) into `target`,
    // which holds `area` (its pixel (0, 0) is the area's corner); the target's clip
    // applies. False when there is nothing to paint with.
    bool paint(Picture target, const PixelRect& part, const PixelRect& area);
    // Whether `window` is our own painting window (it belongs to no capture).
    bool isOurs(unsigned long window) const { return window != 0 && window == window_.id(); }
    // Another client destroyed our window (its pictures went with it): a new one is made
    // when next needed.
    void windowDestroyed() {
        picture_.forget();
        window_.forget();
    }

private:
    bool compositorRuns() const;
    bool ensureWindow(const PixelRect& part);

    Display* dpy_;
    Window root_;
    int screen_;
    bool unavailable_ = false;
    XResource window_;
    XResource picture_;
    PixelRect placed_;
};

}  // namespace talvex
