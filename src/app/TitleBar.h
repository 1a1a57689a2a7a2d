#pragma once

// The panel's own title bar: close and zoom buttons and a menu-button slot at the left,
// the title in the middle, and an accessory slot at the right end. Presses on the bar
// itself are left to the window (they start a drag of the panel); its buttons and
// slotted widgets take their own.
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QHBoxLayout;

namespace talvex {

class TitleBarButton;

class TitleBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 24;

    explicit TitleBar(QWidget* parent = nullptr);

    // `shorterForms`, longest first, stand in for the title where it does not fit: the
    // bar shows the first form that fits. The shortest, where it does not fit in bold,
    // is drawn lighter and then smaller (down to minimumPointSize) before it is elided.
    void setTitle(const QString& title, const QStringList& shorterForms = {});
    QString title() const { return title_; }
    static constexpr double minimumPointSize = 6.5;
    // What the bar shows at its present width, and in which font.
    QString shownTitle() const { return fittedTitle().text; }
    QFont shownTitleFont() const { return fittedTitle().font; }

    TitleBarButton* closeButton() const { return closeButton_; }
    TitleBarButton* zoomButton() const { return zoomButton_; }

    // Puts `widget` (or nothing) in the slot; the bar takes ownership and deletes the
    // widget that it replaces.
    void setMenuButton(QWidget* widget);
    QWidget* menuButton() const { return menuButton_; }
    void setAccessory(QWidget* widget);
    QWidget* accessory() const { return accessory_; }

    // The part of the bar left for the title, between the left controls and the
    // accessory.
    QRect titleArea() const;

signals:
    void closeClicked();
    void zoomClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void replaceSlotWidget(QPointer<QWidget>& slot, QWidget* widget, int layoutIndex);
    struct FittedTitle {
        QString text;
        QFont font;
    };
    QFont titleFont() const;
    FittedTitle fittedTitle() const;
    QRect titleRectFor(const FittedTitle& shown) const;

    QString title_;
    QStringList shorterForms_;
    QHBoxLayout* layout_;
    TitleBarButton* closeButton_;
    TitleBarButton* zoomButton_;
    QPointer<QWidget> menuButton_;
    QPointer<QWidget> accessory_;
};

}  // namespace talvex
