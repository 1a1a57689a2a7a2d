#pragma once

// The geometry of one capture and of the click-through rule, in the model's
// coordinate spaces: screen (y up, origin bottom-left of the main display), view
// (y up, origin bottom-left of the view) and global display (y down, origin top-left
// of the main display). Conversions to X and Qt happen in the platform layer.
#include <cstdint>
#include <string>

#include "platform/Geometry.h"
#include "settings/Settings.h"

namespace talvex::capture {

// The area to capture, in screen coordinates. `panel` is the view's rectangle on
// screen; `pointer` the mouse location. Under the window, or while the pointer is over
// the panel, the panel's own area; otherwise an area of the panel's size centred on
// the pointer (half sizes rounded to the nearest whole point, halves away from zero).
Rect viewAreaRect(const Rect& panel, ViewArea area, Point pointer);

// The part of `area` that a lens magnifying `factor` times shows: its size divided by
// the factor (rounded up to whole points), centred in it (the odd point to the left
// and bottom). Factors below 2 give the area itself.
Rect magnifiedRect(const Rect& area, int factor);

// The pixel of a magnified capture `captured` (root pixels) that a lens of
// viewWidth × viewHeight drawable pixels, magnifying `factor` times, shows at its
// drawable pixel `viewPixel` (y down): the capture centred, each of its pixels
// factor × factor of the lens's (TalvexFilter::magnifiedOffset). In root pixels.
Point shownPixel(const PixelRect& captured, int viewWidth, int viewHeight, Point viewPixel,
                 int factor);

// The same area in global display coordinates, given the main display's height in points.
Rect globalDisplayRect(const Rect& screenRect, double mainDisplayHeight);

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
