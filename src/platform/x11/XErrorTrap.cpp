#include "platform/x11/XErrorTrap.h"

#include <X11/Xlib.h>

#include "platform/x11/XErrorPolicy.h"

namespace talvex {

XErrorTrap::XErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    errorsBefore_ = XErrorPolicy::errorCount(display_);
    XErrorPolicy::beginTrap(display_);
}

// Errors of the watched requests still on their way are read by failed(); a trap left
// without asking lets the later ones be judged as anyone's.
XErrorTrap::~XErrorTrap() {
    XErrorPolicy::endTrap(display_);
}

bool XErrorTrap::failed() const {
    XSync(display_, False);
    return XErrorPolicy::errorCount(display_) != errorsBefore_ ||
           XErrorPolicy::connectionLost(display_);
}

}  // namespace talvex
