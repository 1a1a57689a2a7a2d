#pragma once

// An image button that only opens its menu: the menu pops up on a left mouse-down, below
// the button's bottom-left corner, and the button itself never highlights, tracks
// the mouse or sends an action. It is dimmed (alpha 0.7) while the pointer is outside
// and bright (1.0) while it is over it, whether or not Talvex is the active
// application: X delivers EnterNotify/LeaveNotify to any mapped window, so Qt's
// enter and leave events arrive for inactive windows as well.
//
// Its image is a monochrome template (black on transparent) from the resources,
// named like "FastFrameRateTemplate.png"; it is tinted with the button's foreground
// colour (the title bar's text colour) when it is loaded and when the palette changes.
#include <QAbstractButton>
#include <QImage>
#include <QPointer>
#include <QString>

class QMenu;

namespace talvex {

class MenuButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)

public:
    static constexpr double dimmedAlpha = 0.7;
    static constexpr double brightAlpha = 1.0;
    // Where the menu's top-left corner goes, relative to the button's bottom-left.
    static constexpr int menuOffsetX = -16;
    static constexpr int menuOffsetY = 3;
    static constexpr int menuFontPointSize = 12;
    // Folder of the template images in the resources.
    static constexpr const char* imageFolder = ":/images/";

    explicit MenuButton(QWidget* parent = nullptr);

    double alphaValue() const { return alpha_; }

    // The menu popped up on mouse-down; the button does not own it.
    QMenu* menu() const;
    void setMenu(QMenu* menu);

    // Loads the template image `name` (a file in imageFolder) afresh and shows it.
    QString imageName() const { return imageName_; }
    void setImageName(const QString& name);

    QSize sizeHint() const override;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setAlphaValue(double alpha);
    void popUpMenu();
    void tintImage();

    double alpha_ = dimmedAlpha;
    QPointer<QMenu> menu_;
    QString imageName_;
    QImage template_;
    QImage tinted_;
};

}  // namespace talvex
