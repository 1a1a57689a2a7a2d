// Captures on a real X server with windows of known colours. The "panel" sits in a
// frame window of its own, the way a reparenting window manager would put it.
#include <gtest/gtest.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <QObject>
#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

#include "platform/x11/CapturedXImage.h"
#include "platform/x11/WindowCompositor.h"
#include "platform/x11/WindowServer.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XImageBuffer.h"
#include "platform/x11/XTestScene.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros collide with other names.
#include <X11/extensions/Xdamage.h>

namespace talvex {
namespace {

constexpr std::uint32_t red = 0xff0000;
constexpr std::uint32_t green = 0x00ff00;
constexpr std::uint32_t yellow = 0xffff00;
constexpr std::uint32_t magenta = 0xff00ff;
constexpr std::uint32_t frameGrey = 0x404040;
constexpr std::uint32_t opaque = 0xff000000;

// Red and green side by side; the panel (magenta, inside a grey frame with a 20-pixel
// title band) over their seam; a yellow window above the panel over part of it.
struct PanelScene {
    test::XTestScene scene;
    Window panel = 0;
    PixelRect panelRect{150, 150, 300, 100};  // root pixels

    PanelScene() {
        scene.makeWindow({100, 100, 200, 200}, red);
        scene.makeWindow({300, 100, 200, 200}, green);
        Window frame = scene.makeWindow({140, 130, 320, 130}, frameGrey);
        panel = scene.makeWindow({10, 20, 300, 100}, magenta, frame);
        scene.makeWindow({400, 120, 200, 60}, yellow);
    }
};

std::uint32_t pixel(const CapturedImage& image, int x, int y) {
    const auto& captured = dynamic_cast<const CapturedXImage&>(image);
    return test::pixelAt(captured.bytesInPlace(), image.bytesPerRow(), x, y);
}

TEST(WindowCapture, ShowsTheWindowsBelowThePanelAndNothingAtOrAboveIt) {
    TALVEX_REQUIRE_DISPLAY();
    PanelScene s;
    WindowServer server;
    ASSERT_TRUE(server.isConnected());

    auto image = server.imageBelowWindow({150, 150, 300, 100}, s.panel);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), 300u);
    ASSERT_EQ(image->height(), 100u);
    EXPECT_EQ(image->bitsPerPixel(), 32u);
    EXPECT_GE(image->bytesPerRow(), 4 * image->width());

    EXPECT_EQ(pixel(*image, 10, 50), opaque | red);
    EXPECT_EQ(pixel(*image, 200, 50), opaque | green);
    EXPECT_EQ(pixel(*image, 290, 10), opaque | green) << "the yellow window lies above";
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 300; ++x) {
            const std::uint32_t p = pixel(*image, x, y);
            ASSERT_TRUE(p == (opaque | red) || p == (opaque | green))
                << std::hex << p << " at " << std::dec << x << "," << y;
        }
    }
    auto bytes = image->copyBytes();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), image->bytesPerRow() * image->height());
}

TEST(WindowCapture, PaintsOffScreenPartsOpaqueBlack) {
    TALVEX_REQUIRE_DISPLAY();
    PanelScene s;
    WindowServer server;

    // Half of this lies left of and above the root; nothing is there but black.
    auto corner = server.imageBelowWindow({-50, -50, 100, 100}, s.panel);
    ASSERT_TRUE(corner);
    ASSERT_EQ(corner->width(), 100u);
    EXPECT_EQ(pixel(*corner, 5, 5), opaque);
    EXPECT_EQ(pixel(*corner, 95, 95), opaque);
}

