// The live lens on a real X server: coloured X windows beneath a panel, captures
// through the window server, and the panel's own pixels read back from the server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/FilteredView.h"
#include "app/LensSource.h"
#include "app/Window.h"
#include "platform/CapturedImage.h"
#include "platform/Dispatch.h"
#include "platform/Timer.h"
#include "platform/UserDefaults.h"
#include "platform/x11/WindowServer.h"
#include "render/TalvexFilter.h"
#include "support/RandrMonitor.h"
#include "support/TestEnvironment.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

namespace talvex {
namespace {

struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr Rgb red{255, 0, 0};
constexpr Rgb green{0, 255, 0};
constexpr Rgb grey{128, 128, 128};
constexpr Rgb white{255, 255, 255};
constexpr Rgb black{0, 0, 0};

// The stripe tables in drawable pixels: column i, row j from the bottom, period 8 × s.
// Red (1, 0, 0) and green (0, 1, 0) take full-strength bands; grey takes none.
Rgb expectedStripe(Rgb beneath, int i, int j, int s) {
    const int period = 8 * s;
    const int k = ((i + j + 1) % period + period) % period;
    const int q = ((j - i) % period + period) % period;
    const bool redBandsHere = k < s || k >= 6 * s;
    if (beneath == red && redBandsHere)
        return k < s ? white : black;
    if (beneath == green && !redBandsHere) {
        if (q < s)
            return white;
        if (q >= 6 * s)
            return black;
    }
    return beneath;
}

std::string text(const Rgb& c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

bool near(const Rgb& a, const Rgb& b, int tolerance = 3) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// A connection of the test's own: solid windows beneath the panel and read-backs.
class TestDisplay {
public:
    TestDisplay() : dpy_(XOpenDisplay(nullptr)) {}
    ~TestDisplay() {
        for (XWindowId w : windows_)
            XDestroyWindow(dpy_, w);
        XCloseDisplay(dpy_);
    }

    // A window of one colour, not managed by any window manager, on top of the others.
    XWindowId solidWindow(int x, int y, int w, int h, Rgb c) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel =
            (static_cast<unsigned long>(c.r) << 16) | (static_cast<unsigned long>(c.g) << 8) | c.b;
        const XWindowId window =
            XCreateWindow(dpy_, DefaultRootWindow(dpy_), x, y, w, h, 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(dpy_, window);
        XSync(dpy_, False);
        windows_.push_back(window);
        return window;
    }

    void move(XWindowId window, int x, int y) {
        XMoveWindow(dpy_, window, x, y);
        XSync(dpy_, False);
    }

    // As a pointing device moves it.
    void movePointer(QPoint root) {
        XTestFakeMotionEvent(dpy_, -1, root.x(), root.y(), CurrentTime);
        XSync(dpy_, False);
    }

    // As a program moves it (no device motion).
    void warpPointer(QPoint root) {
        XWarpPointer(dpy_, 0, DefaultRootWindow(dpy_), 0, 0, 0, 0, root.x(), root.y());
        XSync(dpy_, False);
    }

    // New contents for a window, drawn the way an application would.
    void recolour(XWindowId window, Rgb c) {
        XSetWindowBackground(
            dpy_, window,
            (static_cast<unsigned long>(c.r) << 16) | (static_cast<unsigned long>(c.g) << 8) | c.b);
        XClearWindow(dpy_, window);
        XSync(dpy_, False);
    }

    // Restacks `window` right below `sibling` (a top-level window).
    void stackBelow(XWindowId window, XWindowId sibling) {
        XWindowChanges changes{};
        changes.sibling = sibling;
        changes.stack_mode = Below;
        XConfigureWindow(dpy_, window, CWSibling | CWStackMode, &changes);
        XSync(dpy_, False);
    }

    void destroy(XWindowId window) {
        XDestroyWindow(dpy_, window);
        XSync(dpy_, False);
        std::erase(windows_, window);
    }

    // Root position of a window's top-left pixel.
    QPoint rootPosition(XWindowId window) {
        int x = 0, y = 0;
        ::Window child = 0;
        XTranslateCoordinates(dpy_, window, DefaultRootWindow(dpy_), 0, 0, &x, &y, &child);
        return {x, y};
    }

    // Where the pointer is, in root pixels.
    QPoint pointer() {
        ::Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(dpy_, DefaultRootWindow(dpy_), &root, &child, &x, &y, &wx, &wy, &mask);
        return {x, y};
    }

    // A click of the first button, as a pointing device makes it.
    void clickAt(QPoint root) {
        movePointer(root);
        XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
        XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
        XSync(dpy_, False);
    }

    // Presses on `window` are reported from now on (listen), and the root position of
    // the next one, waited for with a deadline while the toolkit runs.
    void listenForPresses(XWindowId window) {
        XSelectInput(dpy_, window, ButtonPressMask);
        XSync(dpy_, False);
    }
    // Whether a press on `window` has come, now that the server handled all we sent.
    bool pressArrived(XWindowId window) {
        XSync(dpy_, False);
        XEvent event{};
        return XCheckWindowEvent(dpy_, window, ButtonPressMask, &event) == True;
    }
    std::optional<QPoint> nextPress(XWindowId window) {
        XEvent event{};
        const bool pressed = test::waitUntil(
            [&] { return XCheckWindowEvent(dpy_, window, ButtonPressMask, &event) == True; });
        if (!pressed)
            return std::nullopt;
        return QPoint(event.xbutton.x_root, event.xbutton.y_root);
    }

    // The window's pixels as the server holds them, rows top first; empty when the
    // window cannot be read (unmapped).
    std::vector<Rgb> pixels(XWindowId window, int w, int h) {
        XSync(dpy_, False);
        XImage* image = XGetImage(dpy_, window, 0, 0, w, h, AllPlanes, ZPixmap);
        if (!image)
            return {};
        std::vector<Rgb> out(static_cast<std::size_t>(w) * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                out[static_cast<std::size_t>(y) * w + x] = {static_cast<int>((p >> 16) & 255),
                                                            static_cast<int>((p >> 8) & 255),
                                                            static_cast<int>(p & 255)};
            }
        }
        XDestroyImage(image);
        return out;
    }

private:
    Display* dpy_;
    std::vector<XWindowId> windows_;
};

// Lets a test hold captures in flight: every capture waits while the gate is closed.
class CaptureGate {
public:
    std::unique_ptr<CapturedImage> capture(const PixelRect& area, Rgb colour) {
        std::unique_lock lock(mutex_);
        ++calls_;
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        --waiting_;
        const auto w = static_cast<std::size_t>(area.width);
        const auto h = static_cast<std::size_t>(area.height);
        std::vector<std::uint8_t> bytes(w * h * 4);
        for (std::size_t p = 0; p < w * h; ++p) {
            bytes[4 * p + 0] = static_cast<std::uint8_t>(colour.b);
            bytes[4 * p + 1] = static_cast<std::uint8_t>(colour.g);
            bytes[4 * p + 2] = static_cast<std::uint8_t>(colour.r);
            bytes[4 * p + 3] = 255;
        }
        return std::make_unique<MemoryImage>(w, h, w * 4, 32, std::move(bytes));
    }
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitForWaiting(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return waiting_ >= count; });
    }
    int calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
    int calls_ = 0;
    int waiting_ = 0;
};

