#pragma once

// The about box's text view. Qt's text views are scroll areas themselves, so the text
// view and its enclosing scroll view are this one widget: a read-only rich-text view
// with a transparent viewport (the background view shows behind the text) and a text
// inset that scrolls with the text. It keeps its scroll position when a style change
// (for example between transient and permanent scroll bars) lays it out anew.
#include <QPoint>
#include <QSizeF>
#include <QTextBrowser>

namespace talvex::about_internal {

class KPAboutBoxScrollView : public QTextBrowser {
    Q_OBJECT

public:
    explicit KPAboutBoxScrollView(QWidget* parent = nullptr);

    // Space between the view's edges and the text, left and right (width) and above
    // and below (height), part of the scrolled document.
    QSizeF textContainerInset() const;
    void setTextContainerInset(const QSizeF& inset);

    // The current scroll position: the document point shown at the top-left corner.
    QPoint scrollPosition() const;
    void scrollToPoint(const QPoint& point);

protected:
    bool event(QEvent* event) override;
};

}  // namespace talvex::about_internal
