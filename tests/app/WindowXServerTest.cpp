// The panel window against a real X server of its own (a fresh Xvfb per test, see
// TALVEX_ON_PRIVATE_DISPLAY): real pointer input through xdotool, window stacking and
// mapping for the occlusion state, and a window manager (openbox) for staying above
// other windows and for minimising.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <QWindow>

#include "app/ResizeGrip.h"
#include "app/TitleBar.h"
#include "app/Window.h"
#include "app/WindowTestSupport.h"
#include "platform/x11/WindowServer.h"
#include "support/PrivateXServer.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

using test::runTool;
using test::SignalRecorder;
using test::spin;
using test::waitUntil;

// Generous: a window manager that is still starting on a busy machine can take seconds
// to manage a window. Only a failing wait lasts this long.
constexpr int deadlineMs = 20000;

bool visible(const Window& window) {
    return (window.occlusionState() & Window::occlusionStateVisible) != 0;
}

QString number(int v) {
    return QString::number(v);
}

// One xdotool run: press at `from`, move in `steps` steps to `to` with `pauseSeconds`
// between them, release.
QStringList pressDragRelease(QPoint from, QPoint to, int steps, double pauseSeconds) {
    QStringList args{"mousemove", number(from.x()), number(from.y()), "sleep", "0.1", "mousedown",
                     "1"};
    for (int i = 1; i <= steps; ++i) {
        const QPoint p = from + (to - from) * i / steps;
        args << "sleep" << QString::number(pauseSeconds) << "mousemove" << number(p.x())
             << number(p.y());
    }
    args << "mouseup"
         << "1";
    return args;
}

bool haveTool(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

void showPanel(Window& window, QRect geometry) {
    window.setWindowTitle(QStringLiteral("Lens"));
    window.setGeometry(geometry);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return visible(window); }, deadlineMs))
        << "never reported visible (toolkit: visible " << window.isVisible() << ", minimised "
        << window.isMinimized() << ", exposed " << window.windowHandle()->isExposed() << "); "
        << test::describeWindow(nativeWindowId(window));
}

TEST(WindowXServer, RealDragOfTheTitleBarMovesThePanelWithOneStartAndOneEnd) {
    TALVEX_ON_PRIVATE_DISPLAY();
    if (!haveTool("xdotool"))
        GTEST_SKIP() << "no xdotool";
    Window window;
    showPanel(window, QRect(100, 100, 300, 200));
    SignalRecorder recorder(window);
    const QPoint startPos = window.pos();
    const QPoint from = window.titleBar()->mapToGlobal(QPoint(150, 12));

    ASSERT_EQ(runTool("xdotool", pressDragRelease(from, from + QPoint(120, 80), 12, 0.02)), 0);
    const qint64 releasedAt = recorder.elapsedMs();
    ASSERT_TRUE(waitUntil([&] { return recorder.count("draggingEnded") > 0; }, deadlineMs));
    spin(300);
    EXPECT_EQ(recorder.count("draggingStarted"), 1);
    EXPECT_EQ(recorder.count("draggingEnded"), 1);
    EXPECT_EQ(recorder.named("draggingStarted")[0].windowPos, startPos);
    EXPECT_GE(recorder.named("draggingEnded")[0].atMs, releasedAt + 100);
    EXPECT_EQ(window.pos(), startPos + QPoint(120, 80));
    EXPECT_GE(recorder.count("moved"), 1);
}

TEST(WindowXServer, GripAboveANativeContentViewTakesARealResize) {
    TALVEX_ON_PRIVATE_DISPLAY();
    if (!haveTool("xdotool"))
        GTEST_SKIP() << "no xdotool";
    Window window;
    auto* content = new QWidget;
    content->setAttribute(Qt::WA_NativeWindow);  // an OpenGL view has an X window
    window.setContentWidget(content);
    showPanel(window, QRect(100, 100, 300, 200));
    SignalRecorder recorder(window);
    const QSize startSize = window.size();
    const QPoint from = window.bottomRightGrip()->mapToGlobal(QPoint(4, 4));

    ASSERT_EQ(runTool("xdotool", pressDragRelease(from, from + QPoint(60, 40), 6, 0.03)), 0);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("liveResizeEnded") == 1; }, deadlineMs));
    EXPECT_EQ(recorder.count("liveResizeStarted"), 1);
    // The toolkit takes the last size from the server's reply.
    EXPECT_TRUE(waitUntil([&] { return window.size() == startSize + QSize(60, 40); }, deadlineMs))
        << window.size().width() << "x" << window.size().height();
}