// With no wallpaper published the desktop is the root's own background: a colour or a
// tile from the root's origin, as the screen shows it; off the root stays black. Our
// painting of it changes nothing beneath, and neither the stack nor a click sees it.
TEST(WindowCapture, ShowsTheRootBackgroundWhereNoWindowIs) {
    TALVEX_REQUIRE_DISPLAY();
    PanelScene s;
    Display* client = s.scene.display();
    const Window root = s.scene.root();
    struct Restore {
        Display* client;
        ~Restore() {  // None gives the root its default background back
            XSetWindowBackgroundPixmap(client, DefaultRootWindow(client), None);
            XClearWindow(client, DefaultRootWindow(client));
            XSync(client, False);
        }
    } restore{client};
    XSetWindowBackground(client, root, 0x3366aa);
    XClearWindow(client, root);
    s.scene.sync();
    WindowServer server;
    const PixelRect area{-50, 0, 200, 120};

    auto plain = server.imageBelowWindow(area, s.panel);
    ASSERT_TRUE(plain);
    EXPECT_EQ(pixel(*plain, 10, 10), opaque) << "off the root";
    EXPECT_EQ(pixel(*plain, 60, 10), opaque | 0x3366aa);
    EXPECT_EQ(pixel(*plain, 149, 99), opaque | 0x3366aa);
    EXPECT_EQ(pixel(*plain, 160, 110), opaque | red);
    ASSERT_TRUE(server.imageBelowWindow(area, s.panel));
    EXPECT_TRUE(server.unchangedSinceLastCapture(area, s.panel));

    // A 2 x 2 tile: green on the diagonal, magenta off it.
    const Pixmap tile = XCreatePixmap(client, root, 2, 2, DefaultDepth(client, 0));
    GC gc = XCreateGC(client, tile, 0, nullptr);
    XSetForeground(client, gc, green);
    XFillRectangle(client, tile, gc, 0, 0, 2, 2);
    XSetForeground(client, gc, magenta);
    XDrawPoint(client, tile, gc, 1, 0);
    XDrawPoint(client, tile, gc, 0, 1);
    XSetWindowBackgroundPixmap(client, root, tile);
    XClearWindow(client, root);
    XFreeGC(client, gc);
    XFreePixmap(client, tile);
    s.scene.sync();
    auto tiled = server.imageBelowWindow(area, s.panel);
    ASSERT_TRUE(tiled);
    EXPECT_EQ(pixel(*tiled, 60, 10), opaque | green);    // root (10, 10)
    EXPECT_EQ(pixel(*tiled, 61, 10), opaque | magenta);  // root (11, 10)
    EXPECT_EQ(pixel(*tiled, 61, 11), opaque | green);

    XSelectInput(client, root, ButtonPressMask);
    s.scene.clickAt(20, 20);
    EXPECT_TRUE(s.scene.receivedButtonPress(root)) << "a click on the desktop reaches the root";
    XSelectInput(client, root, 0);
}

TEST(WindowCapture, GivesNoImageOffScreenOrForUnknownWindows) {
    TALVEX_REQUIRE_DISPLAY();
    PanelScene s;
    WindowServer server;

    EXPECT_FALSE(server.imageBelowWindow({5000, 5000, 100, 100}, s.panel));
    EXPECT_FALSE(server.imageBelowWindow({-500, 100, 100, 100}, s.panel));
    EXPECT_FALSE(server.imageBelowWindow({150, 150, 0, 100}, s.panel));
    EXPECT_FALSE(server.imageBelowWindow({0, 0, 40000, 100}, s.panel));
    EXPECT_FALSE(server.imageBelowWindow({150, 150, 300, 100}, 0));
    EXPECT_FALSE(server.imageBelowWindow({150, 150, 300, 100}, 0x7ffffff0u));
    EXPECT_FALSE(
        server.imageBelowWindow({150, 150, 300, 100}, static_cast<std::uint32_t>(s.scene.root())));
    // And the connection still works afterwards.
    EXPECT_TRUE(server.imageBelowWindow({150, 150, 300, 100}, s.panel));
}

// A client's first window takes the id that the last client to leave had for its own:
// the damage object of the old window died with it and must not stand for the new one.
TEST(WindowCapture, AWindowTakingTheIdOfOneJustClosedIsTrackedAfresh) {
    TALVEX_REQUIRE_DISPLAY();
    PanelScene s;
    WindowServer server;
    const PixelRect area{150, 150, 300, 100};
    const auto openClientWindow = [](Display* client) {
        const Window w = XCreateSimpleWindow(client, DefaultRootWindow(client), 160, 160, 50, 50, 0,
                                             0, 0x0000ff);
        XMapWindow(client, w);
        XLowerWindow(client, w);
        XSync(client, False);
        return w;
    };
    Display* first = XOpenDisplay(nullptr);
    const Window closed = openClientWindow(first);
    ASSERT_TRUE(server.imageBelowWindow(area, s.panel));
    XCloseDisplay(first);
    std::unique_ptr<Display, int (*)(Display*)> second(XOpenDisplay(nullptr), &XCloseDisplay);
    const Window reused = openClientWindow(second.get());
    if (reused != closed)
        GTEST_SKIP() << "the server gave the new client's window another id";

    ASSERT_TRUE(server.imageBelowWindow(area, s.panel));
    XSetWindowBackground(second.get(), reused, 0xffffff);
    XClearWindow(second.get(), reused);
    XSync(second.get(), False);
    EXPECT_TRUE(test::waitUntil([&] { return !server.unchangedSinceLastCapture(area, s.panel); }));
}