// A lens whose captures happen only when the test asks, with an injectable window number.
class TestView : public FilteredView {
public:
    std::optional<std::int64_t> windowNumberOverride;
    std::int64_t windowNumber() const override {
        return windowNumberOverride ? *windowNumberOverride : FilteredView::windowNumber();
    }
    void prepareTimer() override {}
};

class FilteredViewTest : public testing::Test {
protected:
    void SetUp() override {
        TALVEX_REQUIRE_DISPLAY();
        TalvexFilter::registerDefaults();
        scale_ = qApp->devicePixelRatio();
    }

    void TearDown() override {
        gate_->open();
        dispatch::waitForGlobalQueue();
        QCoreApplication::processEvents();
        panel_.reset();
        QCoreApplication::processEvents();
    }

    // A panel whose content view covers `content` (root pixels), shown on top.
    TestView& showPanel(QRect content) {
        panel_ = std::make_unique<Window>();
        view_ = new TestView;
        panel_->setContentWidget(view_);
        const QRect inner = panel_->contentRect();
        const auto toPoints = [this](int pixels) { return static_cast<int>(pixels / scale_); };
        panel_->resize(toPoints(content.width()) + panel_->width() - inner.width(),
                       toPoints(content.height()) + panel_->height() - inner.height());
        panel_->move(toPoints(content.x()) - inner.x(), toPoints(content.y()) - inner.y());
        panel_->show();
        panel_->raise();
        EXPECT_TRUE(test::waitUntil([&] {
            return view_->hasDrawable() && view_->isVisible() && !view_->scheduler().occluded();
        }));
        EXPECT_TRUE(test::waitUntil([&] { return !view_->capturing(); }));
        return *view_;
    }

    void useGate(Rgb colour) {
        view_->setImageSource([gate = gate_, colour](const PixelRect& r, XWindowId) {
            return gate->capture(r, colour);
        });
    }

    // A panel with a lens of its own, on its refresh timer, over the middle of the screen.
    FilteredView* showLivePanel() {
        panel_ = std::make_unique<Window>();
        auto* view = new FilteredView;
        panel_->setContentWidget(view);
        panel_->setGeometry(300, 300, 240, 160);
        panel_->show();
        panel_->raise();
        return view;
    }

    // Most of the picture is this colour (stripes cover less than half of any colour).
    bool viewShows(FilteredView& view, Rgb colour) {
        const auto pixels = x_.pixels(nativeWindowId(view), static_cast<int>(view.width() * scale_),
                                      static_cast<int>(view.height() * scale_));
        const auto same = std::count_if(pixels.begin(), pixels.end(),
                                        [&](const Rgb& p) { return near(p, colour); });
        return !pixels.empty() && same * 2 > static_cast<std::ptrdiff_t>(pixels.size());
    }

    bool waitForIdle() {
        return test::waitUntil([&] { return !view_->capturing(); });
    }

    std::vector<Rgb> viewPixels() {
        return x_.pixels(nativeWindowId(*view_), pixelWidth(), pixelHeight());
    }
    int pixelWidth() const { return static_cast<int>(view_->width() * scale_); }
    int pixelHeight() const { return static_cast<int>(view_->height() * scale_); }

    TestDisplay x_;
    double scale_ = 1;
    std::unique_ptr<Window> panel_;
    TestView* view_ = nullptr;
    std::shared_ptr<CaptureGate> gate_ = std::make_shared<CaptureGate>();
};

// Mismatches between the view's pixels and the stripe tables over what lies beneath.
// Pixels next to a colour edge and under the panel's corner grips are not judged.
struct StripeCheck {
    int mismatches = 0;
    int judged = 0;
    std::string first;
};

TEST_F(FilteredViewTest, StripesFollowTheColoursBeneathAndThePanelNeverSeesItself) {
    const int s = static_cast<int>(scale_);
    const QRect redArea(300, 200, 240, 400), greenArea(540, 200, 240, 400);
    x_.solidWindow(0, 0, 1920, 1080, grey);
    x_.solidWindow(redArea.x(), redArea.y(), redArea.width(), redArea.height(), red);
    x_.solidWindow(greenArea.x(), greenArea.y(), greenArea.width(), greenArea.height(), green);
    // Grey, red and green beneath the content; the panel's title bar lies over grey. The
    // view's window is made at the panel's first size and resized: the one capture below
    // is also the first frame at the new size.
    TestView& view = showPanel(QRect(200, 300, 720, 240));

    struct Seen {
        std::mutex mutex;
        std::vector<std::pair<std::size_t, std::size_t>> sizes;
    };
    auto seen = std::make_shared<Seen>();
    view.setImageSource([seen](const PixelRect& r, XWindowId id) {
        auto image = WindowServer::shared().imageBelowWindow(r, id);
        std::lock_guard lock(seen->mutex);
        if (image)
            seen->sizes.emplace_back(image->width(), image->height());
        return image;
    });
    view.redrawCaptureAsync();
    ASSERT_TRUE(waitForIdle());
    {
        std::lock_guard lock(seen->mutex);
        ASSERT_FALSE(seen->sizes.empty()) << "no image from the window server";
        // The image has the display's own density: points × scale pixels.
        EXPECT_EQ(seen->sizes.back().first, static_cast<std::size_t>(pixelWidth()));
        EXPECT_EQ(seen->sizes.back().second, static_cast<std::size_t>(pixelHeight()));
    }

    const QPoint origin = x_.rootPosition(nativeWindowId(view));
    const int w = pixelWidth(), h = pixelHeight(), grip = 8 * s + 2, edge = 2;
    const auto beneath = [&](int x, int y) -> std::optional<Rgb> {
        for (const auto& [area, colour] : {std::pair{greenArea, green}, {redArea, red}}) {
            if (area.adjusted(-edge, -edge, edge, edge).contains(x, y)) {
                if (!area.adjusted(edge, edge, -edge, -edge).contains(x, y))
                    return {};
                return colour;
            }
        }
        return grey;
    };
    StripeCheck check;
    const bool matched = test::waitUntil(
        [&] {
            const std::vector<Rgb> pixels = viewPixels();
            check = {};
            if (pixels.empty())
                return false;
            for (int row = 0; row < h; ++row) {
                for (int i = 0; i < w; ++i) {
                    if (row >= h - grip && (i < grip || i >= w - grip))
                        continue;
                    const auto under = beneath(origin.x() + i, origin.y() + row);
                    if (!under)
                        continue;
                    const int j = h - 1 - row;
                    const Rgb want = expectedStripe(*under, i, j, s);
                    const Rgb got = pixels[static_cast<std::size_t>(row) * w + i];
                    ++check.judged;
                    if (!near(got, want) && check.mismatches++ == 0) {
                        check.first = "(" + std::to_string(i) + ", " + std::to_string(j) +
                                      ") got " + text(got) + " want " + text(want);
                    }
                }
            }
            return check.mismatches == 0;
        },
        3000);
    EXPECT_TRUE(matched) << check.mismatches << " of " << check.judged << " pixels differ; first "
                         << check.first;
    EXPECT_GT(check.judged, w * h / 2);
}

