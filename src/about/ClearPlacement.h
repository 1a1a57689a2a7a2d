#pragma once

// Where the about box opens, in screen pixels with y growing downwards (Qt's): centred
// on the screen's free area, unless windows that stay above it (the always-on-top
// panel, also opened centred) would cover it there. Then it goes beside the one that
// covers it — to its right, left, below or above, a small gap apart — kept within the
// screen; the place covered least wins, ties going to the one tried first.
#include <vector>

#include "platform/Geometry.h"

namespace talvex::about_internal {

struct ClearPlacement {
    static constexpr int gap = 16;

    // The frame for a window of `width` x `height` on `screen` (its free area), with
    // `above` the frames of the windows that stay above it.
    static PixelRect compute(int width, int height, const PixelRect& screen,
                             const std::vector<PixelRect>& above);
};

}  // namespace talvex::about_internal
