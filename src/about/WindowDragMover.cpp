#include "about/WindowDragMover.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace talvex::about_internal {

bool WindowDragMover::mousePress(QWidget& view, QMouseEvent& event) {
    if (event.button() != Qt::LeftButton)
        return false;
    QWidget* window = view.window();
    QWindow* handle = window->windowHandle();
    if (handle && handle->startSystemMove()) {
        grabOffset_.reset();
    } else {
        grabOffset_ = event.globalPosition().toPoint() - window->frameGeometry().topLeft();
    }
    event.accept();
    return true;
}

bool WindowDragMover::mouseMove(QWidget& view, QMouseEvent& event) {
    if (!grabOffset_ || !(event.buttons() & Qt::LeftButton))
        return false;
    view.window()->move(event.globalPosition().toPoint() - *grabOffset_);
    event.accept();
    return true;
}

bool WindowDragMover::mouseRelease(QMouseEvent& event) {
    if (event.button() != Qt::LeftButton || !grabOffset_)
        return false;
    grabOffset_.reset();
    event.accept();
    return true;
}

}  // namespace talvex::about_internal
