// The GL widget on a real X server: what it draws stays on screen, the viewport follows
// its size, and a view that goes away while another thread draws leaves that thread
// drawing nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/CapturedImage.h"
#include "render/OpenGLPixelBufferView.h"
#include "render/TalvexFilter.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace talvex {
namespace {

// A 32-bit image of one colour (B, G, R, A bytes), rows padded by `padding` bytes.
MemoryImage solidImage(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                       int padding = 0) {
    const std::size_t stride = static_cast<std::size_t>(w) * 4 + padding;
    std::vector<std::uint8_t> bytes(stride * h, 0xEE);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &bytes[y * stride + x * 4];
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = 255;
        }
    }
    return MemoryImage(w, h, stride, 32, std::move(bytes));
}

// Counts the pixels of an X window that are not within 2 levels of (r, g, b); -1 when
// the window cannot be read.
int pixelsDifferingFrom(XWindowId window, int w, int h, int r, int g, int b) {
    Display* dpy = XOpenDisplay(nullptr);
    XImage* image = XGetImage(dpy, window, 0, 0, w, h, AllPlanes, ZPixmap);
    int differing = -1;
    if (image) {
        differing = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                if (std::abs(static_cast<int>((p >> 16) & 255) - r) > 2 ||
                    std::abs(static_cast<int>((p >> 8) & 255) - g) > 2 ||
                    std::abs(static_cast<int>(p & 255) - b) > 2) {
                    ++differing;
                }
            }
        }
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return differing;
}

class OpenGLPixelBufferViewTest : public testing::Test {
protected:
    void SetUp() override {
        TALVEX_REQUIRE_DISPLAY();
        TalvexFilter::registerDefaults();
        host_ = std::make_unique<QWidget>();
        host_->setStyleSheet("background: rgb(20, 200, 220)");
        host_->setGeometry(200, 200, 320, 240);
        view_ =
            new OpenGLPixelBufferView([] { return std::make_unique<TalvexFilter>(); }, host_.get());
        view_->setGeometry(10, 10, 200, 100);
        host_->show();
        ASSERT_TRUE(test::waitUntil([&] { return view_->hasDrawable() && view_->isVisible(); }));
    }

    // Displays a grey picture (grey takes no stripes) covering the view.
    void showGrey() {
        const double s = view_->devicePixelRatioF();
        const MemoryImage image =
            solidImage(static_cast<int>(view_->width() * s), static_cast<int>(view_->height() * s),
                       128, 128, 128, 12);
        view_->displayImage(image);
    }

    int nonGreyPixels() {
        const double s = view_->devicePixelRatioF();
        return pixelsDifferingFrom(nativeWindowId(*view_), static_cast<int>(view_->width() * s),
                                   static_cast<int>(view_->height() * s), 128, 128, 128);
    }

    std::unique_ptr<QWidget> host_;
    OpenGLPixelBufferView* view_ = nullptr;
};

TEST_F(OpenGLPixelBufferViewTest, ThePictureStaysWhenQtRepaintsAroundIt) {
    showGrey();
    ASSERT_TRUE(test::waitUntil([&] { return nonGreyPixels() == 0; }, 3000));
    host_->repaint();
    view_->update();
    view_->repaint();
    test::waitUntil([] { return false; }, 200);
    EXPECT_EQ(nonGreyPixels(), 0) << "Qt painted over the GL picture";
}

TEST_F(OpenGLPixelBufferViewTest, TheViewportFollowsTheViewsSize) {
    showGrey();
    view_->resize(300, 150);
    QCoreApplication::processEvents();
    showGrey();
    EXPECT_TRUE(test::waitUntil([&] { return nonGreyPixels() == 0; }, 3000))
        << nonGreyPixels() << " pixels outside the picture";
}

// The window's pixels as the server has them; empty when the window cannot be read.
std::vector<unsigned long> windowPixels(unsigned long window, int w, int h) {
    std::vector<unsigned long> pixels;
    Display* dpy = XOpenDisplay(nullptr);
    if (XImage* image = XGetImage(dpy, window, 0, 0, w, h, AllPlanes, ZPixmap)) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                pixels.push_back(XGetPixel(image, x, y) & 0xffffff);
        }
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return pixels;
}

