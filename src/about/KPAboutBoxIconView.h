#pragma once

// The about box's icon: shows the application icon; a mouse-down on it moves the
// window.
#include <QLabel>

#include "about/WindowDragMover.h"

namespace talvex::about_internal {

class KPAboutBoxIconView : public QLabel {
    Q_OBJECT

public:
    explicit KPAboutBoxIconView(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    WindowDragMover mover_;
};

}  // namespace talvex::about_internal
