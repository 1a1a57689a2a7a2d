#pragma once

// One of the two 8 x 8-point squares at the bottom corners of the panel's picture. A
// press on it starts a live resize of the window, pointer moves resize the window and
// the release ends it; the window is told through the three signals. A resize whose
// release never arrives (the window manager broke the pointer grab, or the grip's
// window went away) ends as soon as the server has the button up.
#include <QPoint>
#include <QTimer>
#include <QWidget>

namespace talvex {

class ResizeGrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 8;
    enum class Corner { bottomLeft, bottomRight };

    ResizeGrip(Corner corner, QWidget* parent = nullptr);
    Corner corner() const { return corner_; }
    bool isResizing() const { return resizing_; }

signals:
    void resizeStarted();
    // `delta` is the pointer's travel since the press, in global coordinates.
    void resizeMoved(QPoint delta);
    void resizeEnded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void endResize();
    void endResizeIfButtonIsUp();

    Corner corner_;
    bool resizing_ = false;
    // The watch saw the button up once (it ends the resize when it sees it up again).
    bool buttonSeenUp_ = false;
    QPoint pressPosition_;
    QTimer buttonWatch_;
};

}  // namespace talvex