// Nobody asks: the loop reads the change and announces it, once until the next capture;
// also when another thread made the server.
TEST(WindowCapture, AChangeBeneathTheLastCaptureIsAnnouncedOncePerCapture) {
    TALVEX_REQUIRE_DISPLAY();
    PanelScene s;
    int damageEvents = 0, damageErrors = 0;
    if (!XDamageQueryExtension(s.scene.display(), &damageEvents, &damageErrors))
        GTEST_SKIP() << "the server reports no changes";
    std::unique_ptr<WindowServer> made;
    std::thread([&made] { made = std::make_unique<WindowServer>(); }).join();
    WindowServer& server = *made;
    ASSERT_TRUE(server.areaChangesAreAnnounced());
    int announced = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&server, &WindowServer::areaDidChange, [&announced] { ++announced; });
    const PixelRect area{150, 150, 300, 100};
    Display* client = s.scene.display();
    const Window beneath = s.scene.makeWindow({160, 160, 50, 50}, red);
    XLowerWindow(client, beneath);
    s.scene.sync();
    const auto redraw = [&](std::uint32_t colour) {
        XSetWindowBackground(client, beneath, colour);
        XClearWindow(client, beneath);
        s.scene.sync();
    };
    for (int capture = 1; capture <= 2; ++capture) {
        ASSERT_TRUE(server.imageBelowWindow(area, s.panel));
        redraw(green);
        redraw(yellow);
        EXPECT_TRUE(test::waitUntil([&] { return announced == capture; }));
    }
    EXPECT_EQ(announced, 2);
    QObject::disconnect(counting);
}

TEST(WindowCapture, BlendsTranslucentWindowsOverWhatLiesBelow) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    scene.makeWindow({100, 500, 200, 100}, red);
    if (!scene.makeTranslucentWindow({100, 500, 200, 100}, 0x80000080)) {
        GTEST_SKIP() << "no 32-bit visual";
    }
    Window panel = scene.makeWindow({100, 500, 200, 100}, magenta);
    WindowServer server;

    auto image = server.imageBelowWindow({100, 500, 200, 100}, panel);
    ASSERT_TRUE(image);
    const std::uint32_t p = pixel(*image, 100, 50);
    EXPECT_EQ(p >> 24, 0xffu);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xff), 0x7f, 2);  // red half covered
    EXPECT_EQ((p >> 8) & 0xff, 0u);
    EXPECT_NEAR(static_cast<int>(p & 0xff), 0x80, 2);  // plus half blue
}

TEST(WindowCapture, SharedSegmentsArePrivateAndGoneWithTheirImage) {
    TALVEX_REQUIRE_DISPLAY();
    auto display = XDisplay::open();
    ASSERT_TRUE(display);
    auto buffer = XImageBuffer::createShared(display, 64, 32, 32, nullptr);
    if (!buffer) {
        GTEST_SKIP() << "no MIT-SHM";
    }
    const int id = buffer->segmentId();
    ASSERT_GE(id, 0);
    shmid_ds info{};
    ASSERT_EQ(shmctl(id, IPC_STAT, &info), 0);
    EXPECT_EQ(info.shm_perm.mode & 0777, 0600u);
    EXPECT_TRUE(info.shm_perm.mode & SHM_DEST) << "not yet marked for removal";
    EXPECT_EQ(info.shm_nattch, 2u) << "we and the server";

    buffer.reset();
    errno = 0;
    EXPECT_EQ(shmctl(id, IPC_STAT, &info), -1);
    EXPECT_TRUE(errno == EINVAL || errno == EIDRM);
}

TEST(WindowCapture, ImagesStillHeldAreNotOverwrittenByTheNextCapture) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    Window below = scene.makeWindow({700, 100, 100, 100}, red);
    Window panel = scene.makeWindow({700, 100, 100, 100}, magenta);
    WindowServer server;

    auto first = server.imageBelowWindow({700, 100, 100, 100}, panel);
    ASSERT_TRUE(first);
    XSetWindowBackground(scene.display(), below, green);
    XClearWindow(scene.display(), below);
    scene.sync();
    auto second = server.imageBelowWindow({700, 100, 100, 100}, panel);
    ASSERT_TRUE(second);
    XSetWindowBackground(scene.display(), below, 0x0000ff);
    XClearWindow(scene.display(), below);
    scene.sync();
    auto third = server.imageBelowWindow({700, 100, 100, 100}, panel);
    ASSERT_TRUE(third);
    // A size change drops the buffers of the old size; those still held stay intact.
    auto smaller = server.imageBelowWindow({700, 100, 50, 50}, panel);
    ASSERT_TRUE(smaller);
    EXPECT_EQ(pixel(*first, 50, 50), opaque | red);
    EXPECT_EQ(pixel(*second, 50, 50), opaque | green);
    EXPECT_EQ(pixel(*third, 50, 50), opaque | 0x0000ff);
    EXPECT_EQ(pixel(*smaller, 10, 10), opaque | 0x0000ff);
}

