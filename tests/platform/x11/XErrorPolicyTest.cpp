#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <string>

#include "platform/gl/GLXWindowContext.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XErrorPolicy.h"
#include "platform/x11/XErrorTrap.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

int foreignErrors = 0;
int countForeignError(Display*, XErrorEvent*) {
    ++foreignErrors;
    return 0;
}

constexpr Window noSuchWindow = 0x7ffffff0;

// Errors on our own connections are absorbed (Xlib's default would end the process);
// errors on anyone else's go to the handler that was there before ours.
TEST(XErrorPolicy, AbsorbsErrorsOnOwnConnectionsAndChainsOthers) {
    TALVEX_REQUIRE_DISPLAY();
    auto own = XDisplay::open();
    ASSERT_TRUE(own);
    XErrorHandler before = XSetErrorHandler(&countForeignError);
    XErrorPolicy::install();  // back on top, now chaining to countForeignError

    XErrorTrap quiet(own->get());
    EXPECT_FALSE(quiet.failed());
    XErrorTrap trap(own->get());
    XMapWindow(own->get(), noSuchWindow);
    XFreePixmap(own->get(), noSuchWindow);
    EXPECT_TRUE(trap.failed());
    EXPECT_EQ(foreignErrors, 0);

    Display* foreign = XOpenDisplay(nullptr);
    ASSERT_TRUE(foreign);
    XMapWindow(foreign, noSuchWindow);
    XSync(foreign, False);
    EXPECT_EQ(foreignErrors, 1);
    XCloseDisplay(foreign);

    // Leave the chain as it was: our handler over the one the test found.
    XSetErrorHandler(before);
    XErrorPolicy::install();
}

// A vanished window explains BadWindow, and a trap's errors are its caller's; any
// other error is a fault of ours: one line for each kind.
TEST(XErrorPolicy, LogsEachKindOfUnexpectedErrorOnce) {
    TALVEX_REQUIRE_DISPLAY();
    auto own = XDisplay::open();
    ASSERT_TRUE(own);
    Display* dpy = own->get();
    const Atom noSuchAtom = 0x7ffffff0;
    testing::internal::CaptureStderr();
    XMapWindow(dpy, noSuchWindow);
    {
        XErrorTrap trap(dpy);
        XDeleteProperty(dpy, own->root(), noSuchAtom);
        EXPECT_TRUE(trap.failed());
    }
    XDeleteProperty(dpy, own->root(), noSuchAtom);
    XDeleteProperty(dpy, own->root(), noSuchAtom);
    XSync(dpy, False);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(XErrorPolicy::errorCount(dpy), 4u);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("X error BadAtom (5) from request 19.0"), std::string::npos) << log;
}

// The GL connection is one of ours: an error on it (here, drawing into a window that
// vanished) never reaches the handler below ours, whose default ends the process.
TEST(XErrorPolicy, AbsorbsErrorsOnTheGLConnection) {
    TALVEX_REQUIRE_DISPLAY();
    auto own = XDisplay::open();
    ASSERT_TRUE(own);
    Display* dpy = own->get();
    const Window window = XCreateSimpleWindow(dpy, own->root(), 0, 0, 64, 64, 0, 0, 0);
    XMapWindow(dpy, window);
    XSync(dpy, False);
    auto context = GLXWindowContext::create(static_cast<std::uint32_t>(window));
    if (!context)
        GTEST_SKIP() << "no GLX for a plain window";
    XErrorHandler before = XSetErrorHandler(&countForeignError);
    XErrorPolicy::install();
    foreignErrors = 0;

    XDestroyWindow(dpy, window);
    XSync(dpy, False);
    context->makeCurrent();
    context->flushBuffer();
    context.reset();  // waits for the server's answers
    EXPECT_EQ(foreignErrors, 0);

    XSetErrorHandler(before);
    XErrorPolicy::install();
}

}  // namespace
}  // namespace talvex
