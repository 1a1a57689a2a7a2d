// Finding what changed between two pictures: nothing, single tiles, runs that grow
// across bands, and many scattered changes merged into a few rectangles that still
// hold every changed pixel.
#include <gtest/gtest.h>

#include <vector>

#include "render/ChangedArea.h"

namespace talvex {
namespace {

constexpr int kWidth = 100, kHeight = 70;  // not whole tiles: the last ones are cut
constexpr std::size_t kStride = kWidth * 4 + 8;

struct Pair {
    std::vector<std::uint8_t> before = std::vector<std::uint8_t>(kStride * kHeight, 0);
    std::vector<std::uint8_t> after = before;

    void change(int x, int y) { after[y * kStride + x * 4 + 1] ^= 0xff; }
    ChangedArea area() const {
        return ChangedArea::between({before.data(), after.data(), kWidth, kHeight, kStride, 4});
    }
};

bool covered(const ChangedArea& area, int x, int y) {
    for (const PixelRect& r : area.rects()) {
        if (r.containsRect({x, y, 1, 1}))
            return true;
    }
    return false;
}

TEST(ChangedArea, FindsTheChangedTilesAndNothingElse) {
    Pair pair;
    EXPECT_TRUE(pair.area().isEmpty());
    pair.after[kWidth * 4 + 3] = 7;  // row padding is not picture
    EXPECT_TRUE(pair.area().isEmpty());

    pair.change(99, 69);  // the cut corner tile
    pair.change(33, 40);
    pair.change(34, 70 - 32 - 1);  // the band above, same tile column: one rectangle
    const ChangedArea area = pair.area();
    ASSERT_EQ(area.rects().size(), 2u);
    EXPECT_EQ(area.rects()[0], (PixelRect{32, 32, 32, 32}));
    EXPECT_EQ(area.rects()[1], (PixelRect{96, 64, 4, 6}));
    EXPECT_EQ(area.area(), 32 * 32 + 4 * 6);
}

TEST(ChangedArea, ManyScatteredChangesMergeIntoAFewThatHoldThemAll) {
    Pair pair;
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < kHeight; y += 33)
        for (int x = 0; x < kWidth; x += 33)
            points.emplace_back(x, y);
    points.emplace_back(kWidth - 1, kHeight - 1);
    for (auto [x, y] : points)
        pair.change(x, y);
    const ChangedArea area = pair.area();
    EXPECT_LE(area.rects().size(), ChangedArea::maximumRects);
    for (auto [x, y] : points)
        EXPECT_TRUE(covered(area, x, y)) << x << "," << y;
    for (const PixelRect& r : area.rects())
        EXPECT_TRUE((PixelRect{0, 0, kWidth, kHeight}).containsRect(r));
}

}  // namespace
}  // namespace talvex
