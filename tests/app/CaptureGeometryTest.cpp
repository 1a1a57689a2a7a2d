#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/CaptureGeometry.h"

namespace talvex::capture {
namespace {

TEST(CaptureGeometry, PointerAreaIsCentredWithHalvesRoundedAwayFromZero) {
    const Rect panel{10, 20, 301, 200};
    EXPECT_EQ(viewAreaRect(panel, ViewArea::mousePointer, {1000, 500}), Rect(849, 400, 301, 200));
    EXPECT_EQ(viewAreaRect(panel, ViewArea::underWindow, {1000, 500}), panel);
    // A negative pointer location keeps the same offsets.
    EXPECT_EQ(viewAreaRect(panel, ViewArea::mousePointer, {-1000, -500}),
              Rect(-1151, -600, 301, 200));
}

TEST(CaptureGeometry, PointerOnLeftOrBottomEdgeIsOverThePanelButNotOnRightOrTop) {
    const Rect panel{100, 100, 300, 200};
    const Rect centred = [&](Point p) { return Rect(p.x - 150, p.y - 100, 300, 200); }({400, 300});
    EXPECT_EQ(viewAreaRect(panel, ViewArea::mousePointer, {100, 150}), panel);    // left edge
    EXPECT_EQ(viewAreaRect(panel, ViewArea::mousePointer, {200, 100}), panel);    // bottom edge
    EXPECT_EQ(viewAreaRect(panel, ViewArea::mousePointer, {400, 300}), centred);  // top-right
    EXPECT_NE(viewAreaRect(panel, ViewArea::mousePointer, {400, 150}), panel);    // right edge
    EXPECT_NE(viewAreaRect(panel, ViewArea::mousePointer, {200, 300}), panel);    // top edge
}

// Odd and even sizes alike: the magnified capture is centred, every view pixel shows one
// of its pixels, each shown on exactly `factor` columns but at the cut edges, and the
// view's middle shows what lies beneath it (to a pixel).
TEST(CaptureGeometry, AMagnifiedAreaIsCentredAndEachOfItsPixelsCoversFactorColumns) {
    for (int side = 300; side <= 303; ++side) {
        for (int factor = 2; factor <= 4; ++factor) {
            const std::string where = std::to_string(side) + " at " + std::to_string(factor);
            const Rect area = magnifiedRect({0, 0, double(side), double(side)}, factor);
            EXPECT_EQ(area.width(), (side + factor - 1) / factor) << where;
            EXPECT_LE(std::abs(area.x() + area.width() / 2 - side / 2.0), 0.5) << where;
            const PixelRect captured{int(area.x()), int(area.y()), int(area.width()),
                                     int(area.height())};
            std::vector<int> columns(captured.width);
            for (int i = 0; i < side; ++i) {
                const int x = int(shownPixel(captured, side, side, {i + 0.5, 0}, factor).x);
                ASSERT_TRUE(x >= captured.x && x < captured.x + captured.width) << where;
                ++columns[x - captured.x];
            }
            for (int t = 1; t + 1 < captured.width; ++t)
                EXPECT_EQ(columns[t], factor) << where << " texel " << t;
            const double middle = shownPixel(captured, side, side, {side / 2.0, 0}, factor).x;
            // Whole pixels: the middle pixel shows the one beneath it or its neighbour.
            EXPECT_LE(std::abs(middle - std::floor(side / 2.0)), 1) << where;
        }
    }
    EXPECT_EQ(magnifiedRect({5, 6, 301, 200}, 1), Rect(5, 6, 301, 200));
}

TEST(CaptureGeometry, ScreenAreaTurnsIntoGlobalDisplayCoordinates) {
    EXPECT_EQ(globalDisplayRect({100, 50, 300, 200}, 900), Rect(100, 650, 300, 200));
    // A panel on a display above the main one has a negative global y.
    EXPECT_EQ(globalDisplayRect({0, 1000, 300, 200}, 900), Rect(0, -300, 300, 200));
}

TEST(CaptureGeometry, WindowNumbersOutsideThirtyTwoBitsAreRejectedWithTheirNumber) {
    EXPECT_FALSE(isValidWindowNumber(0));
    EXPECT_FALSE(isValidWindowNumber(-1));
    EXPECT_FALSE(isValidWindowNumber(4294967296LL));
    EXPECT_TRUE(isValidWindowNumber(1));
    EXPECT_TRUE(isValidWindowNumber(4294967295LL));
    EXPECT_EQ(skippingCaptureMessage(-1), "Skipping capture for uninitialized window ID -1.");
    EXPECT_EQ(skippingCaptureMessage(4294967296LL),
              "Skipping capture for uninitialized window ID 4294967296.");
}

TEST(CaptureGeometry, ClicksPassOverThePictureExceptInTheBottomCornerSquares) {
    const Rect view{0, 0, 200, 100};
    EXPECT_FALSE(ignoresMouseEvents(view, {4, 4}));
    EXPECT_TRUE(ignoresMouseEvents(view, {100, 4}));
    EXPECT_TRUE(ignoresMouseEvents(view, {4, 50}));
    EXPECT_FALSE(ignoresMouseEvents(view, {196, 4}));
    EXPECT_TRUE(ignoresMouseEvents(view, {196, 8}));    // just above the square
    EXPECT_FALSE(ignoresMouseEvents(view, {200, 50}));  // outside: the panel takes clicks
    EXPECT_FALSE(ignoresMouseEvents(view, {-1, 50}));
    EXPECT_EQ(bottomRightGrip(view), Rect(192, 0, 8, 8));
}

}  // namespace
}  // namespace talvex::capture
