#pragma once

// Where the lens's captures come from: the X11 capture (X11Capture) unless another
// source is given. Shared between the view and its capture work items.
#include <memory>

#include "platform/CapturedImage.h"
#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

namespace talvex {

class CaptureSource {
public:
    virtual ~CaptureSource() = default;

    // Any thread: the image of everything on screen below window `windowId` within
    // `area` (root pixels), one pixel per pixel; none when there is none.
    virtual std::unique_ptr<CapturedImage> imageBelowWindow(const PixelRect& area,
                                                            XWindowId windowId) = 0;
    // Main thread: true when nothing beneath can have changed since the last capture of
    // the same area below the same window; false when that is not known.
    virtual bool unchangedSinceLastCapture(const PixelRect&, XWindowId) { return false; }
    // Main thread: true while the first change beneath the last capture will be
    // announced (WindowServer::areaDidChange) without anybody asking.
    virtual bool changesAreAnnounced() { return false; }
};

}  // namespace talvex
