#include "render/ChangedArea.h"

#include <cstring>
#include <limits>

namespace talvex {

namespace {

bool rowsDiffer(const ChangedArea::Pictures& p, int row, std::size_t offset, std::size_t length) {
    const std::size_t start = static_cast<std::size_t>(row) * p.bytesPerRow + offset;
    return std::memcmp(p.before + start, p.after + start, length) != 0;
}

}  // namespace

// A band of rows is compared row by row; only a row that differs is looked at tile by
// tile. A run of changed tiles becomes a rectangle; a rectangle of the band above grows
// down into this band when it overlaps one of this band's runs.
ChangedArea ChangedArea::between(const Pictures& p) {
    ChangedArea result;
    std::vector<PixelRect> open;
    for (int top = 0; top < p.height; top += tileSide)
        result.addBand(changedRunsInBand(p, top, std::min(top + tileSide, p.height)), open);
    result.rects_.insert(result.rects_.end(), open.begin(), open.end());
    result.mergeDownTo(maximumRects);
    return result;
}

std::vector<PixelRect> ChangedArea::changedRunsInBand(const Pictures& p, int top, int bottom) {
    const int columns = (p.width + tileSide - 1) / tileSide;
    const std::size_t rowLength = static_cast<std::size_t>(p.width) * p.bytesPerPixel;
    const std::size_t tileLength = tileSide * p.bytesPerPixel;
    std::vector<bool> changed(static_cast<std::size_t>(columns), false);
    for (int row = top; row < bottom; ++row) {
        if (!rowsDiffer(p, row, 0, rowLength))
            continue;
        for (int column = 0; column < columns; ++column) {
            const std::size_t offset = column * tileLength;
            if (!changed[column])
                changed[column] =
                    rowsDiffer(p, row, offset, std::min(tileLength, rowLength - offset));
        }
    }
    std::vector<PixelRect> runs;
    for (int column = 0; column < columns; ++column) {
        if (!changed[column])
            continue;
        const int first = column;
        while (column + 1 < columns && changed[column + 1])
            ++column;
        const int left = first * tileSide;
        const int right = std::min((column + 1) * tileSide, p.width);
        runs.push_back({left, top, right - left, bottom - top});
    }
    return runs;
}

// Each run extends the open rectangle it overlaps horizontally (the first one, when it
// overlaps several: the others then also take the run's rows, a few tiles too many at
// worst); rectangles no run extended are finished.
void ChangedArea::addBand(const std::vector<PixelRect>& runs, std::vector<PixelRect>& open) {
    std::vector<PixelRect> stillOpen;
    std::vector<bool> extended(open.size(), false);
    for (const PixelRect& run : runs) {
        PixelRect grown = run;
        for (std::size_t i = 0; i < open.size(); ++i) {
            if (open[i].x < run.x + run.width && run.x < open[i].x + open[i].width) {
                grown = grown.united(open[i]);
                extended[i] = true;
            }
        }
        stillOpen.push_back(grown);
    }
    for (std::size_t i = 0; i < open.size(); ++i) {
        if (!extended[i])
            rects_.push_back(open[i]);
    }
    open = std::move(stillOpen);
}

void ChangedArea::mergeDownTo(std::size_t count) {
    while (rects_.size() > count) {
        std::size_t bestA = 0, bestB = 1;
        long long bestCost = std::numeric_limits<long long>::max();
        for (std::size_t a = 0; a < rects_.size(); ++a) {
            for (std::size_t b = a + 1; b < rects_.size(); ++b) {
                const long long cost =
                    rects_[a].united(rects_[b]).area() - rects_[a].area() - rects_[b].area();
                if (cost < bestCost) {
                    bestCost = cost;
                    bestA = a;
                    bestB = b;
                }
            }
        }
        rects_[bestA] = rects_[bestA].united(rects_[bestB]);
        rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(bestB));
    }
}

long long ChangedArea::area() const {
    long long total = 0;
    for (const PixelRect& r : rects_)
        total += r.area();
    return total;
}

}  // namespace talvex
