// The panel window driven by toolkit events: drag detection, closing, live resize from
// the corner grips, moves, click-through and the title bar's slots. Runs on any display
// (or none): the events are sent through QApplication, not through the X server.
#include "app/Window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "app/ResizeGrip.h"
#include "app/TitleBar.h"
#include "app/TitleBarButton.h"
#include "app/WindowTestSupport.h"
#include "platform/Timer.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

using test::sendDrag;
using test::sendPress;
using test::sendRelease;
using test::SignalRecorder;
using test::spin;
using test::waitUntil;

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        window.setWindowTitle(QStringLiteral("Lens"));
        window.setGeometry(200, 150, 300, 200);
        window.show();
        waitUntil([&] { return window.isVisible(); });
    }
    // A point of the title bar away from its buttons, in global coordinates.
    QPoint titleBarPoint() const { return window.titleBar()->mapToGlobal(QPoint(150, 12)); }
    QPoint gripPoint(ResizeGrip* grip) const { return grip->mapToGlobal(QPoint(4, 4)); }

    Window window;
};

TEST(WindowInitialState, NewPanelIsIdleWithNoPauseTimer) {
    Window window;
    EXPECT_FALSE(window.dragging());
    EXPECT_EQ(window.pausedDragTimer(), nullptr);
    EXPECT_EQ(window.windowNumber(), 0);
    EXPECT_EQ(window.occlusionState() & Window::occlusionStateVisible, 0u);
}

TEST_F(WindowTest, DragOfManyEventsPostsOneStartBeforeTheMoveAndOneEndAfterThePause) {
    SignalRecorder recorder(window);
    const QPoint startPos = window.pos();
    const QPoint press = titleBarPoint();
    sendPress(window.titleBar(), press);
    for (int i = 1; i <= 8; ++i) {
        if (i > 1)
            spin(20);
        sendDrag(window.titleBar(), press + QPoint(5 * i, 3 * i));
    }
    const qint64 lastDragAt = recorder.elapsedMs();
    sendRelease(window.titleBar(), press + QPoint(40, 24));
    EXPECT_EQ(recorder.count("draggingEnded"), 0) << "the release ended the drag";
    EXPECT_TRUE(window.dragging());

    ASSERT_TRUE(waitUntil([&] { return recorder.count("draggingEnded") > 0; }, 3000));
    spin(300);
    const auto starts = recorder.named("draggingStarted");
    const auto ends = recorder.named("draggingEnded");
    ASSERT_EQ(starts.size(), 1u);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(starts[0].windowPos, startPos) << "emitted after the first move";
    EXPECT_TRUE(starts[0].windowDragging);
    EXPECT_FALSE(ends[0].windowDragging);
    EXPECT_GE(ends[0].atMs - lastDragAt, 190);
    EXPECT_FALSE(window.dragging());
    EXPECT_EQ(window.pos(), startPos + QPoint(40, 24));
    // The fired timer stays until the next drag event replaces it.
    ASSERT_NE(window.pausedDragTimer(), nullptr);
    EXPECT_FALSE(window.pausedDragTimer()->isValid());
}

TEST_F(WindowTest, RestingForThePauseEndsTheDragAndTheNextEventStartsANewOne) {
    SignalRecorder recorder(window);
    const QPoint press = titleBarPoint();
    sendPress(window.titleBar(), press);
    sendDrag(window.titleBar(), press + QPoint(2, 0));
    sendDrag(window.titleBar(), press + QPoint(4, 0));
    ASSERT_TRUE(waitUntil([&] { return recorder.count("draggingEnded") == 1; }, 3000));
    EXPECT_EQ(recorder.count("draggingStarted"), 1);

    sendDrag(window.titleBar(), press + QPoint(6, 0));  // button still down
    EXPECT_EQ(recorder.count("draggingStarted"), 2);
    EXPECT_TRUE(window.dragging());
    sendRelease(window.titleBar(), press + QPoint(6, 0));
    ASSERT_TRUE(waitUntil([&] { return recorder.count("draggingEnded") == 2; }, 3000));
}

// Drags that start outside the title bar (a content widget leaving them to the window)
// count as drags but do not move the panel.
TEST_F(WindowTest, DragFromContentIsDetectedButDoesNotMoveThePanel) {
    auto* content = new QWidget;
    window.setContentWidget(content);
    SignalRecorder recorder(window);
    const QPoint startPos = window.pos();
    const QPoint press = content->mapToGlobal(QPoint(100, 60));
    sendPress(content, press);
    sendDrag(content, press + QPoint(30, 30));
    EXPECT_EQ(recorder.count("draggingStarted"), 1);
    EXPECT_EQ(window.pos(), startPos);
    sendRelease(content, press + QPoint(30, 30));
}

