#pragma once

// Conversions between the three coordinate spaces the desktop uses:
//  - X root pixels: device pixels, origin top-left of the root window, y down;
//  - global display points: origin top-left of the main display, y down;
//  - screen points: origin bottom-left of the main display, y up.
// One point is `scale` device pixels. The main display is given by its bounds in root
// pixels, so a main display that does not sit at the root's origin (a second monitor
// to its left) is handled as well. Plain C++: no X involved.
#include "platform/Geometry.h"

namespace talvex {

// A rectangle of whole device pixels.
class DisplayGeometry {
public:
    // `mainDisplayRootPixels`: the main display's bounds in root pixels; `scale`: device
    // pixels per point (a non-positive scale is taken as 1).
    DisplayGeometry(Rect mainDisplayRootPixels, double scale);

    double scale() const { return scale_; }
    // The main display's height in points: the H of the screen <-> global flip.
    double mainDisplayHeight() const;

    Point rootToGlobal(Point rootPixels) const;
    Point globalToRoot(Point global) const;
    Point globalToScreen(Point global) const;
    Point screenToGlobal(Point screen) const;
    Point rootToScreen(Point rootPixels) const;
    Point screenToRoot(Point screen) const;

    Rect rootToGlobal(const Rect& rootPixels) const;
    Rect globalToRoot(const Rect& global) const;
    Rect globalToScreen(const Rect& global) const;
    Rect screenToGlobal(const Rect& screen) const;
    Rect rootToScreen(const Rect& rootPixels) const;
    Rect screenToRoot(const Rect& screen) const;

    // The whole device pixels a global rectangle covers: origin and size each rounded to
    // the nearest pixel, so a rectangle always maps to round(size x scale) pixels
    // wherever it lies.
    PixelRect globalToRootPixels(const Rect& global) const;

private:
    Rect main_;
    double scale_;
};

}  // namespace talvex
