#pragma once

// A view that fills itself with one colour, blended over what its parent drew.
#include <QColor>
#include <QWidget>

namespace talvex {

class ColorView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    explicit ColorView(QWidget* parent = nullptr);

    QColor color() const { return color_; }
    // Stores the colour and schedules a repaint of the whole view.
    void setColor(const QColor& color);

    // True exactly when the colour's alpha is 1 (nothing beneath shows through).
    bool isOpaque() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_ = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.5f);
};

}  // namespace talvex
