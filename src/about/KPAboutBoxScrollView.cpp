#include "about/KPAboutBoxScrollView.h"

#include <QScrollBar>
#include <QTextFrame>

namespace talvex::about_internal {

KPAboutBoxScrollView::KPAboutBoxScrollView(QWidget* parent) : QTextBrowser(parent) {
    setFrameShape(QFrame::NoFrame);
    setOpenExternalLinks(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
}

QSizeF KPAboutBoxScrollView::textContainerInset() const {
    const QTextFrameFormat format = document()->rootFrame()->frameFormat();
    return {format.leftMargin(), format.topMargin()};
}

void KPAboutBoxScrollView::setTextContainerInset(const QSizeF& inset) {
    QTextFrame* root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setLeftMargin(inset.width());
    format.setRightMargin(inset.width());
    format.setTopMargin(inset.height());
    format.setBottomMargin(inset.height());
    root->setFrameFormat(format);
}

QPoint KPAboutBoxScrollView::scrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void KPAboutBoxScrollView::scrollToPoint(const QPoint& point) {
    horizontalScrollBar()->setValue(point.x());
    verticalScrollBar()->setValue(point.y());
}

bool KPAboutBoxScrollView::event(QEvent* event) {
    if (event->type() != QEvent::StyleChange) {
        return QTextBrowser::event(event);
    }
    const QPoint origin = scrollPosition();
    const bool handled = QTextBrowser::event(event);
    scrollToPoint(origin);
    return handled;
}

}  // namespace talvex::about_internal
