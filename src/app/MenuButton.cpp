#include "app/MenuButton.h"

#include <QEnterEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace talvex {

namespace {

constexpr int imageSize = 18;  // logical pixels; the @2x file serves dense screens

// "Name.png" is drawn at 1x; "Name@2x.png", when present, is preferred since it is
// scaled down smoothly on ordinary screens and used as is on dense ones.
QImage loadTemplate(const QString& name) {
    const QFileInfo file(QString::fromLatin1(MenuButton::imageFolder) + name);
    const QString dense = file.path() + '/' + file.completeBaseName() + "@2x." + file.suffix();
    QImage image(dense);
    if (!image.isNull()) {
        image.setDevicePixelRatio(2.0);
        return image;
    }
    return QImage(file.filePath());
}

}  // namespace

MenuButton::MenuButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    // Tinted like text on the surface beneath (the title bar), not like button text.
    setForegroundRole(QPalette::WindowText);
    setAttribute(Qt::WA_Hover);
}

QMenu* MenuButton::menu() const {
    return menu_.data();
}

void MenuButton::setMenu(QMenu* menu) {
    menu_ = menu;
}

void MenuButton::setImageName(const QString& name) {
    imageName_ = name;
    template_ = loadTemplate(name);
    tintImage();
    updateGeometry();
    update();
}

QSize MenuButton::sizeHint() const {
    return QSize(imageSize + 6, imageSize + 4);
}

void MenuButton::tintImage() {
    if (template_.isNull()) {
        tinted_ = QImage();
        return;
    }
    // Keep the template's coverage (alpha), replace its colour by the foreground's.
    tinted_ = template_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&tinted_);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(tinted_.rect(), palette().color(foregroundRole()));
}

void MenuButton::setAlphaValue(double alpha) {
    alpha_ = alpha;
    update();
}

void MenuButton::enterEvent(QEnterEvent* event) {
    setAlphaValue(brightAlpha);
    QAbstractButton::enterEvent(event);
}

void MenuButton::leaveEvent(QEvent* event) {
    setAlphaValue(dimmedAlpha);
    QAbstractButton::leaveEvent(event);
}

// Only the left button pops the menu up; other presses go on to the title bar, whose
// right-click opens the application menu instead.
void MenuButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (!rect().contains(event->position().toPoint())) {
        QAbstractButton::mousePressEvent(event);
        return;
    }
    event->accept();
    popUpMenu();
}

// A second press of a double click opens the menu like the first; it never reaches
// the base class, which would start tracking the mouse.
void MenuButton::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

// The base class never sees a release: no highlight, no click, no action.
void MenuButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

// QMenu::popup() rather than exec(): exec() would return only once the menu has
// closed, but nothing here waits for that (a chosen item sends its own action), and
// a nested event loop inside a mouse handler would let the button be destroyed
// under its own press handler.
void MenuButton::popUpMenu() {
    if (!menu_)
        return;
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(menuFontPointSize);
    menu_->setFont(font);
    menu_->popup(mapToGlobal(QPoint(menuOffsetX, height() + menuOffsetY)));
}

void MenuButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        tintImage();
    QAbstractButton::changeEvent(event);
}

void MenuButton::paintEvent(QPaintEvent*) {
    if (tinted_.isNull())
        return;
    QPainter painter(this);
    painter.setOpacity(alpha_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QRect target(QPoint(0, 0), QSize(imageSize, imageSize));
    target.moveCenter(rect().center());
    painter.drawImage(target, tinted_);
}

}  // namespace talvex
