#pragma once

// Knows, without capturing, whether anything may have changed in the area beneath the
// panel since the last capture of that same area.
//
// Where the tracking lives: the root's children are redirected (automatic Composite
// redirection), so each top-level window, children included, is drawn into one pixmap
// of its own, and a damage object on the top-level reports every change to it. The
// windows beneath the panel that meet the area each get one; drawing on the root
// itself is not tracked (only the wallpaper property, which the compositor watches)
// and our own window and those above it never matter. Changes of the window tree
// (map, unmap, move, resize, restack, reparent, destroy of any top-level) mark the
// area changed, whatever they touch: a capture too many costs a comparison, a capture
// too few a stale picture.
//
// Internal to the X11 layer. Not thread-safe: the compositor's thread only.
#include <X11/Xlib.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/Geometry.h"
#include "platform/x11/WindowStack.h"
#include "platform/x11/XResource.h"

namespace talvex {

class AreaChangeTracker {
public:
    // Inactive (always "changed") when the server lacks the DAMAGE extension. The root's
    // SubstructureNotifyMask must be selected on `display` by the caller.
    explicit AreaChangeTracker(Display* display);

    bool isActive() const { return damageEventBase_ >= 0; }

    // Before composing `area` below `panel` from `windows`: tracks the windows that
    // meet the area and starts afresh from "unchanged".
    void startCapture(const std::vector<StackedWindow>& windows, const PixelRect& area,
                      std::uint32_t panel);
    // Every event read on the connection.
    void handleEvent(const XEvent& event);
    // Something outside the windows changed (the wallpaper, the monitors).
    void markChanged() { changed_ = true; }
    // True only when the last capture was of this area below this panel and nothing
    // in it can have changed since.
    bool unchangedSinceLastCapture(const PixelRect& area, std::uint32_t panel) const;
    // True once something may have changed in the area of the last capture.
    bool changedSinceLastCapture() const { return isActive() && captured_ && changed_; }

    // A change of the window tree (map, unmap, configure, destroy, reparent, circulate,
    // gravity): each of these names the window it is about right after the event window.
    static bool isTreeChange(const XEvent& event);

private:
    XResource damageFor(const StackedWindow& window);
    void handleDamage(const XEvent& event);
    void forgetDestroyed(std::uint32_t window);

    Display* dpy_;
    int damageEventBase_ = -1;
    std::unordered_map<std::uint32_t, XResource> damages_;
    bool captured_ = false;
    bool changed_ = true;
    PixelRect area_;
    std::uint32_t panel_ = 0;
};

}  // namespace talvex