// The same picture at a backing scale factor of 2, in a child process (Qt's scale factor
// is fixed when the application starts): twice the pixels, stripes of period 16.
TEST_F(FilteredViewTest, AtScaleTwoTheCaptureDoublesAndTheStripesKeepTheirSizeInPoints) {
    if (qEnvironmentVariableIsSet("TALVEX_LENS_SCALE_CHILD"))
        GTEST_SKIP() << "in the child";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCALE_FACTOR", "2");
    env.insert("TALVEX_LENS_SCALE_CHILD", "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=FilteredViewTest.StripesFollowTheColours*"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// Magnified n times, view pixel (i, row) shows root pixel middle + floor(i / n) of a
// capture centred beneath the view; the stripes keep their size in window pixels. Thin
// lines then carry bands (a diagonal run of 3 white pixels or more; the green ones are
// dashed where red bands could lie), which at 1× they are too narrow for. A click on the picture
// reaches the place it shows.
TEST_F(FilteredViewTest, MagnifiedTheMiddleIsEnlargedStripedAndClicksReachWhatItShows) {
    const int s = static_cast<int>(scale_);
    const QRect content(400, 200, 400, 400);
    const XWindowId backdrop = x_.solidWindow(0, 0, 1920, 1080, grey);
    const QRect square(550, 350, 100, 100);  // under the centre (600, 400)
    x_.solidWindow(550, 350, 100, 100, red);
    // Within the middle third, beside the square.
    QRect redLine(540, 340, 2, 120);
    const QRect greenLine(656, 340, 2, 120);
    const XWindowId redLineWindow =
        x_.solidWindow(redLine.x(), redLine.y(), redLine.width(), redLine.height(), red);
    x_.solidWindow(greenLine.x(), greenLine.y(), greenLine.width(), greenLine.height(), green);
    TestView& view = showPanel(content);
    const QPoint origin = x_.rootPosition(nativeWindowId(view));
    const auto beneath = [&](int x, int y) {
        // The lines lie above the square.
        if (greenLine.contains(x, y))
            return green;
        return square.contains(x, y) || redLine.contains(x, y) ? red : grey;
    };
    const auto magnify = [&](int factor) {
        UserDefaults::standard().setIntegerForKey(factor, keys::magnification);
        EXPECT_EQ(view.magnification(), factor);
        view.redrawCaptureAsync();
    };
    // The picture against the tables; the longest white diagonal run in each line's
    // stripe direction.
    struct Seen {
        StripeCheck check;
        int redRun = 0, greenRun = 0;
    };
    const auto look = [&](int factor) {
        Seen seen;
        const std::vector<Rgb> pixels = viewPixels();
        const int w = pixelWidth(), h = pixelHeight(), grip = 8 * s + 2;
        // The capture: a factor-th of the view, rounded up, centred beneath it; drawn
        // centred too, whole pixels of it cut off before the view's first.
        const int capturedW = (w + factor - 1) / factor, capturedH = (h + factor - 1) / factor;
        const QPoint captured(origin.x() + (w - capturedW) / 2, origin.y() + (h - capturedH) / 2);
        const QPoint cut((capturedW * factor - w) / 2, (capturedH * factor - h) / 2);
        const auto place = [&](int i, int row) {
            return QPoint(captured.x() + (i + cut.x()) / factor,
                          captured.y() + (row + cut.y()) / factor);
        };
        for (int row = 0; row < h && !pixels.empty(); ++row) {
            for (int i = 0; i < w; ++i) {
                if (row >= h - grip && (i < grip || i >= w - grip))
                    continue;
                const Rgb got = pixels[static_cast<std::size_t>(row) * w + i];
                const QPoint p = place(i, row);
                const Rgb want = expectedStripe(beneath(p.x(), p.y()), i, h - 1 - row, s);
                ++seen.check.judged;
                if (!near(got, want) && seen.check.mismatches++ == 0) {
                    seen.check.first = "(" + std::to_string(i) + ", " + std::to_string(row) +
                                       ") got " + text(got) + " want " + text(want);
                }
                // Red bands run down to the right, green ones down to the left.
                for (const auto& [line, step, run] :
                     {std::tuple{redLine, 1, &seen.redRun}, {greenLine, -1, &seen.greenRun}}) {
                    int n = 0;
                    while (row + n < h && i + step * n >= 0 && i + step * n < w &&
                           line.contains(place(i + step * n, row + n)) &&
                           pixels[static_cast<std::size_t>(row + n) * w + i + step * n] == white)
                        ++n;
                    *run = std::max(*run, n);
                }
            }
        }
        return seen;
    };
    Seen seen;
    const auto matches = [&](int factor) {
        const bool matched = test::waitUntil(
            [&] {
                seen = look(factor);
                return seen.check.judged > 0 && seen.check.mismatches == 0;
            },
            3000);
        EXPECT_TRUE(matched) << factor << "×: " << seen.check.mismatches << " of "
                             << seen.check.judged << " differ; first " << seen.check.first;
    };
    for (const int factor : {3, 2, 1}) {
        magnify(factor);
        matches(factor);
        EXPECT_EQ(seen.redRun >= 3, factor > 1) << factor << "×: red run " << seen.redRun;
        EXPECT_EQ(seen.greenRun >= 3, factor > 1) << factor << "×: green run " << seen.greenRun;
    }
    // A small change beneath a magnified picture redraws only where it shows.
    magnify(3);
    matches(3);
    const std::uint64_t partial = view.renderer()->partialFrames();
    redLine.translate(3, 1);
    x_.move(redLineWindow, redLine.x(), redLine.y());
    view.redrawCaptureAsync();
    matches(3);
    EXPECT_GT(view.renderer()->partialFrames(), partial);

    // A click at the picture's top right: at 2× it reaches the backdrop at the place
    // shown there, and the pointer comes back; at 1× it passes straight through.
    x_.listenForPresses(backdrop);
    const QPoint clicked = origin + QPoint(300, 100);
    for (const auto& [factor, reached] : {std::pair{2, origin + QPoint(250, 150)}, {1, clicked}}) {
        magnify(factor);
        x_.movePointer(clicked);
        view.recaptureIfNeeded();  // a tick sets click-through
        x_.clickAt(clicked);
        EXPECT_EQ(x_.nextPress(backdrop), std::optional<QPoint>(reached)) << factor << "×";
        EXPECT_EQ(x_.pointer(), clicked);
    }
    UserDefaults::standard().removeObjectForKey(keys::magnification);
}

// Finding: a click picks the colour it lands on, as captured, and goes no further; then
// teal keeps its pixels (colour and stripes) while cyan and green turn grey at the
// dimmed lightness the still-image mode draws too.
TEST_F(FilteredViewTest, FindingAColourKeepsItAndItsStripesAndGreysTheRest) {
    constexpr Rgb teal{0, 128, 128}, cyan{0, 255, 255}, brightGreen{0, 160, 0};
    x_.solidWindow(0, 0, 1920, 1080, grey);
    const XWindowId tealWindow = x_.solidWindow(400, 200, 120, 300, teal);
    x_.solidWindow(520, 200, 120, 300, cyan);
    x_.solidWindow(640, 200, 120, 300, brightGreen);
    TestView& view = showPanel(QRect(400, 250, 360, 200));
    const QPoint origin = x_.rootPosition(nativeWindowId(view));
    view.redrawCaptureAsync();
    std::vector<Rgb> plain;
    ASSERT_TRUE(test::waitUntil([&] {
        plain = viewPixels();
        return !plain.empty() &&
               near(plain[static_cast<std::size_t>(100) * pixelWidth() + 300], brightGreen, 80);
    }));

    x_.listenForPresses(tealWindow);
    view.startPickingColour();
    view.recaptureIfNeeded();  // a tick keeps the picture taking clicks
    x_.clickAt(origin + QPoint(60, 100));
    EXPECT_TRUE(test::waitUntil([&] { return view.foundColour().has_value(); }));
    EXPECT_EQ(view.foundColour(), (talvex::Rgb{0, 128, 128}));
    EXPECT_FALSE(view.pickingColour());
    EXPECT_FALSE(x_.pressArrived(tealWindow)) << "the picking click went on";

    const auto dimmed = [](Rgb c) {
        const auto lab = TalvexFilter::cielab(talvex::Rgb{static_cast<std::uint8_t>(c.r),
                                                          static_cast<std::uint8_t>(c.g),
                                                          static_cast<std::uint8_t>(c.b)});
        const int level = static_cast<int>(std::lround(255 * (0.12 + 0.4 * lab[0] / 100)));
        return Rgb{level, level, level};
    };
    std::string first;
    const bool found = test::waitUntil([&] {
        const std::vector<Rgb> pixels = viewPixels();
        if (pixels.size() != plain.size())
            return false;
        const int w = pixelWidth(), h = pixelHeight();
        for (int row = 0; row < h - 12; ++row) {
            for (int i = 0; i < w; ++i) {
                const std::size_t at = static_cast<std::size_t>(row) * w + i;
                const Rgb want = i < 120 ? plain[at] : dimmed(i < 240 ? cyan : brightGreen);
                if (!near(pixels[at], want, 1)) {
                    first = std::to_string(i) + "," + std::to_string(row) + " got " +
                            text(pixels[at]) + " want " + text(want);
                    return false;
                }
            }
        }
        return true;
    });
    EXPECT_TRUE(found) << first;
    int striped = 0;
    for (int row = 0; row < 100; ++row) {
        for (int i = 0; i < 120; ++i)
            striped += plain[static_cast<std::size_t>(row) * pixelWidth() + i] != teal;
    }
    EXPECT_GT(striped, 100) << "teal carries stripes";

    view.findColour(std::nullopt);
    EXPECT_TRUE(test::waitUntil([&] { return viewPixels() == plain; }));
}

TEST_F(FilteredViewTest, WindowNumbersOutsideThe32BitRangeAreLoggedAndNotCaptured) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    std::atomic<std::int64_t> capturedId{-99};
    view.setImageSource([&capturedId](const PixelRect&, XWindowId id) {
        capturedId = id;
        return std::unique_ptr<CapturedImage>();
    });
    for (const std::int64_t number : std::vector<std::int64_t>{0, -1, 4294967296}) {
        view.windowNumberOverride = number;
        testing::internal::CaptureStderr();
        view.redrawCaptureAsync();
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(log,
                  "Skipping capture for uninitialized window ID " + std::to_string(number) + ".\n");
        EXPECT_FALSE(view.capturing());
    }
    dispatch::waitForGlobalQueue();
    EXPECT_EQ(capturedId, -99);

    view.windowNumberOverride = std::int64_t{4294967295};
    view.redrawCaptureAsync();
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(capturedId, std::int64_t{4294967295});
}

TEST_F(FilteredViewTest, AViewOutsideAWindowNeverCaptures) {
    TestView view;
    int calls = 0;
    view.setImageSource([&calls](const PixelRect&, XWindowId) {
        ++calls;
        return std::unique_ptr<CapturedImage>();
    });
    view.windowNumberOverride = 42;
    view.redrawCaptureAsync();
    dispatch::waitForGlobalQueue();
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(view.capturing());
    EXPECT_EQ(view.updateTimer(), nullptr);
}

// While the compositor draws the lens (a Wayland session) the view asks for no capture
// and names the colour the compositor reports; afterwards it captures again.
TEST_F(FilteredViewTest, WhileTheCompositorDrawsTheViewCapturesNothingAndNamesItsColour) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    std::atomic<int> calls{0};
    view.setImageSource([&calls](const PixelRect&, XWindowId) {
        ++calls;
        return std::unique_ptr<CapturedImage>();
    });
    ASSERT_TRUE(waitForIdle());
    const int before = calls;
    struct DrawingLens : LensSource {
        bool draws = true;
        bool compositorDraws() const override { return draws; }
        std::optional<talvex::Rgb> colourUnderPointer() const override {
            return talvex::Rgb{1, 2, 3};
        }
    } lens;
    view.setLensSource(&lens);
    view.redrawCaptureAsync();
    view.recaptureIfNeeded();
    dispatch::waitForGlobalQueue();
    EXPECT_EQ(calls, before);
    EXPECT_FALSE(view.capturing());
    EXPECT_EQ(view.capturedColourUnderPointer(), (talvex::Rgb{1, 2, 3}));

    lens.draws = false;
    view.redrawCaptureAsync();
    ASSERT_TRUE(waitForIdle());
    EXPECT_GT(calls, before);
}

