// The main display and the monitors as RandR reports them, on an Xvfb of the test's
// own whose monitors the test defines (as xrandr --setmonitor does).
#include <gtest/gtest.h>

#include <memory>

#include "platform/x11/ScreenLayout.h"
#include "support/PrivateXServer.h"
#include "support/RandrMonitor.h"

// Xlib last: its macros collide with other names.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace talvex {
namespace {

// Xvfb's one output ("screen"), whose own monitor covers the whole root until a
// defined monitor takes the output over.
RROutput onlyOutput(Display* display) {
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    const RROutput output = resources && resources->noutput > 0 ? resources->outputs[0] : None;
    if (resources)
        XRRFreeScreenResources(resources);
    return output;
}

// Two monitors of 640 x 400: the first one listed lies right of and below the one at
// the root's origin. Without a primary, the one at the origin is the main display.
TEST(ScreenLayout, TheMainDisplayIsThePrimaryElseTheMonitorAtTheOrigin) {
    test::PrivateXServer server;
    if (!server.isRunning())
        GTEST_SKIP() << "Xvfb is not available";
    std::unique_ptr<Display, decltype(&XCloseDisplay)> connection(
        XOpenDisplay(server.name().toLatin1().constData()), XCloseDisplay);
    Display* display = connection.get();
    ASSERT_NE(display, nullptr);
    int major = 0, minor = 0;
    if (!XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105)
        GTEST_SKIP() << "no RandR 1.5 monitors";
    const unsigned long root = DefaultRootWindow(display);
    const PixelRect origin{0, 0, 640, 400};
    const PixelRect rightBelow{640, 400, 640, 400};
    test::defineMonitor(display, "RightBelow", rightBelow, onlyOutput(display));
    test::defineMonitor(display, "Origin", origin, None);

    ScreenLayout layout = ScreenLayout::query(display, root);
    ASSERT_EQ(layout.monitors().size(), 2u);
    EXPECT_EQ(layout.monitors().front(), rightBelow) << "listed first";
    EXPECT_EQ(layout.mainDisplay(), origin);
    EXPECT_TRUE(layout.isOnScreen({900, 500, 10, 10}));
    EXPECT_FALSE(layout.isOnScreen({900, 100, 10, 10})) << "right of the main, above the other";

    XRRSetOutputPrimary(display, root, onlyOutput(display));
    XSync(display, False);
    EXPECT_EQ(ScreenLayout::query(display, root).mainDisplay(), rightBelow);
}

}  // namespace
}  // namespace talvex
