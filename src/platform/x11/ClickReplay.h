#pragma once

// A click made again elsewhere with the XTest extension, as if the pointing device made
// it: the pointer goes to the place, the button is pressed and released there, and the
// pointer comes back. The window beneath the place gets a real press and release
// (with the modifiers held at the time), in one request batch, so nothing moves on
// screen in between.
#include "platform/Geometry.h"

struct _XDisplay;

namespace talvex {

class ClickReplay {
public:
    // Whether the server fakes input (XTest 2.2 or later).
    static bool isSupported(_XDisplay* display);

    // Presses and releases `button` (1 left, 2 middle, 3 right, 4 and 5 the wheel) with
    // the pointer at `target` (root pixels), then puts the pointer back at `back`.
    // Returns once the server has handled the requests.
    static void click(_XDisplay* display, Point target, unsigned button, Point back);
};

}  // namespace talvex
