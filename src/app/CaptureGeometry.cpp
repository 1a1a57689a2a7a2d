#include "app/CaptureGeometry.h"

#include <algorithm>
#include <cmath>

#include "render/TalvexFilter.h"

namespace talvex::capture {

Rect viewAreaRect(const Rect& panel, ViewArea area, Point pointer) {
    if (area != ViewArea::mousePointer || panel.contains(pointer))
        return panel;
    return {pointer.x - nearest(panel.width() * 0.5), pointer.y - nearest(panel.height() * 0.5),
            panel.width(), panel.height()};
}

Rect magnifiedRect(const Rect& area, int factor) {
    if (factor < 2)
        return area;
    const double w = std::ceil(area.width() / factor);
    const double h = std::ceil(area.height() / factor);
    return {area.x() + std::floor((area.width() - w) / 2),
            area.y() + std::floor((area.height() - h) / 2), w, h};
}

Point shownPixel(const PixelRect& captured, int viewWidth, int viewHeight, Point viewPixel,
                 int factor) {
    const int f = std::max(factor, 1);
    const auto texel = [f](double pixel, int viewPixels, int texturePixels) {
        const int offset =
            TalvexFilter::magnifiedOffset(viewPixels, static_cast<std::uint64_t>(texturePixels), f);
        return std::floor((std::floor(pixel) + offset) / f);
    };
    return {captured.x + texel(viewPixel.x, viewWidth, captured.width),
            captured.y + texel(viewPixel.y, viewHeight, captured.height)};
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
