#include <gtest/gtest.h>

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
