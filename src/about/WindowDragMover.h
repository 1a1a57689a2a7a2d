#pragma once

// Lets a mouse-down on a view move the view's window. The window manager moves the
// window when it supports interactive moves (_NET_WM_MOVERESIZE); otherwise the
// window follows the pointer until the button is released.
#include <QPoint>
#include <optional>

class QMouseEvent;
class QWidget;

namespace talvex::about_internal {

class WindowDragMover {
public:
    // Each returns true when it handled (accepted) the event.
    bool mousePress(QWidget& view, QMouseEvent& event);
    bool mouseMove(QWidget& view, QMouseEvent& event);
    bool mouseRelease(QMouseEvent& event);

private:
    // Pointer position relative to the window's top-left corner at the press, while
    // the window is moved by hand.
    std::optional<QPoint> grabOffset_;
};

}  // namespace talvex::about_internal
