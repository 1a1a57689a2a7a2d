#include "app/CaptureGeometry.h"

#include <algorithm>
#include <cmath>

#include "render/TalvexFilter.h"

namespace talvex::capture {

namespace {

// Nearest whole pixel, kept far inside int so that sums of coordinates cannot overflow;
// a NaN becomes 0.
int toPixel(double v) {
    constexpr double limit = 1 << 28;
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::lround(std::clamp(v, -limit, limit)));
}

double positive(double scale) {
    return scale > 0 ? scale : 1.0;
}

}  // namespace

Rect viewAreaRect(const Rect& view, ViewArea area, Point pointer, double scale) {
    if (area != ViewArea::mousePointer || view.contains(pointer))
        return view;
    const double s = positive(scale);
    const double height = view.height() / s;
    return {pointer.x - nearest(view.width() / s * 0.5) * s,
            pointer.y - (height - nearest(height * 0.5)) * s, view.width(), view.height()};
}

// Rounded in points; in y-down pixels the odd point below is the extra one above.
Rect magnifiedRect(const Rect& area, int factor, double scale) {
    if (factor < 2)
        return area;
    const double s = positive(scale);
    const double width = area.width() / s;
    const double height = area.height() / s;
    const double w = std::ceil(width / factor);
    const double h = std::ceil(height / factor);
    return {area.x() + std::floor((width - w) / 2) * s, area.y() + std::ceil((height - h) / 2) * s,
            w * s, h * s};
}

PixelRect wholePixels(const Rect& r) {
    return {toPixel(r.x()), toPixel(r.y()), toPixel(r.width()), toPixel(r.height())};
}

Point pointInView(const Rect& view, Point pointer, double scale) {
    const double s = positive(scale);
    return {(pointer.x - view.x()) / s, (view.maxY() - pointer.y) / s};
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
