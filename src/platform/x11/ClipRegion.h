#pragma once

// A set of pixels as Xlib keeps it (a list of rectangles, worked on in the client, no
// server round trips), for tracking which parts of a capture each window still shows.
#include "platform/Geometry.h"

struct _XRegion;

namespace talvex {

class ClipRegion {
public:
    ClipRegion();
    explicit ClipRegion(const PixelRect& rect);
    ~ClipRegion();
    ClipRegion(ClipRegion&& other) noexcept;
    ClipRegion& operator=(ClipRegion&& other) noexcept;
    ClipRegion(const ClipRegion&) = delete;
    ClipRegion& operator=(const ClipRegion&) = delete;

    void add(const PixelRect& rect);
    void subtract(const ClipRegion& other);
    void offset(int dx, int dy);
    bool isEmpty() const;
    bool contains(const PixelRect& rect) const;

    _XRegion* get() const { return region_; }

private:
    _XRegion* region_;
};

}  // namespace talvex
