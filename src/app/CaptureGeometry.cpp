#include "app/CaptureGeometry.h"

namespace talvex::capture {

Rect viewAreaRect(const Rect& panel, ViewArea area, Point pointer) {
    if (area != ViewArea::mousePointer || panel.contains(pointer))
        return panel;
    return {pointer.x - nearest(panel.width() * 0.5), pointer.y - nearest(panel.height() * 0.5),
            panel.width(), panel.height()};
}

Rect globalDisplayRect(const Rect& r, double mainDisplayHeight) {
    return {r.x(), mainDisplayHeight - r.y() - r.height(), r.width(), r.height()};
}

bool isValidWindowNumber(std::int64_t n) {
    return n >= 1 && n <= 4294967295LL;
}

std::string skippingCaptureMessage(std::int64_t n) {
    return "Skipping capture for uninitialized window ID " + std::to_string(n) + ".";
}

bool ignoresMouseEvents(const Rect& bounds, Point p) {
    if (!bounds.contains(p))
        return false;
    return bounds.offsetBy(0, gripSize).contains(p) || bounds.insetBy(gripSize, 0).contains(p);
}

Rect bottomLeftGrip(const Rect& b) {
    return {b.minX(), b.minY(), gripSize, gripSize};
}

Rect bottomRightGrip(const Rect& b) {
    return {b.maxX() - gripSize, b.minY(), gripSize, gripSize};
}

}  // namespace talvex::capture
