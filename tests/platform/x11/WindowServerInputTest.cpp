// Display queries and click-through on a real X server, clicks sent with XTest.
#include <gtest/gtest.h>

#include "platform/x11/WindowServer.h"
#include "platform/x11/XTestScene.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

TEST(WindowServerQueries, MainDisplayAndPointerInRootPixels) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    WindowServer server;

    const Rect main = server.mainDisplayBounds();
    EXPECT_EQ(main.origin, (Point{0, 0}));
    EXPECT_EQ(main.width(), DisplayWidth(scene.display(), DefaultScreen(scene.display())));
    EXPECT_EQ(main.height(), DisplayHeight(scene.display(), DefaultScreen(scene.display())));

    XWarpPointer(scene.display(), 0, scene.root(), 0, 0, 0, 0, 123, 45);
    scene.sync();
    EXPECT_EQ(server.pointerLocation(), (Point{123, 45}));
}

// The panel sits in a frame (as under a reparenting window manager) with a title band
// above it; a window beneath records the clicks that pass through.
TEST(WindowServerClickThrough, ClicksPassOnlyWhereTheInputRegionIsEmpty) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    Window beneath = scene.makeWindow({500, 500, 400, 300}, 0x0000ff);
    Window frame = scene.makeWindow({540, 520, 300, 220}, 0x404040);
    Window panel = scene.makeWindow({0, 20, 300, 200}, 0xff00ff, frame);
    WindowServer server;
    // A round trip on the server's connection makes sure its requests are handled
    // before the test's clicks arrive.
    auto settle = [&] { (void)server.primaryButtonDown(); };

    const PixelRect corner{0, 192, 8, 8};  // bottom-left square, panel pixels
    server.setIgnoresMouseEvents(static_cast<std::uint32_t>(panel), true, {corner});
    settle();
    scene.clickAt(690, 640);  // the panel's middle
    EXPECT_TRUE(scene.receivedButtonPress(beneath));
    EXPECT_FALSE(scene.receivedButtonPress(panel, 100));
    scene.clickAt(543, 736);  // inside the kept corner
    EXPECT_TRUE(scene.receivedButtonPress(panel));
    scene.clickAt(690, 530);  // the frame's title band stays clickable
    EXPECT_TRUE(scene.receivedButtonPress(frame));
    EXPECT_FALSE(scene.receivedButtonPress(beneath, 100));

    server.setIgnoresMouseEvents(static_cast<std::uint32_t>(panel), false);
    settle();
    scene.clickAt(690, 640);
    EXPECT_TRUE(scene.receivedButtonPress(panel));
    EXPECT_FALSE(scene.receivedButtonPress(beneath, 100));
}

}  // namespace
}  // namespace talvex
