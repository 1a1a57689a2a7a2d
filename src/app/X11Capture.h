#pragma once

// The lens's captures on X11: the window server composes what lies beneath the panel,
// and tracks changes there.
#include "app/CaptureSource.h"

namespace talvex {

class X11Capture : public CaptureSource {
public:
    std::unique_ptr<CapturedImage> imageBelowWindow(const PixelRect& area,
                                                    XWindowId windowId) override;
    bool unchangedSinceLastCapture(const PixelRect& area, XWindowId windowId) override;
    bool changesAreAnnounced() override;
};

}  // namespace talvex