// The grip's window goes away under the held button (a window manager unmapping the
// panel, say): the grab ends with it and the release goes elsewhere.
TEST(WindowXServer, AResizeWhoseReleaseNeverArrivesEndsOnceTheButtonIsUp) {
    TALVEX_ON_PRIVATE_DISPLAY();
    if (!haveTool("xdotool"))
        GTEST_SKIP() << "no xdotool";
    Window window;
    showPanel(window, QRect(100, 100, 300, 200));
    SignalRecorder recorder(window);
    const QPoint from = window.bottomRightGrip()->mapToGlobal(QPoint(4, 4));
    ASSERT_EQ(
        runTool("xdotool", {"mousemove", number(from.x()), number(from.y()), "mousedown", "1"}), 0);
    ASSERT_TRUE(waitUntil([&] { return recorder.count("liveResizeStarted") == 1; }, deadlineMs));

    ASSERT_EQ(runTool("xdotool", {"windowunmap", "--sync", number(window.windowNumber())}), 0);
    ASSERT_EQ(runTool("xdotool", {"mouseup", "1", "windowmap", number(window.windowNumber())}), 0);
    EXPECT_TRUE(waitUntil([&] { return recorder.count("liveResizeEnded") == 1; }, deadlineMs));
    EXPECT_FALSE(window.bottomRightGrip()->isResizing());
}

TEST(WindowXServer, OcclusionFollowsCoveringAndUnmapping) {
    TALVEX_ON_PRIVATE_DISPLAY();
    Window window;
    SignalRecorder recorder(window);
    showPanel(window, QRect(200, 200, 300, 200));
    EXPECT_EQ(recorder.count("occlusionStateChanged"), 1);

    // With no window manager, a window mapped later lies above the panel.
    QWidget partial;
    partial.setGeometry(150, 150, 200, 150);
    partial.show();
    spin(300);
    EXPECT_TRUE(visible(window)) << "partly covered still counts as visible";

    QWidget cover;
    cover.setGeometry(150, 150, 500, 400);
    cover.show();
    ASSERT_TRUE(waitUntil([&] { return !visible(window); }, deadlineMs));
    EXPECT_EQ(recorder.count("occlusionStateChanged"), 2);

    cover.hide();
    ASSERT_TRUE(waitUntil([&] { return visible(window); }, deadlineMs));
    EXPECT_EQ(recorder.count("occlusionStateChanged"), 3);

    window.hide();
    EXPECT_FALSE(visible(window));
    window.show();
    ASSERT_TRUE(waitUntil([&] { return visible(window); }, deadlineMs));
    spin(200);
    EXPECT_EQ(recorder.count("occlusionStateChanged"), 5);
}

// With the root's children redirected (as the capture does) the server reports no
// window as obscured; a covered panel must still count as not visible.
TEST(WindowXServer, ACoveredPanelIsNotVisibleAlsoWithWindowsRedirected) {
    TALVEX_ON_PRIVATE_DISPLAY();
    WindowServer redirecting;
    ASSERT_TRUE(redirecting.isConnected());
    Window window;
    showPanel(window, QRect(200, 200, 300, 200));
    QWidget cover;
    cover.setGeometry(150, 150, 500, 400);
    cover.show();
    EXPECT_TRUE(waitUntil([&] { return !visible(window); }, deadlineMs));
    cover.resize(100, 100);  // uncovered again
    EXPECT_TRUE(waitUntil([&] { return visible(window); }, deadlineMs));
}

// Starts openbox on the private display and stops it at the end of the test.
class WindowManager {
public:
    bool start() {
        process_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!process_.waitForStarted(5000))
            return false;
        return test::waitForWindowManager(QString::fromLocal8Bit(qgetenv("DISPLAY"))) &&
               process_.state() == QProcess::Running;
    }
    ~WindowManager() {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

private:
    QProcess process_;
};