// A window manager may place or move the panel before the toolkit has processed the
// news; the capture area follows the server's placement, not the toolkit's.
// Until the panel shows on screen (where a window manager put it) nothing is captured:
// its first picture is of its place, never of where it was before.
TEST_F(FilteredViewTest, NothingIsCapturedBeforeThePanelShowsOnScreen) {
    panel_ = std::make_unique<Window>();
    view_ = new TestView;
    panel_->setContentWidget(view_);
    panel_->setGeometry(300, 300, 240, 160);
    panel_->show();  // created, not yet seen mapped
    view_->redrawCaptureAsync();
    EXPECT_FALSE(view_->capturing());
    EXPECT_TRUE(test::waitUntil([&] { return view_->isVisible(); })) << "shown with a picture";
}

TEST_F(FilteredViewTest, TheCaptureAreaFollowsTheServersPlacementOfThePanel) {
    TestView& view = showPanel(QRect(100, 120, 200, 100));
    x_.move(nativeWindowId(*panel_), 500, 300);  // no Qt event processed after this
    const QPoint root = x_.rootPosition(nativeWindowId(view));
    EXPECT_EQ(view.viewRectInRootPixels(), Rect(root.x(), root.y(), pixelWidth(), pixelHeight()));
    EXPECT_GE(root.x(), 500);
}

