#pragma once

// The stacking order of the top-level windows (the children of the root window, which
// under a window manager are its frames), as one batch of requests: every attribute
// and geometry request is sent before the first reply is awaited, so a desktop of a
// few hundred windows costs one round trip instead of hundreds.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

struct _XDisplay;

namespace talvex {

struct StackedWindow {
    XWindowId id = 0;
    PixelRect bounds;  // the inside of the window, in root pixels (borders excluded)
    std::uint32_t visual = 0;
    std::uint8_t depth = 0;
};

class WindowStack {
public:
    // The child of `root` that holds `window` (the window itself when it is a child
    // of root); none when `window` is root, unknown or gone.
    static std::optional<XWindowId> topLevelAncestor(_XDisplay* display, XWindowId root,
                                                     XWindowId window);

    // The mapped and viewable InputOutput children of `root` that lie below the top-level
    // window holding `window`, bottom to top. None when `window` is not on the root's
    // window tree. Windows that vanish while they are being queried are left out.
    static std::optional<std::vector<StackedWindow>> below(_XDisplay* display, XWindowId root,
                                                           XWindowId window);

    // Whether the viewable opaque top-level windows above the one holding `window`
    // cover it whole. With the root's children redirected the server never reports a
    // window as obscured, so this is how a covered window is told.
    static bool isCovered(_XDisplay* display, XWindowId root, XWindowId window);
};

}  // namespace talvex