TEST_F(WindowTest, OrderOutAndTheCloseButtonCloseThePanel) {
    QSignalSpy willClose(&window, &Window::windowWillClose);
    window.orderOut();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(willClose.count(), 1);

    window.show();
    QTest::mouseClick(window.titleBar()->closeButton(), Qt::LeftButton);
    EXPECT_EQ(willClose.count(), 2);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(WindowTest, CornerGripsResizeLiveBetweenPressAndRelease) {
    SignalRecorder recorder(window);
    const QRect start = window.geometry();
    ResizeGrip* right = window.bottomRightGrip();
    QPoint press = gripPoint(right);
    sendPress(right, press);
    EXPECT_EQ(recorder.count("liveResizeStarted"), 1);
    EXPECT_TRUE(window.inLiveResize());
    sendDrag(right, press + QPoint(15, 10));
    sendDrag(right, press + QPoint(30, 20));
    EXPECT_EQ(window.geometry(), start.adjusted(0, 0, 30, 20));
    EXPECT_EQ(recorder.count("liveResizeEnded"), 0);
    sendRelease(right, press + QPoint(30, 20));
    EXPECT_EQ(recorder.count("liveResizeEnded"), 1);
    EXPECT_EQ(recorder.count("draggingStarted"), 0) << "a resize is not a drag";
    // The grip follows the window's corner.
    EXPECT_EQ(right->geometry().bottomRight(), window.contentRect().bottomRight());

    // The bottom-left grip keeps the right edge in place.
    const QRect before = window.geometry();
    ResizeGrip* left = window.bottomLeftGrip();
    press = gripPoint(left);
    sendPress(left, press);
    sendDrag(left, press + QPoint(-25, 5));
    sendRelease(left, press + QPoint(-25, 5));
    EXPECT_EQ(window.geometry(), before.adjusted(-25, 0, 0, 5));
    EXPECT_EQ(recorder.count("liveResizeStarted"), 2);
    EXPECT_EQ(recorder.count("liveResizeEnded"), 2);

    // Far past the minimum size, the window stops at it, top-right corner in place.
    const QRect last = window.geometry();
    press = gripPoint(left);
    sendPress(left, press);
    sendDrag(left, press + QPoint(1000, -1000));
    sendRelease(left, press + QPoint(1000, -1000));
    EXPECT_EQ(window.size(), window.minimumSize());
    EXPECT_EQ(window.geometry().topRight(), last.topRight());
}

// Split, no window of the panel covers the picture; the grips, windows of their own, keep
// resizing it, follow its corners and its visibility; unsplit, the panel is whole again.
TEST_F(WindowTest, SplitPanelLeavesThePictureUncoveredAndStillResizesAndMoves) {
    const QRect start = window.geometry();
    ResizeGrip* right = window.bottomRightGrip();
    const auto picture = [&] { return window.contentRect().translated(window.frame().topLeft()); };
    const auto gripsAtCorners = [&] {
        return right->isWindow() && right->geometry().bottomRight() == picture().bottomRight() &&
               window.bottomLeftGrip()->geometry().bottomLeft() == picture().bottomLeft();
    };
    window.setSplit(true);
    EXPECT_EQ(window.frame(), start);
    waitUntil([&] { return window.height() == Window::borderWidth + TitleBar::barHeight; });
    EXPECT_EQ(window.height(), Window::borderWidth + TitleBar::barHeight);
    EXPECT_FALSE(window.geometry().intersects(picture()));
    EXPECT_TRUE(gripsAtCorners());

    const QPoint press = gripPoint(right);
    sendPress(right, press);
    sendDrag(right, press + QPoint(30, 20));
    sendRelease(right, press + QPoint(30, 20));
    EXPECT_EQ(window.frame(), start.adjusted(0, 0, 30, 20));
    EXPECT_EQ(window.width(), start.width() + 30);
    EXPECT_TRUE(gripsAtCorners());

    window.hide();
    EXPECT_FALSE(right->isVisible()) << "a grip left on the screen without its panel";
    window.show();
    waitUntil([&] { return right->isVisible(); });
    EXPECT_TRUE(right->isVisible());

    window.move(start.topLeft() + QPoint(40, 30));
    waitUntil([&] { return window.frame().topLeft() == start.topLeft() + QPoint(40, 30); });
    EXPECT_EQ(window.frame(), start.adjusted(40, 30, 70, 50));
    EXPECT_TRUE(gripsAtCorners());

    window.setSplit(false);
    waitUntil([&] { return window.geometry() == start.adjusted(40, 30, 70, 50); });
    EXPECT_EQ(window.geometry(), start.adjusted(40, 30, 70, 50));
    EXPECT_FALSE(right->isWindow());
    EXPECT_EQ(right->geometry().bottomRight(), window.contentRect().bottomRight());
}

TEST_F(WindowTest, MoveEmitsMoved) {
    SignalRecorder recorder(window);
    window.move(window.pos() + QPoint(12, 7));
    waitUntil([&] { return recorder.count("moved") > 0; }, 2000);
    const auto moves = recorder.named("moved");
    ASSERT_GE(moves.size(), 1u);
}

struct IgnoreCall {
    XWindowId window;
    bool ignore;
    std::vector<Rect> kept;
};

TEST_F(WindowTest, ClickThroughReachesPlatformOncePerChangeAndKeepsTitleBarAndGrips) {
    std::vector<IgnoreCall> calls;
    Window::setIgnoresMouseEventsHandler(
        [&](XWindowId id, bool ignore, const std::vector<Rect>& kept) {
            calls.push_back({id, ignore, kept});
        });
    window.setIgnoresMouseEvents(true);
    window.setIgnoresMouseEvents(true);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].window, window.windowNumber());
    EXPECT_NE(window.windowNumber(), 0);
    EXPECT_TRUE(calls[0].ignore);
    const double s = window.devicePixelRatioF();
    auto kept = [&](const QRect& r) {
        const Rect px(r.x() * s, r.y() * s, r.width() * s, r.height() * s);
        return std::find(calls.back().kept.begin(), calls.back().kept.end(), px) !=
               calls.back().kept.end();
    };
    EXPECT_TRUE(kept(QRect(0, 0, window.width(), window.contentRect().top())));
    EXPECT_TRUE(kept(window.bottomLeftGrip()->geometry()));
    EXPECT_TRUE(kept(window.bottomRightGrip()->geometry()));

    window.resize(window.width() + 20, window.height());  // the grips moved
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(kept(window.bottomRightGrip()->geometry()));

    window.setIgnoresMouseEvents(false);
    window.setIgnoresMouseEvents(false);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls.back().ignore);
    Window::setIgnoresMouseEventsHandler(nullptr);
}