// Changes drawn tile by tile, over several frames and across tile edges and the
// picture's corner, end in the same window pixels as one full redraw of the last image.
TEST_F(OpenGLPixelBufferViewTest, PartialUpdatesArePixelIdenticalToAFullRedraw) {
    const int w = view_->width(), h = view_->height();
    ASSERT_EQ(view_->devicePixelRatioF(), 1.0);
    MemoryImage image = solidImage(w, h, 0, 0, 0);
    std::vector<std::uint8_t> bytes = image.bytes();
    auto paint = [&](int x0, int y0, int pw, int ph, int seed) {
        for (int y = y0; y < y0 + ph; ++y) {
            for (int x = x0; x < x0 + pw; ++x) {
                std::uint8_t* p = &bytes[(y * w + x) * 4];
                p[0] = static_cast<std::uint8_t>(x * 3 + seed);
                p[1] = static_cast<std::uint8_t>((x + y) % 2 ? 200 : 40 + seed);
                p[2] = static_cast<std::uint8_t>(y * 5 + seed * 7);
            }
        }
        image = MemoryImage(w, h, w * 4, 32, bytes);
        view_->displayImage(image);
    };
    std::shared_ptr<PixelBufferRenderer> renderer = view_->renderer();
    paint(0, 0, w, h, 1);  // everything: a full frame
    const std::uint64_t partialBefore = renderer->partialFrames();
    paint(5, 5, 10, 10, 2);
    paint(28, 20, 40, 30, 3);  // across tile edges
    paint(w - 1, h - 1, 1, 1, 4);
    paint(90, 0, 3, h, 5);
    ASSERT_EQ(renderer->partialFrames() - partialBefore, 4u)
        << "the context cannot present part of a frame here";
    const std::vector<unsigned long> partial = windowPixels(view_->winId(), w, h);

    renderer->redrawRequired = true;
    view_->displayImage(image);
    const std::vector<unsigned long> full = windowPixels(view_->winId(), w, h);
    ASSERT_EQ(partial.size(), static_cast<std::size_t>(w * h));
    ASSERT_EQ(full.size(), partial.size());
    int differing = 0;
    for (std::size_t i = 0; i < full.size(); ++i)
        differing += full[i] != partial[i];
    EXPECT_EQ(differing, 0);
}

class OpenGLPixelBufferViewThreaded : public OpenGLPixelBufferViewTest {};

// The drawing thread keeps the last reference: the renderer and its GL context end
// there, while the main thread makes a view and a context of its own.
TEST_F(OpenGLPixelBufferViewThreaded, AViewDestroyedWhileAnotherThreadDrawsIsLeftAlone) {
    const std::weak_ptr<PixelBufferRenderer> watched = view_->renderer();
    const MemoryImage image = solidImage(200, 100, 255, 0, 0);
    std::atomic<int> frames{0};
    std::atomic<bool> detachedAtEnd{false};
    // Joined also when an assertion below returns early (a joinable std::thread would
    // end the test program instead of reporting the failure).
    std::jthread drawing([&, renderer = view_->renderer()](std::stop_token stop) mutable {
        while (!stop.stop_requested()) {
            renderer->displayImage(image);
            ++frames;
        }
        detachedAtEnd = renderer->isDetached();
        renderer.reset();
    });
    ASSERT_TRUE(test::waitUntil([&] { return frames > 3; }));
    host_.reset();  // the view, its window and the host's window go away
    const int atDestruction = frames;
    ASSERT_TRUE(test::waitUntil([&] { return frames > atDestruction + 3; }));
    EXPECT_FALSE(watched.expired());
    drawing.request_stop();
    SetUp();
    drawing.join();
    EXPECT_TRUE(detachedAtEnd);
    EXPECT_TRUE(watched.expired());
}

}  // namespace
}  // namespace talvex
