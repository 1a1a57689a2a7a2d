#include "platform/x11/DisplayGeometry.h"

#include <algorithm>
#include <cmath>

namespace talvex {

namespace {

// Nearest whole pixel, kept far inside int so that sums of coordinates cannot overflow;
// a NaN becomes 0.
int toPixel(double v) {
    constexpr double limit = 1 << 28;
    if (std::isnan(v)) {
        return 0;
    }
    return static_cast<int>(std::lround(std::clamp(v, -limit, limit)));
}

}  // namespace

DisplayGeometry::DisplayGeometry(Rect mainDisplayRootPixels, double scale)
    : main_(mainDisplayRootPixels), scale_(scale > 0 ? scale : 1.0) {}

double DisplayGeometry::mainDisplayHeight() const {
    return main_.height() / scale_;
}

Point DisplayGeometry::rootToGlobal(Point p) const {
    return {(p.x - main_.x()) / scale_, (p.y - main_.y()) / scale_};
}

Point DisplayGeometry::globalToRoot(Point p) const {
    return {main_.x() + p.x * scale_, main_.y() + p.y * scale_};
}

// Points flip about the main display's height; a point has no extent to account for.
Point DisplayGeometry::globalToScreen(Point p) const {
    return {p.x, mainDisplayHeight() - p.y};
}

Point DisplayGeometry::screenToGlobal(Point p) const {
    return {p.x, mainDisplayHeight() - p.y};
}

Point DisplayGeometry::rootToScreen(Point p) const {
    return globalToScreen(rootToGlobal(p));
}

Point DisplayGeometry::screenToRoot(Point p) const {
    return globalToRoot(screenToGlobal(p));
}

Rect DisplayGeometry::rootToGlobal(const Rect& r) const {
    const Point origin = rootToGlobal(r.origin);
    return {origin.x, origin.y, r.width() / scale_, r.height() / scale_};
}

Rect DisplayGeometry::globalToRoot(const Rect& r) const {
    const Point origin = globalToRoot(r.origin);
    return {origin.x, origin.y, r.width() * scale_, r.height() * scale_};
}

// A rectangle's flipped origin is its other horizontal edge: (x, H - y - height).
Rect DisplayGeometry::globalToScreen(const Rect& r) const {
    return {r.x(), mainDisplayHeight() - r.y() - r.height(), r.width(), r.height()};
}

Rect DisplayGeometry::screenToGlobal(const Rect& r) const {
    return {r.x(), mainDisplayHeight() - r.y() - r.height(), r.width(), r.height()};
}

Rect DisplayGeometry::rootToScreen(const Rect& r) const {
    return globalToScreen(rootToGlobal(r));
}

Rect DisplayGeometry::screenToRoot(const Rect& r) const {
    return globalToRoot(screenToGlobal(r));
}

PixelRect DisplayGeometry::globalToRootPixels(const Rect& global) const {
    const Rect root = globalToRoot(global);
    return {toPixel(root.x()), toPixel(root.y()), toPixel(root.width()), toPixel(root.height())};
}

}  // namespace talvex
