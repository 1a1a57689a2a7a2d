#include "platform/x11/ClipRegion.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <utility>

namespace talvex {

ClipRegion::ClipRegion() : region_(XCreateRegion()) {}

ClipRegion::ClipRegion(const PixelRect& rect) : ClipRegion() {
    add(rect);
}

ClipRegion::~ClipRegion() {
    if (region_) {
        XDestroyRegion(region_);
    }
}

ClipRegion::ClipRegion(ClipRegion&& other) noexcept
    : region_(std::exchange(other.region_, nullptr)) {}

ClipRegion& ClipRegion::operator=(ClipRegion&& other) noexcept {
    std::swap(region_, other.region_);
    return *this;
}

void ClipRegion::add(const PixelRect& rect) {
    if (rect.isEmpty()) {
        return;
    }
    XRectangle r{static_cast<short>(rect.x), static_cast<short>(rect.y),
                 static_cast<unsigned short>(rect.width), static_cast<unsigned short>(rect.height)};
    XUnionRectWithRegion(&r, region_, region_);
}

void ClipRegion::subtract(const ClipRegion& other) {
    XSubtractRegion(region_, other.region_, region_);
}

void ClipRegion::offset(int dx, int dy) {
    XOffsetRegion(region_, dx, dy);
}

bool ClipRegion::isEmpty() const {
    return XEmptyRegion(region_);
}

bool ClipRegion::contains(const PixelRect& rect) const {
    return !rect.isEmpty() &&
           XRectInRegion(region_, rect.x, rect.y, static_cast<unsigned>(rect.width),
                         static_cast<unsigned>(rect.height)) == RectangleIn;
}

}  // namespace talvex
