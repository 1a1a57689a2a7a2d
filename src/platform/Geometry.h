#pragma once

// Plain geometry (double precision). Which coordinate space a value is in is stated
// where it is used: X root pixels (y down, origin top-left of the root window), Qt
// points, or view coordinates (points, y up, origin bottom-left of the view), in which
// the click-through rule is stated (app/CaptureGeometry).
//
// PixelRect is whole device pixels: X root pixels, image pixels (rows top first) or
// drawable pixels, as its user says.
#include <algorithm>
#include <cmath>

namespace talvex {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }

    // Point-in-rectangle with the window server's rule: the minimum edges belong to
    // the rectangle, the maximum edges do not. An empty rectangle contains nothing.
    bool contains(Point p) const {
        return size.width > 0 && size.height > 0 && p.x >= minX() && p.x < maxX() &&
               p.y >= minY() && p.y < maxY();
    }
    Rect offsetBy(double dx, double dy) const {
        return {origin.x + dx, origin.y + dy, size.width, size.height};
    }
    Rect insetBy(double dx, double dy) const {
        return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    long long area() const { return isEmpty() ? 0 : static_cast<long long>(width) * height; }
    bool intersects(const PixelRect& other) const { return !intersected(other).isEmpty(); }
    PixelRect intersected(const PixelRect& other) const {
        const int left = std::max(x, other.x);
        const int top = std::max(y, other.y);
        const int right = std::min(x + width, other.x + other.width);
        const int bottom = std::min(y + height, other.y + other.height);
        if (right <= left || bottom <= top)
            return {};
        return {left, top, right - left, bottom - top};
    }
    // The smallest rectangle holding both (an empty one adds nothing).
    PixelRect united(const PixelRect& other) const {
        if (other.isEmpty())
            return *this;
        if (isEmpty())
            return other;
        const int left = std::min(x, other.x);
        const int top = std::min(y, other.y);
        const int right = std::max(x + width, other.x + other.width);
        const int bottom = std::max(y + height, other.y + other.height);
        return {left, top, right - left, bottom - top};
    }
    bool containsRect(const PixelRect& other) const {
        return other.x >= x && other.y >= y && other.x + other.width <= x + width &&
               other.y + other.height <= y + height;
    }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Nearest whole number, halves away from zero (150.5 -> 151, -0.5 -> -1).
inline double nearest(double v) {
    return std::round(v);
}

}  // namespace talvex
