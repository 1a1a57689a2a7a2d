#include "about/KPAboutBoxIconView.h"

#include <QMouseEvent>

namespace talvex::about_internal {

KPAboutBoxIconView::KPAboutBoxIconView(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
}

void KPAboutBoxIconView::mousePressEvent(QMouseEvent* event) {
    if (!mover_.mousePress(*this, *event))
        QLabel::mousePressEvent(event);
}

void KPAboutBoxIconView::mouseMoveEvent(QMouseEvent* event) {
    if (!mover_.mouseMove(*this, *event))
        QLabel::mouseMoveEvent(event);
}

void KPAboutBoxIconView::mouseReleaseEvent(QMouseEvent* event) {
    if (!mover_.mouseRelease(*event))
        QLabel::mouseReleaseEvent(event);
}

}  // namespace talvex::about_internal
