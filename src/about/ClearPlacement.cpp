#include "about/ClearPlacement.h"

#include <algorithm>

namespace talvex::about_internal {

namespace {

// Moved as little as needed to lie within the screen; its top-left corner on screen
// when it is the larger.
PixelRect withinScreen(PixelRect frame, const PixelRect& screen) {
    frame.x = std::max(screen.x, std::min(frame.x, screen.x + screen.width - frame.width));
    frame.y = std::max(screen.y, std::min(frame.y, screen.y + screen.height - frame.height));
    return frame;
}

long long coveredArea(const PixelRect& frame, const std::vector<PixelRect>& above) {
    long long covered = 0;
    for (const PixelRect& window : above)
        covered += frame.intersected(window).area();
    return covered;
}

// Centred first, then beside each window above: right, left, below, above it.
std::vector<PixelRect> candidates(const PixelRect& centred, const std::vector<PixelRect>& above) {
    std::vector<PixelRect> places{centred};
    const int gap = ClearPlacement::gap;
    for (const PixelRect& window : above) {
        PixelRect place = centred;
        place.x = window.x + window.width + gap;
        places.push_back(place);
        place.x = window.x - gap - centred.width;
        places.push_back(place);
        place = centred;
        place.y = window.y + window.height + gap;
        places.push_back(place);
        place.y = window.y - gap - centred.height;
        places.push_back(place);
    }
    return places;
}

}  // namespace

PixelRect ClearPlacement::compute(int width, int height, const PixelRect& screen,
                                  const std::vector<PixelRect>& above) {
    const PixelRect centred{screen.x + (screen.width - width) / 2,
                            screen.y + (screen.height - height) / 2, width, height};
    PixelRect best = withinScreen(centred, screen);
    long long leastCovered = coveredArea(best, above);
    for (const PixelRect& candidate : candidates(centred, above)) {
        const PixelRect place = withinScreen(candidate, screen);
        const long long covered = coveredArea(place, above);
        if (covered < leastCovered) {
            best = place;
            leastCovered = covered;
        }
    }
    return best;
}

}  // namespace talvex::about_internal
