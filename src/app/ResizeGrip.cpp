#include "app/ResizeGrip.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/x11/WindowServer.h"

namespace talvex {

namespace {
const QColor gripFill(0x2c, 0x2c, 0x30);
const QColor gripMarks(0xa0, 0xa0, 0xa6);
constexpr int buttonWatchIntervalMs = 100;
}  // namespace

ResizeGrip::ResizeGrip(Corner corner, QWidget* parent) : QWidget(parent), corner_(corner) {
    setFixedSize(side, side);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(corner == Corner::bottomRight ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    buttonWatch_.setInterval(buttonWatchIntervalMs);
    connect(&buttonWatch_, &QTimer::timeout, this, &ResizeGrip::endResizeIfButtonIsUp);
}

// Two short diagonals along the outer corner, the usual mark of a resize handle.
void ResizeGrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), gripFill);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(gripMarks, 1.0));
    const bool right = corner_ == Corner::bottomRight;
    for (double inset : {1.5, 4.5}) {
        const double edge = side - 0.5;
        const QPointF a(right ? inset : side - inset, edge);
        const QPointF b(right ? edge : 0.5, inset);
        painter.drawLine(a, b);
    }
}

void ResizeGrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    resizing_ = true;
    buttonSeenUp_ = false;
    pressPosition_ = event->globalPosition().toPoint();
    // Only a press from the server has a button the server can be asked about.
    if (event->spontaneous())
        buttonWatch_.start();
    emit resizeStarted();
}

void ResizeGrip::mouseMoveEvent(QMouseEvent* event) {
    if (!resizing_)
        return;
    emit resizeMoved(event->globalPosition().toPoint() - pressPosition_);
}

void ResizeGrip::mouseReleaseEvent(QMouseEvent* event) {
    if (!resizing_ || event->button() != Qt::LeftButton)
        return;
    endResize();
}

// A grip hidden in the middle of a resize gets no release: end the resize here.
void ResizeGrip::hideEvent(QHideEvent*) {
    if (!resizing_)
        return;
    endResize();
}

// The server can see the button up before its last motion and its release have reached
// the grip (a busy machine): the resize ends only when the button is still up at the
// next look, by when they have been delivered and the size is the one let go at.
void ResizeGrip::endResizeIfButtonIsUp() {
    if (!resizing_)
        return;
    if (WindowServer::shared().primaryButtonDown()) {
        buttonSeenUp_ = false;
        return;
    }
    if (!buttonSeenUp_) {
        buttonSeenUp_ = true;
        return;
    }
    endResize();
}

void ResizeGrip::endResize() {
    buttonWatch_.stop();
    resizing_ = false;
    emit resizeEnded();
}

}  // namespace talvex
