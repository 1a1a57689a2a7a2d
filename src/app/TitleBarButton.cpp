#include "app/TitleBarButton.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

namespace talvex {

namespace {
constexpr int buttonSize = 14;
constexpr double discDiameter = 12.0;
const QColor idleDisc(0x5a, 0x5a, 0x5e);
const QColor disabledDisc(0x3e, 0x3e, 0x42);
const QColor closeDisc(0xe5, 0x4d, 0x42);
const QColor zoomDisc(0x3c, 0xb8, 0x4f);
const QColor pressedTint(0, 0, 0, 60);
const QColor symbolColor(0x2a, 0x10, 0x10);
}  // namespace

TitleBarButton::TitleBarButton(Kind kind, QWidget* parent) : QAbstractButton(parent), kind_(kind) {
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(buttonSize, buttonSize);
    setAccessibleName(kind == Kind::close ? QStringLiteral("Close") : QStringLiteral("Zoom"));
    setAccessibleDescription(kind == Kind::close ? QStringLiteral("Closes the window")
                                                 : QStringLiteral("Enlarges the window or "
                                                                  "returns it to its size"));
    setToolTip(accessibleName());
}

QSize TitleBarButton::sizeHint() const {
    return {buttonSize, buttonSize};
}

void TitleBarButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TitleBarButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

QColor TitleBarButton::discColor() const {
    if (!isEnabled())
        return disabledDisc;
    if (!hovered_)
        return idleDisc;
    return kind_ == Kind::close ? closeDisc : zoomDisc;
}

void TitleBarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc((width() - discDiameter) / 2, (height() - discDiameter) / 2, discDiameter,
                      discDiameter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(discColor());
    painter.drawEllipse(disc);
    if (isDown()) {
        painter.setBrush(pressedTint);
        painter.drawEllipse(disc);
    }
    if (hovered_ && isEnabled())
        drawSymbol(painter, disc);
}

void TitleBarButton::drawSymbol(QPainter& painter, const QRectF& disc) const {
    QPen pen(symbolColor, 1.4, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    const QPointF c = disc.center();
    const double r = discDiameter * 0.22;
    if (kind_ == Kind::close) {
        painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
    } else {
        painter.drawLine(c + QPointF(-r - 0.5, 0), c + QPointF(r + 0.5, 0));
        painter.drawLine(c + QPointF(0, -r - 0.5), c + QPointF(0, r + 0.5));
    }
}

}  // namespace talvex
