#include "about/KPAboutBoxBackground.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "about/KPAboutBox.h"

namespace talvex::about_internal {

QColor blendedColor(const QColor& base, const QColor& other, double fraction) {
    const auto mix = [fraction](float b, float o) { return (1 - fraction) * b + fraction * o; };
    const QColor b = base.toRgb();
    const QColor o = other.toRgb();
    return QColor::fromRgbF(mix(b.redF(), o.redF()), mix(b.greenF(), o.greenF()),
                            mix(b.blueF(), o.blueF()), mix(b.alphaF(), o.alphaF()));
}

KPAboutBoxBackground::KPAboutBoxBackground(QWidget* parent) : QWidget(parent) {
    adoptOpacity();
}

bool KPAboutBoxBackground::isDark() const {
    const QPalette& colors = palette();
    return colors.color(QPalette::Window).lightnessF() <
           colors.color(QPalette::WindowText).lightnessF();
}

// A window passes its activation events on to its visible children, so the view
// always follows the one window it is in, wherever it is moved.
bool KPAboutBoxBackground::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        needsRedraw();
    }
    return QWidget::event(event);
}

void KPAboutBoxBackground::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        adoptOpacity();
        needsRedraw();
    }
    QWidget::changeEvent(event);
}

void KPAboutBoxBackground::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QColor base = KPAboutBoxBackgroundColor();
    const bool dark = isDark();
    if (isActiveWindow()) {
        if (dark) {
            drawGradient(painter, blendedColor(base, Qt::transparent, 0.5), Qt::transparent);
        } else {
            drawGradient(painter, Qt::white, base);
        }
    } else if (!dark) {
        painter.fillRect(event->rect(), blendedColor(base, Qt::white, 0.3));
    }
}

void KPAboutBoxBackground::mousePressEvent(QMouseEvent* event) {
    if (!mover_.mousePress(*this, *event))
        QWidget::mousePressEvent(event);
}

void KPAboutBoxBackground::mouseMoveEvent(QMouseEvent* event) {
    if (!mover_.mouseMove(*this, *event))
        QWidget::mouseMoveEvent(event);
}

void KPAboutBoxBackground::mouseReleaseEvent(QMouseEvent* event) {
    if (!mover_.mouseRelease(*event))
        QWidget::mouseReleaseEvent(event);
}

void KPAboutBoxBackground::needsRedraw() {
    update();
}

// In a light palette every pixel is painted; in a dark one the window shows through.
void KPAboutBoxBackground::adoptOpacity() {
    setAttribute(Qt::WA_OpaquePaintEvent, isOpaque());
}

// From the top edge to the bottom edge of the bounds, over the whole view.
void KPAboutBoxBackground::drawGradient(QPainter& painter, const QColor& top,
                                        const QColor& bottom) {
    const QRectF bounds = rect();
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    gradient.setSpread(QGradient::PadSpread);
    painter.fillRect(bounds, gradient);
}

}  // namespace talvex::about_internal
