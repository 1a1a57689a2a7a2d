#include "platform/x11/ClickReplay.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cmath>

namespace talvex {

namespace {

void movePointer(Display* display, Point to) {
    XTestFakeMotionEvent(display, -1, static_cast<int>(std::floor(to.x)),
                         static_cast<int>(std::floor(to.y)), CurrentTime);
}

}  // namespace

bool ClickReplay::isSupported(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) &&
           (major > 2 || (major == 2 && minor >= 2));
}

void ClickReplay::click(Display* display, Point target, unsigned button, Point back) {
    movePointer(display, target);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    movePointer(display, back);
    XSync(display, False);
}

}  // namespace talvex
