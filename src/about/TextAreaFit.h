#pragma once

// Re-fitting the about box's text area to its window, in window coordinates with y
// growing downwards (Qt's). The scroll area is widened by the gap dx between its
// right edge and the content's right edge on both sides and stretched over the whole
// content height; the text inset grows by dx and by dy, the gap between the scroll
// area's top edge and the content's top edge, so that the text stays where the
// interface file put it while it can now scroll under the icon and up to the edges.
#include "platform/Geometry.h"

namespace talvex::about_internal {

struct TextAreaFit {
    Rect scrollFrame;  // the scroll area's new frame
    Size textInset;    // the text's new inset (horizontal, vertical)

    // `scroll` is the scroll area's frame and `content` the content's bounds (all zero
    // when either is missing); `inset` the text's current inset.
    static TextAreaFit compute(const Rect& scroll, const Rect& content, const Size& inset);
};

}  // namespace talvex::about_internal