// Two RandR monitors side by side over the test server's root, the right one primary
// (so the main display does not hold the root's origin); the server's own again after.
class TwoMonitors {
public:
    TwoMonitors() : dpy_(XOpenDisplay(nullptr)), root_(DefaultRootWindow(dpy_)) {
        int major = 0, minor = 0;
        if (!XRRQueryVersion(dpy_, &major, &minor) || major * 100 + minor < 105)
            return;
        XRRScreenResources* resources = XRRGetScreenResourcesCurrent(dpy_, root_);
        output_ = resources && resources->noutput > 0 ? resources->outputs[0] : 0;
        if (resources)
            XRRFreeScreenResources(resources);
        primaryBefore_ = XRRGetOutputPrimary(dpy_, root_);
        test::defineMonitor(dpy_, "TalvexLeft", left, 0);
        test::defineMonitor(dpy_, "TalvexRight", right, output_);
        XRRSetOutputPrimary(dpy_, root_, output_);
        XSync(dpy_, False);
        ready_ = output_ != 0;
    }
    ~TwoMonitors() {
        for (const char* name : {"TalvexLeft", "TalvexRight"})
            XRRDeleteMonitor(dpy_, root_, XInternAtom(dpy_, name, False));
        XRRSetOutputPrimary(dpy_, root_, primaryBefore_);
        XCloseDisplay(dpy_);
    }
    bool ready() const { return ready_; }
    static constexpr PixelRect left{0, 0, 960, 1080};
    static constexpr PixelRect right{960, 0, 960, 1080};

private:
    Display* dpy_;
    ::Window root_;
    RROutput output_ = 0;
    RROutput primaryBefore_ = 0;
    bool ready_ = false;
};

// A panel on the monitor that is not the main display: the tick's capture area is the
// view's own rectangle on the root, and around the pointer the area about the pointer
// there, whichever monitor holds the main display (followed from RandR).
TEST_F(FilteredViewTest, OnTwoMonitorsTheTicksAreaIsTheViewsPlaceOnTheRoot) {
    const Rect wholeRoot = WindowServer::shared().mainDisplayBounds();
    TwoMonitors monitors;
    if (!monitors.ready())
        GTEST_SKIP() << "no RandR 1.5 monitors";
    ASSERT_TRUE(test::waitUntil([] {
        return WindowServer::shared().mainDisplayBounds() == Rect(960, 0, 960, 1080);
    })) << "the main display follows the layout, from "
        << wholeRoot.width();
    x_.solidWindow(0, 0, 1920, 1080, grey);
    x_.solidWindow(100, 100, 700, 600, red);
    TestView& view = showPanel(QRect(200, 300, 240, 160));
    struct Seen {
        std::mutex mutex;
        std::vector<PixelRect> areas;
    };
    auto seen = std::make_shared<Seen>();
    view.setImageSource([seen](const PixelRect& area, XWindowId id) {
        std::lock_guard lock(seen->mutex);
        seen->areas.push_back(area);
        return WindowServer::shared().imageBelowWindow(area, id);
    });
    const auto lastArea = [&] {
        std::lock_guard lock(seen->mutex);
        return seen->areas.empty() ? PixelRect{} : seen->areas.back();
    };
    const QPoint origin = x_.rootPosition(nativeWindowId(view));
    const PixelRect viewPixels{origin.x(), origin.y(), pixelWidth(), pixelHeight()};

    x_.movePointer(QPoint(1400, 600));  // on the main display, off the panel
    view.recaptureIfNeeded();
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(lastArea(), viewPixels);
    EXPECT_TRUE(test::waitUntil([&] { return viewShows(view, red); }));

    UserDefaults::standard().setIntegerForKey(1, keys::viewArea);  // around the pointer
    ASSERT_TRUE(
        test::waitUntil([&] { return view.scheduler().viewArea() == ViewArea::mousePointer; }));
    x_.movePointer(QPoint(1500, 500));
    view.recaptureIfNeeded();
    ASSERT_TRUE(waitForIdle());
    const int halfWidth = static_cast<int>(nearest(view.width() * 0.5) * scale_);
    const int belowPointer = static_cast<int>(nearest(view.height() * 0.5) * scale_);
    EXPECT_EQ(lastArea(), (PixelRect{1500 - halfWidth, 500 + belowPointer - viewPixels.height,
                                     viewPixels.width, viewPixels.height}));
    EXPECT_TRUE(test::waitUntil([&] { return viewShows(view, grey); }));
    UserDefaults::standard().removeObjectForKey(keys::viewArea);
}

// With the refresh timer running at the fast speed: a screen where nothing changes
// costs no capture (and, with the pointer resting, few ticks), a window changing
// beneath shows at once, and so does one raised over the area.
TEST_F(FilteredViewTest, OnlyChangesBeneathCostCapturesAndTheyShowAtOnce) {
    UserDefaults::standard().setIntegerForKey(1, keys::refreshSpeed);
    const XWindowId beneath = x_.solidWindow(0, 0, 1920, 1080, grey);
    FilteredView* view = showLivePanel();
    const auto& history = view->captureHistory();
    const auto shows = [&](Rgb colour) { return viewShows(*view, colour); };
    ASSERT_TRUE(test::waitUntil([&] { return view->isVisible() && shows(grey); }));
    ASSERT_TRUE(test::waitUntil([&] { return history.skipped > 0; }));

    const std::uint64_t captures = history.captures;
    test::waitUntil([] { return false; }, 2000);  // 100 ticks with nothing changing
    EXPECT_EQ(history.captures, captures) << history.skipped << " skipped";

    // A resting pointer, and one a device moves over the picture while nothing changes
    // beneath: one tick per capture check, and still no capture.
    const auto ticksEvery = [&](double seconds) {
        return std::abs(view->updateTimer()->timeInterval() - seconds) < 1e-9;
    };
    EXPECT_TRUE(test::waitUntil([&] { return ticksEvery(0.02 * 6); }));
    int step = 0;
    const auto moving = [&] { x_.movePointer(QPoint(380 + step++ % 50, 400)); };
    const std::uint64_t skippedAtRest = history.skipped;
    EXPECT_TRUE(test::waitUntil([&] {
        moving();
        return history.skipped >= skippedAtRest + 5;
    }));
    EXPECT_TRUE(ticksEvery(0.02 * 6));
    EXPECT_EQ(history.captures, captures);

    x_.recolour(beneath, green);
    EXPECT_TRUE(test::waitUntil(
        [&] {
            moving();
            return shows(green);
        },
        3000));
    const XWindowId above = x_.solidWindow(0, 0, 1920, 1080, white);
    x_.stackBelow(above, nativeWindowId(*panel_));
    EXPECT_TRUE(test::waitUntil([&] { return shows(white); }, 3000));
    x_.destroy(above);
    EXPECT_TRUE(test::waitUntil([&] { return shows(green); }, 3000));
    UserDefaults::standard().removeObjectForKey(keys::refreshSpeed);
}

