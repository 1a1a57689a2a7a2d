// The pointer followed from device events on a real X server, moved with XTest as a
// mouse moves it, and warped as a program may.
#include "platform/x11/PointerWatch.h"

#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>

#include "platform/x11/XTestScene.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

using namespace std::chrono_literals;

// Two more answers that agree: the pointer is confirmed at rest.
void settle(PointerWatch& watch) {
    watch.location();
    watch.location();
}

TEST(PointerWatch, ARestingPointerCostsNoRoundTripAndADeviceMoveIsSeenAtOnce) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    // No warp check within the test: only events can tell of a move.
    auto watch = PointerWatch::open(nullptr, std::chrono::hours(1));
    ASSERT_NE(watch, nullptr);
    XTestFakeMotionEvent(scene.display(), -1, 100, 100, CurrentTime);
    scene.sync();
    ASSERT_TRUE(test::waitUntil([&] { return watch->location() == Point{100, 100}; }));
    settle(*watch);
    ASSERT_TRUE(watch->listening()) << "the server lacks XInput 2.1";

    const std::uint64_t queries = watch->queries();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(watch->location(), (Point{100, 100}));
    EXPECT_EQ(watch->queries(), queries);

    XTestFakeMotionEvent(scene.display(), -1, 240, 130, CurrentTime);
    scene.sync();
    EXPECT_TRUE(test::waitUntil([&] { return watch->location() == Point{240, 130}; }));
    EXPECT_FALSE(watch->listening()) << "a moving pointer is asked for, not listened to";
}

TEST(PointerWatch, AWarpIsSeenByTheWarpCheck) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    auto watch = PointerWatch::open(nullptr, 200ms);
    ASSERT_NE(watch, nullptr);
    XWarpPointer(scene.display(), 0, scene.root(), 0, 0, 0, 0, 50, 60);
    scene.sync();
    ASSERT_TRUE(test::waitUntil([&] { return watch->location() == Point{50, 60}; }));
    settle(*watch);
    XWarpPointer(scene.display(), 0, scene.root(), 0, 0, 0, 0, 70, 80);
    scene.sync();
    EXPECT_TRUE(test::waitUntil([&] { return watch->location() == Point{70, 80}; }));
}

}  // namespace
}  // namespace talvex
