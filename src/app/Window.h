#pragma once

// The floating panel: a frameless, always-on-top top-level window with a title bar of
// its own (an X window manager's title bar would swallow the drag events that the
// drag detection below is built on), a content area, and two resize grips at the
// bottom corners of the content.
//
// Drag detection: every drag event of the panel goes through mouseDragged(). The first
// one of a drag sets `dragging` and emits draggingStarted(); each one replaces the
// one-shot pause timer, so the drag ends (stoppedDragging(), which emits
// draggingEnded()) once no drag event has come for 0.2 seconds, not at the release.
//
// Every signal is emitted on the main thread.
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"

namespace talvex {

class ResizeGrip;
class Timer;
class TitleBar;
class WindowVisibilityMonitor;

class Window : public QWidget {
    Q_OBJECT
public:
    // The bit of occlusionState() that is set while the window is visible on screen.
    static constexpr unsigned occlusionStateVisible = 1u << 1;
    // How long a drag may rest before it counts as ended, in seconds.
    static constexpr double dragPauseInterval = 0.2;
    static constexpr int borderWidth = 1;

    // Installed by the platform layer: makes the X window `windowId` let mouse events
    // pass (ignore true) except in `keptRects`, or take them all (ignore false). The
    // rectangles are in the window's own pixels: origin at its top-left corner, y down,
    // device pixels.
    using IgnoresMouseEventsHandler =
        std::function<void(XWindowId windowId, bool ignore, const std::vector<Rect>& keptRects)>;

    explicit Window(QWidget* parent = nullptr);
    ~Window() override;

    bool dragging() const { return dragging_; }
    // The timer that ends the current drag; none before the first drag event.
    const Timer* pausedDragTimer() const { return pausedDragTimer_.get(); }

    // Handles one drag event: the drag detection, then the move of the panel when the
    // drag began on the title bar.
    void mouseDragged(QMouseEvent* event);
    // The pause timer's action: ends the drag.
    void stoppedDragging();

    // Hides the panel, then closes it.
    void orderOut();

    // The title bar: title (the window title), zoom button, and two slots.
    TitleBar* titleBar() const { return titleBar_; }
    // A disabled zoom button also tells the window manager not to maximise the panel.
    void setZoomButtonEnabled(bool enabled);
    bool isZoomButtonEnabled() const;
    // The widget at the right end of the title bar; the window takes ownership.
    void setTitlebarAccessory(QWidget* accessory);
    QWidget* titlebarAccessory() const;
    // The widget in the slot at the left of the title bar, after the buttons.
    void setMenuButton(QWidget* menuButton);

    // The widget that fills the area below the title bar; the window takes ownership
    // and deletes the one it replaces.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const { return content_; }
    // The content area in the window's coordinates.
    QRect contentRect() const;
    ResizeGrip* bottomLeftGrip() const { return bottomLeftGrip_; }
    ResizeGrip* bottomRightGrip() const { return bottomRightGrip_; }
    bool inLiveResize() const { return inLiveResize_; }

    // Split (while a compositor that picks windows by their whole Xwayland surface draws
    // the lens): the top-level is the border and the title bar only, the grips are
    // windows of their own at the frame's bottom corners, and nothing of the panel's X
    // windows covers the picture, so clicks there reach the window beneath. frame() is
    // the rectangle the panel occupies, split or not; the content keeps its place in it
    // (below the top-level's own area while split).
    void setSplit(bool split);
    QRect frame() const { return split_ ? frame_ : geometry(); }

    // The X window id of the panel's top-level window; 0 before it exists.
    std::int64_t windowNumber() const;
    // occlusionStateVisible while the panel is mapped, not minimised and not fully
    // covered; 0 otherwise (also before it is first shown).
    unsigned occlusionState() const { return occlusionState_; }
    // Drawable pixels per point.
    double backingScaleFactor() const { return devicePixelRatioF(); }

    // Click-through. Repeated calls with an unchanged outcome reach the platform only
    // once. The title bar, the border and the two grips keep taking clicks.
    void setIgnoresMouseEvents(bool ignore);
    bool ignoresMouseEvents() const { return ignoresMouseEvents_; }
    static void setIgnoresMouseEventsHandler(IgnoresMouseEventsHandler handler);
    // The rectangles that take clicks while the panel ignores mouse events, in the
    // window's pixels (see IgnoresMouseEventsHandler).
    std::vector<Rect> clickableRects() const;

signals:
    // The panel is about to close (close button, close(), orderOut()).
    void windowWillClose();
    // A drag of the panel began, and ended (see above).
    void draggingStarted();
    void draggingEnded();
    // The panel's position on screen changed.
    void moved();
    // A live resize began (a resize grip was pressed) and ended (it was released).
    void liveResizeStarted();
    void liveResizeEnded();
    // occlusionState() changed: the panel became visible on screen, or stopped being
    // visible (unmapped, minimised, or fully covered by other windows).
    void occlusionStateChanged();
    // The backing scale factor (device pixel ratio) changed.
    void backingScaleFactorChanged();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void layoutChildren();
    void setFrame(const QRect& frame);
    void placeSplitGrips();
    void stackGripsAboveContent();
    void startPauseTimer();
    void moveWithPointer(QPointF globalPosition);
    void zoom();
    void startLiveResize();
    void resizeFromGrip(const ResizeGrip& grip, QPoint delta);
    void endLiveResize();
    void watchVisibility();
    void tellWindowManagerWhetherMaximizable();
    void setVisibleOnScreen(bool visible);
    void updateOcclusionState();
    void updateBackingScaleFactor();
    void applyIgnoresMouseEvents();

    TitleBar* titleBar_;
    QPointer<QWidget> content_;
    ResizeGrip* bottomLeftGrip_;
    ResizeGrip* bottomRightGrip_;

    bool dragging_ = false;
    std::unique_ptr<Timer> pausedDragTimer_;
    // Whether the last press was on the title bar, and the pointer's offset from the
    // panel's frame origin at that press.
    bool moveOnDrag_ = false;
    QPoint dragOffset_;

    bool split_ = false;
    QRect frame_;  // while split

    bool inLiveResize_ = false;
    QRect resizeStartGeometry_;

    std::unique_ptr<WindowVisibilityMonitor> visibilityMonitor_;
    bool visibleOnScreen_ = false;
    unsigned occlusionState_ = 0;
    double backingScaleFactor_ = 0;

    bool ignoresMouseEvents_ = false;
    // What the platform was last told, to skip repeats.
    XWindowId appliedWindow_ = 0;
    bool appliedIgnore_ = false;
    std::vector<Rect> appliedRects_;

    QRect normalGeometry_;
};

}  // namespace talvex
