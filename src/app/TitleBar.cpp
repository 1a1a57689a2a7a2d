#include "app/TitleBar.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

#include "app/TitleBarButton.h"

namespace talvex {

namespace {
constexpr int sideMargin = 6;
constexpr int spacing = 6;
// Layout positions: close, zoom, menu slot, stretch, accessory slot.
constexpr int menuSlotIndex = 2;
constexpr int accessorySlotIndex = 4;
const QColor barTop(0x3a, 0x3a, 0x3e);
const QColor barBottom(0x2c, 0x2c, 0x30);
const QColor separator(0x18, 0x18, 0x1a);
const QColor titleColor(0xf2, 0xf2, 0xf2);

// The advance is rounded down: a pixel more keeps a title that fits from being elided.
int widthOf(const QFontMetrics& metrics, const QString& text) {
    return metrics.horizontalAdvance(text) + 1;
}
}  // namespace

TitleBar::TitleBar(QWidget* parent)
    : QWidget(parent),
      layout_(new QHBoxLayout(this)),
      closeButton_(new TitleBarButton(TitleBarButton::Kind::close, this)),
      zoomButton_(new TitleBarButton(TitleBarButton::Kind::zoom, this)) {
    setFixedHeight(barHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Widgets in the slots (the accessory's template images) take the title's colour.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, titleColor);
    setPalette(colours);
    layout_->setContentsMargins(sideMargin, 0, sideMargin, 0);
    layout_->setSpacing(spacing);
    layout_->addWidget(closeButton_);
    layout_->addWidget(zoomButton_);
    layout_->addSpacing(0);  // the menu slot, until a menu button fills it
    layout_->addStretch(1);
    layout_->addSpacing(0);  // the accessory slot
    connect(closeButton_, &QAbstractButton::clicked, this, &TitleBar::closeClicked);
    connect(zoomButton_, &QAbstractButton::clicked, this, &TitleBar::zoomClicked);
}

void TitleBar::setTitle(const QString& title, const QStringList& shorterForms) {
    title_ = title;
    shorterForms_ = shorterForms;
    update();
}

void TitleBar::setMenuButton(QWidget* widget) {
    replaceSlotWidget(menuButton_, widget, menuSlotIndex);
}

void TitleBar::setAccessory(QWidget* widget) {
    replaceSlotWidget(accessory_, widget, accessorySlotIndex);
}

void TitleBar::replaceSlotWidget(QPointer<QWidget>& slot, QWidget* widget, int layoutIndex) {
    if (slot == widget)
        return;
    delete layout_->takeAt(layoutIndex);
    delete slot.data();
    slot = widget;
    if (widget) {
        widget->setParent(this);
        widget->setMaximumHeight(barHeight);
        layout_->insertWidget(layoutIndex, widget, 0, Qt::AlignVCenter);
        widget->show();
    } else {
        layout_->insertSpacing(layoutIndex, 0);
    }
    update();
}

QRect TitleBar::titleArea() const {
    const int left = menuButton_ ? menuButton_->geometry().right() + 1 + spacing
                                 : zoomButton_->geometry().right() + 1 + spacing;
    const int right = accessory_ ? accessory_->geometry().left() - spacing : width() - sideMargin;
    return QRect(left, 0, std::max(0, right - left), barHeight);
}

QFont TitleBar::titleFont() const {
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

// The title, else the first shorter form that fits beside the controls in bold; else
// the shortest, lighter, then smaller; elided at the smallest size when even that
// does not fit.
TitleBar::FittedTitle TitleBar::fittedTitle() const {
    const int room = titleArea().width();
    const QFont bold = titleFont();
    const QFontMetrics boldMetrics(bold);
    if (widthOf(boldMetrics, title_) <= room)
        return {title_, bold};
    for (const QString& form : shorterForms_) {
        if (widthOf(boldMetrics, form) <= room)
            return {form, bold};
    }
    const QString& shortest = shorterForms_.isEmpty() ? title_ : shorterForms_.last();
    QFont font = bold;
    font.setBold(false);
    for (double size = font.pointSizeF(); size >= minimumPointSize; size -= 0.5) {
        font.setPointSizeF(size);
        if (widthOf(QFontMetrics(font), shortest) <= room)
            return {shortest, font};
    }
    return {QFontMetrics(font).elidedText(shortest, Qt::ElideRight, room), font};
}

// Centred on the whole bar when the title fits there, as title bars usually are;
// otherwise centred in the space that the controls leave.
QRect TitleBar::titleRectFor(const FittedTitle& shown) const {
    const QRect area = titleArea();
    const int textWidth = widthOf(QFontMetrics(shown.font), shown.text);
    QRect centred((width() - textWidth) / 2, 0, textWidth, barHeight);
    if (area.contains(centred.topLeft()) && centred.right() <= area.right())
        return centred;
    return area;
}

void TitleBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, barHeight);
    gradient.setColorAt(0, barTop);
    gradient.setColorAt(1, barBottom);
    painter.fillRect(rect(), gradient);
    painter.fillRect(QRect(0, barHeight - 1, width(), 1), separator);

    const FittedTitle shown = fittedTitle();
    painter.setFont(shown.font);
    painter.setPen(titleColor);
    painter.drawText(titleRectFor(shown), Qt::AlignCenter, shown.text);
}

}  // namespace talvex
