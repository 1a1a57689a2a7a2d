#include <gtest/gtest.h>

#include "platform/x11/DisplayGeometry.h"

namespace talvex {
namespace {

TEST(DisplayGeometry, ScreenAndGlobalFlipAboutTheMainDisplayHeight) {
    const DisplayGeometry geometry({0, 0, 1440, 900}, 1.0);
    EXPECT_EQ(geometry.screenToGlobal(Rect{100, 50, 300, 200}), (Rect{100, 650, 300, 200}));
    EXPECT_EQ(geometry.globalToScreen(Rect{100, 650, 300, 200}), (Rect{100, 50, 300, 200}));
    EXPECT_EQ(geometry.screenToGlobal(Point{100, 50}), (Point{100, 850}));
    EXPECT_EQ(geometry.globalToScreen(Point{100, 850}), (Point{100, 50}));
    // A display left of or below the main one has negative coordinates; same formula.
    EXPECT_EQ(geometry.screenToGlobal(Rect{-800, -300, 200, 100}), (Rect{-800, 1100, 200, 100}));
}

TEST(DisplayGeometry, RootPixelsFollowScaleAndMainDisplayOrigin) {
    // Main display of 1800 device pixels high at scale 2, right of a 1280-pixel monitor.
    const DisplayGeometry geometry({1280, 0, 2880, 1800}, 2.0);
    EXPECT_EQ(geometry.mainDisplayHeight(), 900);
    EXPECT_EQ(geometry.rootToGlobal(Point{1280, 0}), (Point{0, 0}));
    EXPECT_EQ(geometry.rootToGlobal(Point{0, 100}), (Point{-640, 50}));
    EXPECT_EQ(geometry.globalToRoot(Rect{10, 20, 30, 40}), (Rect{1300, 40, 60, 80}));
    EXPECT_EQ(geometry.rootToScreen(Rect{1300, 40, 60, 80}), (Rect{10, 840, 30, 40}));
    EXPECT_EQ(geometry.screenToRoot(Point{10, 880}), (Point{1300, 40}));

    const Rect screen{123.5, 456.25, 301, 200};
    EXPECT_EQ(geometry.rootToScreen(geometry.screenToRoot(screen)), screen);
}

TEST(DisplayGeometry, PixelRectsKeepTheirSizeWhereverTheyLie) {
    const DisplayGeometry geometry({0, 0, 1920, 1080}, 1.5);
    // 301 x 200 points at 1.5: 451.5 -> 452 and 300 pixels, at either origin.
    EXPECT_EQ(geometry.globalToRootPixels(Rect{0.5, 0, 301, 200}), (PixelRect{1, 0, 452, 300}));
    EXPECT_EQ(geometry.globalToRootPixels(Rect{0.2, 0, 301, 200}), (PixelRect{0, 0, 452, 300}));
    EXPECT_TRUE(geometry.globalToRootPixels(Rect{0, 0, 1e300, 0.1}).isEmpty());
    // A non-positive scale is taken as 1.
    EXPECT_EQ(DisplayGeometry({0, 0, 10, 10}, 0).scale(), 1.0);
}

TEST(PixelRect, IntersectionAndContainment) {
    const PixelRect a{0, 0, 100, 50};
    EXPECT_EQ(a.intersected({50, 25, 100, 100}), (PixelRect{50, 25, 50, 25}));
    EXPECT_TRUE(a.intersected({100, 0, 10, 10}).isEmpty()) << "touching edges do not meet";
    EXPECT_TRUE(a.containsRect({0, 0, 100, 50}));
    EXPECT_FALSE(a.containsRect({1, 0, 100, 50}));
}

}  // namespace
}  // namespace talvex
