#include "app/X11Capture.h"

#include "platform/x11/WindowServer.h"

namespace talvex {

std::unique_ptr<CapturedImage> X11Capture::imageBelowWindow(const PixelRect& area,
                                                            XWindowId windowId) {
    return WindowServer::shared().imageBelowWindow(area, windowId);
}

bool X11Capture::unchangedSinceLastCapture(const PixelRect& area, XWindowId windowId) {
    return WindowServer::shared().unchangedSinceLastCapture(area, windowId);
}

bool X11Capture::changesAreAnnounced() {
    return WindowServer::shared().areaChangesAreAnnounced();
}

}  // namespace talvex