// Around the pointer, the picture follows a device's move also after the pointer rested
// long enough for the ticks to slow down.
TEST_F(FilteredViewTest, AroundThePointerThePictureFollowsTheDevice) {
    UserDefaults::standard().setIntegerForKey(1, keys::viewArea);
    x_.solidWindow(0, 0, 960, 1080, grey);
    x_.solidWindow(960, 0, 960, 1080, green);
    x_.movePointer(QPoint(1400, 700));
    FilteredView* view = showLivePanel();
    const auto shows = [&](Rgb colour) { return viewShows(*view, colour); };
    EXPECT_TRUE(test::waitUntil([&] { return view->isVisible() && shows(green); }));
    EXPECT_TRUE(test::waitUntil([&] {
        return std::abs(view->updateTimer()->timeInterval() -
                        6 * view->scheduler().updateInterval()) < 1e-9;
    }));
    x_.movePointer(QPoint(500, 800));
    EXPECT_TRUE(test::waitUntil([&] { return shows(grey); }));

    // A warp sends no device motion: the next tick sees it all the same.
    EXPECT_TRUE(test::waitUntil([&] { return WindowServer::shared().pointerMotionIsAnnounced(); }));
    x_.warpPointer(QPoint(1400, 700));
    view->recaptureIfNeeded();
    EXPECT_EQ(WindowServer::shared().pointerLocation(), (Point{1400, 700}));
    EXPECT_TRUE(test::waitUntil([&] { return shows(green); }));
    UserDefaults::standard().removeObjectForKey(keys::viewArea);
}

// A held picture captures nothing, stays through a drag and a change beneath, and
// letting go shows what is beneath now.
TEST_F(FilteredViewTest, AHeldPictureStaysUntilLetGo) {
    const XWindowId beneath = x_.solidWindow(0, 0, 1920, 1080, grey);
    FilteredView* view = showLivePanel();
    const auto& history = view->captureHistory();
    const auto shows = [&](Rgb colour) { return viewShows(*view, colour); };
    ASSERT_TRUE(test::waitUntil([&] { return view->isVisible() && shows(grey); }));

    view->scheduler().setHeld(true);
    const std::uint64_t captures = history.captures;
    x_.recolour(beneath, green);
    panel_->move(340, 320);
    EXPECT_TRUE(test::waitUntil([&] { return panel_->pos() == QPoint(340, 320); }));
    test::waitUntil([] { return false; }, 500);  // ticks, an expose and a move
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(shows(grey));
    EXPECT_EQ(history.captures, captures);

    view->scheduler().setHeld(false);
    EXPECT_TRUE(test::waitUntil([&] { return shows(green); }, 3000));
}

TEST_F(FilteredViewTest, TheRefreshTimerLivesWhileTheViewIsInAWindow) {
    Window panel;
    auto* view = new FilteredView;
    EXPECT_EQ(view->updateTimer(), nullptr);
    panel.setContentWidget(view);
    ASSERT_NE(view->updateTimer(), nullptr);
    EXPECT_TRUE(view->updateTimer()->isScheduled());
    EXPECT_DOUBLE_EQ(view->updateTimer()->tolerance(), view->scheduler().updateInterval() / 10);

    // Leaving the window stops the timer and following the window's signals.
    view->setParent(nullptr);
    EXPECT_EQ(view->updateTimer(), nullptr);
    emit panel.liveResizeStarted();
    EXPECT_FALSE(view->scheduler().resizingOrMoving());
    view->setParent(&panel);
    EXPECT_NE(view->updateTimer(), nullptr);
    emit panel.liveResizeStarted();
    EXPECT_TRUE(view->scheduler().resizingOrMoving());
    emit panel.liveResizeEnded();
}

// A tick turns the pointer's screen position into the view's y-up coordinates: near
// the view's top-left corner clicks pass through, over its bottom-left grip they do not.
TEST_F(FilteredViewTest, ATickPlacesThePointerInTheViewAndAPixelRatioChangeReshapes) {
    TestView& view = showPanel(QRect(300, 300, 200, 120));
    const auto pointAt = [&](QPoint inView) {
        const QPoint global = view.mapToGlobal(inView);
        const Point root{global.x() * scale_, global.y() * scale_};
        x_.movePointer(QPoint(int(root.x), int(root.y)));
        ASSERT_TRUE(
            test::waitUntil([&] { return WindowServer::shared().pointerLocation() == root; }));
        view.recaptureIfNeeded();
    };
    pointAt(QPoint(3, 3));
    EXPECT_TRUE(panel_->ignoresMouseEvents()) << "top-left corner of the picture";
    pointAt(QPoint(3, view.height() - 3));
    EXPECT_FALSE(panel_->ignoresMouseEvents()) << "bottom-left grip";
    pointAt(QPoint(view.width() / 2, view.height() / 2));
    EXPECT_TRUE(panel_->ignoresMouseEvents());

    // Warped from the title bar onto the picture, the pointer's clicks pass through as
    // soon as the toolkit tells that it entered the view.
    struct EnterCount : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::Enter;
            return false;
        }
    } entered;
    view.installEventFilter(&entered);
    pointAt(QPoint(view.width() / 2, -4));
    EXPECT_FALSE(panel_->ignoresMouseEvents()) << "title bar";
    ASSERT_TRUE(test::waitUntil([&] {
        WindowServer::shared().pointerLocation();
        return WindowServer::shared().pointerMotionIsAnnounced();
    }));
    const int enteredBefore = entered.count;
    const QPoint centre = view.mapToGlobal(QPoint(view.width() / 2, view.height() / 2));
    x_.warpPointer(QPoint(int(centre.x() * scale_), int(centre.y() * scale_)));
    ASSERT_TRUE(test::waitUntil([&] { return entered.count > enteredBefore; }));
    EXPECT_TRUE(panel_->ignoresMouseEvents());
    view.removeEventFilter(&entered);

    // A change of the window's pixel ratio reshapes the view (and so redraws it).
    view.renderer()->redrawRequired = false;
    emit panel_->backingScaleFactorChanged();
    EXPECT_TRUE(view.renderer()->redrawRequired);
}