TEST(WindowXServer, UnderAWindowManagerThePanelStaysAboveAndMinimisingHidesIt) {
    TALVEX_ON_PRIVATE_DISPLAY();
    if (!haveTool("openbox"))
        GTEST_SKIP() << "no openbox";
    WindowManager manager;
    ASSERT_TRUE(manager.start());
    Window window;
    SignalRecorder recorder(window);
    showPanel(window, QRect(200, 200, 300, 200));

    QWidget other;  // an ordinary window, shown later, over the panel's place
    other.setGeometry(100, 100, 600, 500);
    other.show();
    other.activateWindow();
    spin(800);
    EXPECT_TRUE(visible(window)) << "an ordinary window covered the panel";

    // Reparented into a frame, the panel still moves with its own title bar, to where
    // the pointer takes it, even when the toolkit's idea of its position is stale.
    if (haveTool("xdotool")) {
        recorder.clear();
        const QPoint start = test::xRootPosition(nativeWindowId(window));
        const QPoint from = start + window.titleBar()->mapTo(&window, QPoint(150, 12));
        ASSERT_EQ(runTool("xdotool", pressDragRelease(from, from + QPoint(-60, 40), 6, 0.02)), 0);
        ASSERT_TRUE(waitUntil([&] { return recorder.count("draggingEnded") == 1; }, deadlineMs));
        EXPECT_EQ(recorder.count("draggingStarted"), 1);
        EXPECT_TRUE(waitUntil(
            [&] { return test::xRootPosition(nativeWindowId(window)) == start + QPoint(-60, 40); },
            deadlineMs));
        EXPECT_TRUE(waitUntil([&] { return window.pos() == start + QPoint(-60, 40); }, deadlineMs))
            << "toolkit has " << window.pos().x() << "," << window.pos().y();
    }

    const int before = recorder.count("occlusionStateChanged");
    window.showMinimized();
    ASSERT_TRUE(waitUntil([&] { return !visible(window); }, deadlineMs));
    EXPECT_EQ(recorder.count("occlusionStateChanged"), before + 1);
    // Restoring while the window manager is still iconifying races with it.
    ASSERT_TRUE(waitUntil(
        [&] {
            return test::isIconic(nativeWindowId(window)) && !window.windowHandle()->isExposed();
        },
        deadlineMs));
    window.showNormal();
    ASSERT_TRUE(waitUntil([&] { return visible(window); }, deadlineMs));
}

// With its zoom button disabled the panel cannot be maximised by the window manager
// either: the request of a pager (or wmctrl) is refused. A second request, which the
// manager does honour, marks the moment the first one has been dealt with.
TEST(WindowXServer, UnderAWindowManagerADisabledZoomButtonRefusesMaximising) {
    TALVEX_ON_PRIVATE_DISPLAY();
    if (!haveTool("openbox"))
        GTEST_SKIP() << "no openbox";
    WindowManager manager;
    ASSERT_TRUE(manager.start());
    Window window;
    window.setZoomButtonEnabled(false);
    showPanel(window, QRect(200, 200, 300, 200));
    const XWindowId id = nativeWindowId(window);
    ASSERT_TRUE(waitUntil([&] { return !test::atomNames(id, "_NET_WM_ALLOWED_ACTIONS").isEmpty(); },
                          deadlineMs));
    EXPECT_FALSE(test::atomNames(id, "_NET_WM_ALLOWED_ACTIONS")
                     .contains(QStringLiteral("_NET_WM_ACTION_MAXIMIZE_HORZ")));

    const QSize size = window.size();
    test::requestWmStates(id, {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"});
    test::requestWmStates(id, {"_NET_WM_STATE_SKIP_PAGER"});
    ASSERT_TRUE(waitUntil(
        [&] {
            return test::atomNames(id, "_NET_WM_STATE")
                .contains(QStringLiteral("_NET_WM_STATE_SKIP_PAGER"));
        },
        deadlineMs));
    const QStringList states = test::atomNames(id, "_NET_WM_STATE");
    EXPECT_FALSE(states.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")))
        << states.join(' ').toStdString();
    EXPECT_FALSE(states.contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ")));
    EXPECT_EQ(window.size(), size);
}

}  // namespace
}  // namespace talvex
