#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/CaptureGeometry.h"

namespace talvex::capture {
namespace {

// Root pixels, y down; the halves are rounded in points, the odd point below the pointer.
TEST(CaptureGeometry, PointerAreaIsCentredWithHalvesRoundedAwayFromZero) {
    const Rect view{10, 20, 301, 201};
    const auto around = [&](Point p) { return viewAreaRect(view, ViewArea::mousePointer, p, 1); };
    EXPECT_EQ(around({1000, 500}), Rect(849, 400, 301, 201));
    EXPECT_EQ(viewAreaRect(view, ViewArea::underWindow, {1000, 500}, 1), view);
    // A negative pointer location keeps the same offsets.
    EXPECT_EQ(around({-1000, -500}), Rect(-1151, -600, 301, 201));
    // At two pixels per point the same 301 x 201 points.
    EXPECT_EQ(viewAreaRect({20, 40, 602, 402}, ViewArea::mousePointer, {2000, 1000}, 2),
              Rect(1698, 800, 602, 402));
}

TEST(CaptureGeometry, PointerOnLeftOrTopEdgeIsOverTheViewButNotOnRightOrBottom) {
    const Rect view{100, 100, 300, 200};
    const auto area = [&](Point p) { return viewAreaRect(view, ViewArea::mousePointer, p, 1); };
    EXPECT_EQ(area({100, 150}), view);                      // left edge
    EXPECT_EQ(area({200, 100}), view);                      // top edge
    EXPECT_EQ(area({400, 300}), Rect(250, 200, 300, 200));  // bottom-right corner
    EXPECT_NE(area({400, 150}), view);                      // right edge
    EXPECT_NE(area({200, 300}), view);                      // bottom edge
}

// Odd and even sizes alike: the magnified capture is centred, every view pixel shows one
// of its pixels, each shown on exactly `factor` columns but at the cut edges, and the
// view's middle shows what lies beneath it (to a pixel).
TEST(CaptureGeometry, AMagnifiedAreaIsCentredAndEachOfItsPixelsCoversFactorColumns) {
    for (int side = 300; side <= 303; ++side) {
        for (int factor = 2; factor <= 4; ++factor) {
            const std::string where = std::to_string(side) + " at " + std::to_string(factor);
            const Rect area = magnifiedRect({0, 0, double(side), double(side)}, factor, 1);
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
    EXPECT_EQ(magnifiedRect({5, 6, 301, 200}, 1, 1), Rect(5, 6, 301, 200));
    // Sizes in points at two pixels per point; the odd point left and below.
    EXPECT_EQ(magnifiedRect({0, 0, 602, 406}, 2, 2), Rect(150, 102, 302, 204));
    EXPECT_EQ(wholePixels({-0.4, 10.5, 99.6, 20.4}), (PixelRect{0, 11, 100, 20}));
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
    // The pointer in root pixels turns into the view's points, y up.
    EXPECT_EQ(pointInView({100, 200, 400, 200}, {150, 210}, 2), (Point{25, 95}));
}

}  // namespace
}  // namespace talvex::capture
