#pragma once

// Click-through with the X Shape extension's input region (ShapeInput, Shape 1.1): a
// window whose input region is empty receives no pointer events; they go to whatever
// lies beneath, while the window still shows as before (no unmap, no flicker). Under a
// reparenting window manager the frame around the window would catch the clicks
// instead, so the frame's input region follows: its decorations stay clickable, the
// area of our window does not.
#include <cstdint>
#include <vector>

#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

struct _XDisplay;

namespace talvex {

class InputShape {
public:
    // Whether the server can shape input regions at all.
    static bool isSupported(_XDisplay* display);

    // ignore: pointer events over `window` pass through it, except over `clickable`
    // (window-local pixels, y down). Otherwise the whole window takes them again.
    // The requests are flushed at once; a window that is gone is left alone.
    static void apply(_XDisplay* display, XWindowId root, XWindowId window, bool ignore,
                      const std::vector<PixelRect>& clickable);
};

}  // namespace talvex