// Each speed's timer has its interval and a tenth of it as tolerance; any settings
// change replaces the timer, also with one of the same interval.
TEST_F(FilteredViewTest, EachSpeedHasItsTimerAndASettingsChangeReplacesIt) {
    Window panel;
    auto* view = new FilteredView;
    panel.setContentWidget(view);
    for (const auto& [speed, interval] : {std::pair{-1, 0.1}, {1, 0.02}, {0, 0.05}}) {
        UserDefaults::standard().setIntegerForKey(speed, keys::refreshSpeed);
        ASSERT_TRUE(
            test::waitUntil([&] { return view->scheduler().updateInterval() == interval; }));
        EXPECT_DOUBLE_EQ(view->updateTimer()->timeInterval(), interval);
        EXPECT_DOUBLE_EQ(view->updateTimer()->tolerance(), interval / 10);
    }
    // A mark on the running timer that a new one would not carry (a new timer may take
    // the old one's address).
    const_cast<Timer*>(view->updateTimer())->setTolerance(0.0123);
    UserDefaults::standard().setIntegerForKey(0, keys::redStripesEnabled);
    ASSERT_TRUE(test::waitUntil([&] { return view->updateTimer()->tolerance() == 0.005; }));
    EXPECT_DOUBLE_EQ(view->updateTimer()->timeInterval(), 0.05);
    UserDefaults::standard().removeObjectForKey(keys::redStripesEnabled);
    UserDefaults::standard().removeObjectForKey(keys::refreshSpeed);
}

}  // namespace

// Suites that exercise the capture thread against the main thread (run under TSan too).
class FilteredViewThreaded : public FilteredViewTest {};

namespace {

// A setting written on another thread reaches the view on its own thread and from it
// the renderer's filter and the view's followers, once; a write that changes nothing
// of the lens reaches nobody.
TEST_F(FilteredViewThreaded, AStoreChangeReachesTheFilterAndFollowersOnTheViewsThread) {
    FilteredView view;
    std::vector<int> announced;
    QObject::connect(&view, &FilteredView::lensSettingsChanged, [&](const LensSettings& s) {
        EXPECT_EQ(QThread::currentThread(), view.thread());
        announced.push_back(s.strength);
    });
    std::thread([] { UserDefaults::standard().setIntegerForKey(50, keys::stripeStrength); }).join();
    ASSERT_TRUE(test::waitUntil([&] { return !announced.empty(); }));
    EXPECT_EQ(announced, std::vector<int>{50});
    EXPECT_EQ(view.renderer()->lensSettings().strength, 50);
    EXPECT_DOUBLE_EQ(view.filter().strength(), 0.5);
    UserDefaults::standard().setIntegerForKey(50, keys::stripeStrength);
    UserDefaults::standard().setIntegerForKey(0, "NotALensSetting");
    EXPECT_EQ(announced.size(), 1u);
    UserDefaults::standard().removeObjectForKey(keys::stripeStrength);
    UserDefaults::standard().removeObjectForKey("NotALensSetting");
}

TEST_F(FilteredViewThreaded, ARequestDuringACaptureIsDropped) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    useGate(red);
    gate_->close();
    view.redrawCaptureAsync();
    ASSERT_TRUE(gate_->waitForWaiting(1));
    EXPECT_TRUE(view.capturing());
    view.redrawCaptureAsync();
    view.redrawCaptureAsync();
    // Captures asked for from here on (an expose or a move the toolkit delivers later)
    // go to another source, so the gate counts only what was asked during the capture.
    const auto later = std::make_shared<CaptureGate>();
    view.setImageSource(
        [later](const PixelRect& r, XWindowId) { return later->capture(r, green); });
    gate_->open();
    ASSERT_TRUE(waitForIdle());
    dispatch::waitForGlobalQueue();
    EXPECT_EQ(gate_->calls(), 1);
}

TEST_F(FilteredViewThreaded, CapturingDisabledDuringACaptureShowsNothing) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    useGate(green);
    view.redrawCaptureAsync();  // a first picture of green
    ASSERT_TRUE(waitForIdle());
    ASSERT_TRUE(test::waitUntil([&] {
        const auto p = viewPixels();
        return !p.empty() && near(p[p.size() / 2 + 3], green);
    }));

    useGate(red);
    gate_->close();
    view.redrawCaptureAsync();
    ASSERT_TRUE(gate_->waitForWaiting(1));
    view.setCapturingDisabled(true);
    gate_->open();
    ASSERT_TRUE(waitForIdle());
    dispatch::waitForGlobalQueue();
    QCoreApplication::processEvents();  // whatever the capture left for the main thread
    for (const Rgb& p : viewPixels()) {
        ASSERT_FALSE(p == red) << "the capture of a paused view was shown";
    }
}

TEST_F(FilteredViewThreaded, AViewDestroyedDuringACaptureIsNotTouched) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    useGate(red);
    gate_->close();
    view.setUnhideOnNextDisplay(true);  // the capture will also try to un-hide the view
    view.redrawCaptureAsync();
    ASSERT_TRUE(gate_->waitForWaiting(1));
    std::shared_ptr<PixelBufferRenderer> renderer = view.renderer();
    panel_.reset();  // the view and its window go away mid-capture
    gate_->open();
    dispatch::waitForGlobalQueue();
    QCoreApplication::processEvents();  // the un-hide work item finds no view
    EXPECT_TRUE(renderer->isDetached());
    EXPECT_FALSE(renderer->capturing);
}

TEST_F(FilteredViewThreaded, WindowsVanishingBeneathDuringCapturesDoNoHarm) {
    TestView& view = showPanel(QRect(400, 300, 300, 200));
    std::atomic<bool> stop{false};
    std::thread churn([&stop] {
        TestDisplay other;
        int round = 0;
        while (!stop) {
            const XWindowId w =
                other.solidWindow(380 + round % 40, 280, 200, 150, round % 2 ? red : green);
            other.destroy(w);
            ++round;
        }
    });
    int captures = 0;
    for (int i = 0; i < 40; ++i) {
        view.redrawCaptureAsync();
        if (waitForIdle())
            ++captures;
    }
    stop = true;
    churn.join();
    EXPECT_EQ(captures, 40);
    EXPECT_FALSE(view.capturing());
}

TEST_F(FilteredViewThreaded, AfterAPauseTheViewReappearsOnlyWithAFreshPicture) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    useGate(green);
    Window* panel = panel_.get();
    emit panel->draggingStarted();
    EXPECT_TRUE(view.isHidden());
    EXPECT_TRUE(view.capturingDisabled());

    gate_->close();
    emit panel->draggingEnded();
    ASSERT_TRUE(gate_->waitForWaiting(1));
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.isHidden()) << "shown before the fresh picture";

    gate_->open();
    ASSERT_TRUE(test::waitUntil([&] { return view.isVisible(); }));
    EXPECT_FALSE(view.unhideOnNextDisplay());
}