// A refused shared pixmap: each capture is composed on the server and read back afresh,
// the fallback is said once, and shared pixmaps are asked for again later.
TEST(WindowCapture, AfterARefusedSharedPixmapCapturesAreReadBackUntilTheNextTry) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    Window below = scene.makeWindow({700, 300, 100, 100}, red);
    Window panel = scene.makeWindow({700, 300, 100, 100}, magenta);
    auto compositor = WindowCompositor::create(XDisplay::open());
    ASSERT_TRUE(compositor);
    if (!compositor->composesInSharedMemory())
        GTEST_SKIP() << "no shared-memory pixmaps";
    testing::internal::CaptureStderr();
    compositor->refuseSharedPixmaps();
    const std::string log = testing::internal::GetCapturedStderr();
    std::uint32_t colour = red;
    for (int n = 1; n < WindowCompositor::capturesBetweenSharedMemoryTries; ++n) {
        if (n % 100 == 2) {
            colour ^= red | green;
            XSetWindowBackground(scene.display(), below, colour);
            XClearWindow(scene.display(), below);
            scene.sync();
        }
        auto image = compositor->imageBelowWindow({700, 300, 100, 100}, panel);
        ASSERT_TRUE(image);
        ASSERT_EQ(pixel(*image, 50, 50), opaque | colour) << "capture " << n;
        ASSERT_FALSE(compositor->composesInSharedMemory());
    }
    EXPECT_TRUE(compositor->imageBelowWindow({700, 300, 100, 100}, panel));
    EXPECT_TRUE(compositor->composesInSharedMemory());
    EXPECT_NE(log.find("Shared-memory pixmaps failed"), std::string::npos) << log;
}

// Windows below the panel appear, move, resize, unmap and vanish on another connection
// while captures run on a worker thread; every capture either works or gives none.
TEST(WindowCaptureThreaded, SurvivesWindowsVanishingMidCapture) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    scene.makeWindow({1000, 100, 300, 300}, red);
    Window panel = scene.makeWindow({1000, 100, 300, 300}, magenta);
    WindowServer server;

    std::atomic<bool> stop{false};
    std::thread churn([&] {
        Display* d = XOpenDisplay(nullptr);
        for (int i = 0; !stop && i < 2000; ++i) {
            XSetWindowAttributes a{};
            a.background_pixel = green;
            a.override_redirect = True;
            Window w = XCreateWindow(d, DefaultRootWindow(d), 1000 + i % 50, 100, 200, 200, 0,
                                     CopyFromParent, InputOutput, CopyFromParent,
                                     CWBackPixel | CWOverrideRedirect, &a);
            XWindowChanges justBelowPanel{};
            justBelowPanel.sibling = panel;
            justBelowPanel.stack_mode = Below;
            XConfigureWindow(d, w, CWSibling | CWStackMode, &justBelowPanel);
            XMapWindow(d, w);
            XFlush(d);
            XResizeWindow(d, w, 20, 20);
            if (i % 2) {
                XUnmapWindow(d, w);
            }
            XDestroyWindow(d, w);
            if (i % 16 == 0) {
                XSync(d, False);
            }
        }
        XCloseDisplay(d);
    });
    int images = 0;
    std::thread capture([&] {
        for (int i = 0; i < 300; ++i) {
            auto image = server.imageBelowWindow({1000, 100, 300, 300}, panel);
            if (image) {
                ++images;
                EXPECT_EQ(image->width(), 300u);
                EXPECT_EQ(pixel(*image, 299, 299), opaque | red);
            }
        }
    });
    capture.join();
    stop = true;
    churn.join();
    EXPECT_GT(images, 0);
}

TEST(WindowCaptureThreaded, ConcurrentCallersShareOneServerSafely) {
    TALVEX_REQUIRE_DISPLAY();
    test::XTestScene scene;
    scene.makeWindow({1400, 600, 200, 200}, green);
    Window panel = scene.makeWindow({1400, 600, 200, 200}, magenta);
    WindowServer server;

    std::atomic<int> good{0};
    auto work = [&](int width) {
        for (int i = 0; i < 100; ++i) {
            auto image = server.imageBelowWindow({1400, 600, width, 100}, panel);
            if (image && image->width() == static_cast<std::size_t>(width) &&
                pixel(*image, 10, 10) == (opaque | green)) {
                ++good;
            }
        }
    };
    std::thread a(work, 200);
    std::thread b(work, 120);
    a.join();
    b.join();
    EXPECT_EQ(good.load(), 200);
}

}  // namespace
}  // namespace talvex
