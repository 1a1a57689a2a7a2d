#pragma once

// Where a new picture differs from the one before it, found by comparing the two in
// square tiles and merged into a few rectangles (image pixels, rows top first), so
// that only those parts need uploading and drawing again. Plain C++.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Geometry.h"

namespace talvex {

class ChangedArea {
public:
    static constexpr int tileSide = 32;
    // More rectangles than this are merged, cheapest union first.
    static constexpr std::size_t maximumRects = 8;

    // Two pictures of the same geometry: `height` rows of `width` pixels of
    // `bytesPerPixel` bytes each, `bytesPerRow` apart.
    struct Pictures {
        const std::uint8_t* before = nullptr;
        const std::uint8_t* after = nullptr;
        int width = 0;
        int height = 0;
        std::size_t bytesPerRow = 0;
        std::size_t bytesPerPixel = 0;
    };

    static ChangedArea between(const Pictures& pictures);

    bool isEmpty() const { return rects_.empty(); }
    // Disjoint or not; together they hold every pixel that differs, whole tiles at a
    // time (cut at the picture's edges).
    const std::vector<PixelRect>& rects() const { return rects_; }
    long long area() const;

private:
    std::vector<PixelRect> rects_;

    // The runs of changed tiles in one band of rows, as rectangles of that band.
    static std::vector<PixelRect> changedRunsInBand(const Pictures& p, int top, int bottom);
    void addBand(const std::vector<PixelRect>& runs, std::vector<PixelRect>& open);
    void mergeDownTo(std::size_t count);
};

}  // namespace talvex