// The pause's own capture request finds the older capture in flight; that older
// picture must not be the one that shows the view again.
TEST_F(FilteredViewThreaded, ACaptureInFlightWhenAPauseComesAndGoesIsNeverShown) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    useGate(red);
    gate_->close();
    view.redrawCaptureAsync();
    ASSERT_TRUE(gate_->waitForWaiting(1));
    Window* panel = panel_.get();
    emit panel->draggingStarted();
    emit panel->draggingEnded();
    auto freshCaptures = std::make_shared<std::atomic<int>>(0);
    view.setImageSource([freshCaptures](const PixelRect& r, XWindowId) {
        ++*freshCaptures;
        return CaptureGate().capture(r, green);
    });
    // How many fresh captures there were when the view was shown again.
    struct ShowWatch : QObject {
        std::shared_ptr<std::atomic<int>> captures;
        int atShow = -1;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show && atShow < 0)
                atShow = *captures;
            return false;
        }
    } watch;
    watch.captures = freshCaptures;
    view.installEventFilter(&watch);
    gate_->open();
    ASSERT_TRUE(test::waitUntil([&] { return view.isVisible(); }));
    view.removeEventFilter(&watch);
    EXPECT_GT(watch.atShow, 0) << "shown again with the picture from before the pause";
}

TEST_F(FilteredViewThreaded, APauseThatBeginsBeforeTheUnhideKeepsTheViewHidden) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    useGate(green);
    Window* panel = panel_.get();
    emit panel->draggingStarted();
    emit panel->draggingEnded();
    ASSERT_TRUE(waitForIdle());
    // The un-hide is queued on the main thread; a new drag starts before it runs.
    emit panel->draggingStarted();
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.isHidden());
    emit panel->draggingEnded();
    ASSERT_TRUE(test::waitUntil([&] { return view.isVisible(); }));
}

// A move captures; a request while paused, or paused before its work starts, does
// not; a missing image is silent and the next request captures again. (The toolkit
// may ask for captures of its own meanwhile: each step counts on a source of its own.)
TEST_F(FilteredViewThreaded, RequestsCaptureOnlyWhileNotPausedAndAMissingImageIsSilent) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    ASSERT_TRUE(waitForIdle());
    dispatch::waitForGlobalQueue();
    const auto countOn = [&view](bool missing) {
        auto calls = std::make_shared<std::atomic<int>>(0);
        view.setImageSource([calls, missing](const PixelRect& r, XWindowId) {
            ++*calls;
            return missing ? nullptr : CaptureGate().capture(r, green);
        });
        return calls;
    };
    auto calls = countOn(true);
    testing::internal::CaptureStderr();
    emit panel_->moved();
    ASSERT_TRUE(waitForIdle());
    dispatch::waitForGlobalQueue();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a missing image is silent";
    EXPECT_GE(*calls, 1) << "a move must capture";

    view.setCapturingDisabled(true);
    calls = countOn(false);
    view.redrawCaptureAsync();
    EXPECT_FALSE(view.capturing()) << "refused while paused";

    // Every worker of the global queue busy, so that the request waits in the queue.
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    auto busy = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < dispatch::globalQueueWidth; ++i) {
        dispatch::globalAsync([released, busy] {
            ++*busy;
            released.wait();
        });
    }
    ASSERT_TRUE(test::waitUntil([&] { return *busy == dispatch::globalQueueWidth; }));
    view.setCapturingDisabled(false);
    view.redrawCaptureAsync();  // queued behind the blockers
    view.setCapturingDisabled(true);
    release.set_value();
    ASSERT_TRUE(waitForIdle());
    dispatch::waitForGlobalQueue();
    EXPECT_EQ(*calls, 0) << "paused before its work started";

    view.setCapturingDisabled(false);
    view.redrawCaptureAsync();
    ASSERT_TRUE(waitForIdle());
    dispatch::waitForGlobalQueue();
    EXPECT_GE(*calls, 1) << "the request after a missing image captures";
}

// The main thread reshapes the view (its panel resized over and over) while the capture
// thread draws small frames into it: neither side ever makes OpenGL or the X server
// report an error, and no thread makes the context current while another holds it.
TEST_F(FilteredViewThreaded, ResizingWhileTheCaptureThreadDrawsRaisesNoErrors) {
    TestView& view = showPanel(QRect(100, 100, 200, 120));
    const std::shared_ptr<PixelBufferRenderer> renderer = view.renderer();
    const std::uint64_t xErrorsBefore = renderer->context().windowSystemErrors();
    // A new grey each time, so that no frame equals the last and every one is drawn.
    auto shade = std::make_shared<std::atomic<int>>(0);
    view.setImageSource([shade](const PixelRect&, XWindowId) {
        const std::vector<std::uint8_t> pixels(16 * 16 * 4,
                                               static_cast<std::uint8_t>(++*shade % 256));
        return std::make_unique<MemoryImage>(16, 16, 16 * 4, 32, pixels);
    });

    const QSize sizes[] = {panel_->size(), panel_->size() + QSize(90, 40),
                           panel_->size() - QSize(60, 30)};
    const std::uint64_t target = renderer->framesPresented() + 1000;
    int reshapes = 0;
    const bool drawn = test::waitUntil(
        [&] {
            panel_->resize(sizes[++reshapes % 3]);
            view.redrawCaptureAsync();
            return renderer->framesPresented() >= target;
        },
        240000);
    ASSERT_TRUE(waitForIdle());
    ASSERT_TRUE(drawn) << renderer->framesPresented() << " frames";
    ASSERT_EQ(view.renderer(), renderer) << "the view's window was re-created";
    EXPECT_EQ(renderer->glErrors(), 0u);
    EXPECT_EQ(renderer->context().windowSystemErrors(), xErrorsBefore);
    EXPECT_EQ(renderer->context().currentElsewhereCount(), 0u)
        << "a thread made the context current while another still held it";
}

TEST_F(FilteredViewThreaded, SettingsWrittenOnAnotherThreadReachTheViewOnTheMainThread) {
    Window panel;
    auto* view = new FilteredView;
    panel.setContentWidget(view);
    std::thread writer(
        [] { UserDefaults::standard().setIntegerForKey(1, keys::refreshSpeed); });  // fast
    writer.join();
    // The timer belongs to the main thread: the change waits for its event loop.
    EXPECT_DOUBLE_EQ(view->scheduler().updateInterval(), 0.05);
    EXPECT_TRUE(test::waitUntil([&] { return view->scheduler().updateInterval() == 0.02; }));
    ASSERT_NE(view->updateTimer(), nullptr);
    EXPECT_DOUBLE_EQ(view->updateTimer()->timeInterval(), 0.02);
    UserDefaults::standard().removeObjectForKey(keys::refreshSpeed);
}

}  // namespace
}  // namespace talvex
