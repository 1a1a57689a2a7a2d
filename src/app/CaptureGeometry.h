#pragma once

// The geometry of one capture and of the click-through rule. A capture is worked out in
// X root pixels (y down, origin top-left of the root window) from the view's rectangle
// there; its rules are stated in points (a point is `scale` device pixels), so sizes
// are rounded in points. The click-through rule is stated in view coordinates (points,
// y up, origin bottom-left of the view): the pointer is converted to them once, by
// pointInView.
#include <cstdint>
#include <string>

#include "platform/Geometry.h"
#include "settings/Settings.h"

namespace talvex::capture {

// The area to capture, in root pixels. `view` is the view's rectangle and `pointer` the
// pointer, both in root pixels. Under the window, or while the pointer is over the view
// (its left and top edges belong to it, its right and bottom ones do not), the view's
// own area; otherwise an area of the view's size around the pointer: half the width,
// in points rounded to the nearest whole point (halves away from zero), to its left,
// and half the height, rounded the same way, below it.
Rect viewAreaRect(const Rect& view, ViewArea area, Point pointer, double scale);

// The part of `area` (root pixels) that a lens magnifying `factor` times shows: its
// size divided by the factor (rounded up to whole points), centred in it (the odd point
// to the left and bottom). Factors below 2 give the area itself.
Rect magnifiedRect(const Rect& area, int factor, double scale);

// The whole pixels a rectangle of root pixels covers: origin and size each rounded to
// the nearest pixel, so that an area keeps its size in pixels wherever it lies.
PixelRect wholePixels(const Rect& rootPixels);

// The pointer (root pixels) in the coordinates of `view` (root pixels): points, y up,
// origin bottom-left of the view.
Point pointInView(const Rect& view, Point pointer, double scale);

// The pixel of a magnified capture `captured` (root pixels) that a lens of
// viewWidth × viewHeight drawable pixels, magnifying `factor` times, shows at its
// drawable pixel `viewPixel` (y down): the capture centred, each of its pixels
// factor × factor of the lens's (TalvexFilter::magnifiedOffset). In root pixels.
Point shownPixel(const PixelRect& captured, int viewWidth, int viewHeight, Point viewPixel,
                 int factor);

// Window numbers that name a window: 1 ... 4294967295.
bool isValidWindowNumber(std::int64_t windowNumber);

// "Skipping capture for uninitialized window ID <n>."
std::string skippingCaptureMessage(std::int64_t windowNumber);

// Click-through: true when the panel should let mouse events pass, for the pointer at
// `pointer` in the coordinates of a view with bounds `bounds`. Over the view, clicks
// pass except in the two 8 × 8-point squares at its bottom corners; outside the view
// the panel takes them.
bool ignoresMouseEvents(const Rect& bounds, Point pointer);

// The two bottom-corner squares of a view's bounds that keep taking clicks.
Rect bottomLeftGrip(const Rect& bounds);
Rect bottomRightGrip(const Rect& bounds);

inline constexpr double gripSize = 8.0;

}  // namespace talvex::capture