TEST_F(WindowTest, TitleBarShowsTitleAccessoryAtRightEndAndZoomCanBeDisabled) {
    EXPECT_EQ(window.titleBar()->title(), QStringLiteral("Lens"));
    auto* accessory = new QLabel(QStringLiteral("settings"));
    accessory->setFixedSize(60, 18);
    window.setTitlebarAccessory(accessory);
    QPointer<QWidget> first = accessory;
    waitUntil([&] { return accessory->isVisible(); }, 1000);
    window.titleBar()->layout()->activate();
    EXPECT_EQ(accessory->parentWidget(), window.titleBar());
    EXPECT_GE(accessory->geometry().right(), window.titleBar()->width() - 10);
    EXPECT_GT(accessory->geometry().left(), window.titleBar()->zoomButton()->geometry().right());
    EXPECT_GE(window.titleBar()->titleArea().width(), 0);

    window.setTitlebarAccessory(new QLabel(QStringLiteral("other")));
    EXPECT_TRUE(first.isNull()) << "a replaced accessory must not leak";

    EXPECT_TRUE(window.isZoomButtonEnabled());
    window.setZoomButtonEnabled(false);
    EXPECT_FALSE(window.isZoomButtonEnabled());
    const QRect before = window.geometry();
    QTest::mouseClick(window.titleBar()->zoomButton(), Qt::LeftButton);
    EXPECT_EQ(window.geometry(), before);
}

TEST_F(WindowTest, ContentFillsTheAreaBelowTheTitleBarWithGripsOnTop) {
    auto* content = new QWidget;
    content->setAttribute(Qt::WA_NativeWindow);  // as an OpenGL view has
    window.setContentWidget(content);
    EXPECT_EQ(content->geometry(), window.contentRect());
    EXPECT_EQ(window.contentRect().top(), Window::borderWidth + TitleBar::barHeight);
    EXPECT_EQ(window.contentRect().bottom(), window.height() - 1 - Window::borderWidth);
    for (ResizeGrip* grip : {window.bottomLeftGrip(), window.bottomRightGrip()}) {
        EXPECT_TRUE(grip->testAttribute(Qt::WA_NativeWindow));
        EXPECT_EQ(grip->size(), QSize(8, 8));
    }
    const auto stacked = window.children();
    EXPECT_GT(stacked.indexOf(window.bottomRightGrip()), stacked.indexOf(content));

    QPointer<QWidget> old = content;
    window.setContentWidget(new QWidget);
    EXPECT_TRUE(old.isNull());
}

}  // namespace
}  // namespace talvex
