#pragma once

// A round button of the panel's title bar (close or zoom), drawn with QPainter: a grey
// disc that takes its own colour and shows its symbol while the pointer is over it.
#include <QAbstractButton>

namespace talvex {

class TitleBarButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Kind { close, zoom };

    TitleBarButton(Kind kind, QWidget* parent = nullptr);
    Kind kind() const { return kind_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QColor discColor() const;
    void drawSymbol(QPainter& painter, const QRectF& disc) const;

    Kind kind_;
    bool hovered_ = false;
};

}  // namespace talvex
