#pragma once

// The view behind the about box's content: a tinted background that follows whether
// its window is the active one and whether the palette is light or dark. A mouse-down
// on it moves the window.
//
// Drawing, with B the about box's background colour (KPAboutBoxBackgroundColor()):
//   active,   light: vertical gradient from white (top edge) to B (bottom edge)
//   active,   dark:  vertical gradient from B blended halfway to clear, to clear
//   inactive, light: the area to redraw filled with B blended 30% toward white
//   inactive, dark:  nothing (the window's own background shows)
#include <QColor>
#include <QWidget>

#include "about/WindowDragMover.h"

namespace talvex::about_internal {

// (1 - fraction) * base + fraction * other, per component, alpha included.
QColor blendedColor(const QColor& base, const QColor& other, double fraction);

class KPAboutBoxBackground : public QWidget {
    Q_OBJECT

public:
    explicit KPAboutBoxBackground(QWidget* parent = nullptr);

    // Dark when the palette draws light text on a darker window colour.
    bool isDark() const;
    bool isOpaque() const { return !isDark(); }

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    WindowDragMover mover_;

    void needsRedraw();
    void adoptOpacity();
    void drawGradient(QPainter& painter, const QColor& top, const QColor& bottom);
};

}  // namespace talvex::about_internal
