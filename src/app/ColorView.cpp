#include "app/ColorView.h"

#include <QPaintEvent>
#include <QPainter>

namespace talvex {

ColorView::ColorView(QWidget* parent) : QWidget(parent) {
    setColor(color_);
}

void ColorView::setColor(const QColor& color) {
    color_ = color;
    // An opaque view covers its area, so Qt may skip painting the parent beneath it;
    // a translucent one needs the parent's pixels to blend over.
    setAttribute(Qt::WA_OpaquePaintEvent, isOpaque());
    update();
}

bool ColorView::isOpaque() const {
    return color_.alphaF() >= 1.0f;
}

void ColorView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(event->rect(), color_);
}

}  // namespace talvex
