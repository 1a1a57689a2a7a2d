#pragma once

// Where the monitors are on the root window, all in root pixels: every RandR monitor
// (1.5 monitors, user-defined ones included; before 1.5 every lit CRTC), and the main
// display, which holds the global origin: the primary monitor, else the monitor at the
// root's origin, else the first one. A server without RandR has one monitor the size
// of the root.
#include <vector>

#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

struct _XDisplay;

namespace talvex {

class ScreenLayout {
public:
    static ScreenLayout query(_XDisplay* display, XWindowId root);

    const PixelRect& mainDisplay() const { return main_; }
    const PixelRect& root() const { return root_; }
    const std::vector<PixelRect>& monitors() const { return monitors_; }
    Rect mainDisplayBounds() const;
    // True when `area` (root pixels) meets at least one monitor.
    bool isOnScreen(const PixelRect& area) const;

private:
    PixelRect root_;
    PixelRect main_;
    std::vector<PixelRect> monitors_;
};

}  // namespace talvex
