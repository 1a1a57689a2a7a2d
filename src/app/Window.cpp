#include "app/Window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "app/ResizeGrip.h"
#include "app/TitleBar.h"
#include "app/TitleBarButton.h"
#include "platform/Timer.h"
#include "platform/x11/MotifWmHints.h"
#include "platform/x11/WindowVisibilityMonitor.h"

namespace talvex {

namespace {

constexpr int defaultWidth = 320;
constexpr int defaultHeight = 240;
const QColor borderColor(0x16, 0x16, 0x18);
const QColor emptyContentColor(0x20, 0x20, 0x22);

Window::IgnoresMouseEventsHandler& ignoresMouseEventsHandler() {
    static Window::IgnoresMouseEventsHandler handler;
    return handler;
}

Rect toPixels(const QRect& r, double scale) {
    return Rect(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale);
}

constexpr int minimumFrameHeight =
    2 * Window::borderWidth + TitleBar::barHeight + 2 * ResizeGrip::side;

}  // namespace

Window::Window(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      titleBar_(new TitleBar(this)),
      bottomLeftGrip_(new ResizeGrip(ResizeGrip::Corner::bottomLeft, this)),
      bottomRightGrip_(new ResizeGrip(ResizeGrip::Corner::bottomRight, this)) {
    const int minimumWidth = 2 * borderWidth + 4 * ResizeGrip::side + 64;
    setMinimumSize(minimumWidth, minimumFrameHeight);
    resize(defaultWidth, defaultHeight);

    connect(titleBar_, &TitleBar::closeClicked, this, [this] { close(); });
    connect(titleBar_, &TitleBar::zoomClicked, this, [this] { zoom(); });
    for (ResizeGrip* grip : {bottomLeftGrip_, bottomRightGrip_}) {
        connect(grip, &ResizeGrip::resizeStarted, this, [this] { startLiveResize(); });
        connect(grip, &ResizeGrip::resizeMoved, this,
                [this, grip](QPoint delta) { resizeFromGrip(*grip, delta); });
        connect(grip, &ResizeGrip::resizeEnded, this, [this] { endLiveResize(); });
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        visibilityMonitor_ = std::make_unique<WindowVisibilityMonitor>(
            [this](bool visible) { setVisibleOnScreen(visible); });
    }
}

Window::~Window() {
    // Nothing may reach this object's handlers while QWidget tears the window down.
    if (QWindow* handle = windowHandle())
        handle->disconnect(this);
    visibilityMonitor_.reset();
    pausedDragTimer_.reset();
}

// --- Drag detection --------------------------------------------------------------

void Window::mouseDragged(QMouseEvent* event) {
    if (!dragging_) {
        dragging_ = true;
        emit draggingStarted();
    }
    startPauseTimer();
    if (moveOnDrag_)
        moveWithPointer(event->globalPosition());
}

void Window::startPauseTimer() {
    if (pausedDragTimer_)
        pausedDragTimer_->invalidate();
    pausedDragTimer_ =
        Timer::scheduledTimer(dragPauseInterval, false, [this] { stoppedDragging(); });
}

void Window::stoppedDragging() {
    dragging_ = false;
    emit draggingEnded();
}

// Moved by us from the pointer's travel: handing the move to the window manager
// (QWindow::startSystemMove) would take the drag events away from us.
void Window::moveWithPointer(QPointF globalPosition) {
    move(globalPosition.toPoint() - dragOffset_);
}

void Window::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Presses that reach the window itself come from the title bar (outside its buttons
    // and slots), the border, or a content widget that leaves them to us; only the
    // title bar moves the panel.
    const int titleBottom = borderWidth + TitleBar::barHeight;
    moveOnDrag_ = event->position().y() < titleBottom;
    // The pointer's offset from the frame origin, taken from the event alone: under a
    // reparenting window manager the toolkit's idea of the window's position can be
    // stale, while the event's own coordinates come straight from the X server.
    const QPoint frameMargin = geometry().topLeft() - pos();
    dragOffset_ = event->position().toPoint() + frameMargin;
    event->accept();
}

void Window::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        mouseDragged(event);
        event->accept();
    } else {
        QWidget::mouseMoveEvent(event);
    }
}

// --- Ordering out and closing ----------------------------------------------------

void Window::orderOut() {
    hide();
    close();
}

void Window::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit windowWillClose();
}

// --- Title bar and content -------------------------------------------------------

// The window manager's own ways to maximise (its menus, a double-click on a frame,
// _NET_WM_STATE requests) follow the zoom button.
void Window::setZoomButtonEnabled(bool enabled) {
    titleBar_->zoomButton()->setEnabled(enabled);
    tellWindowManagerWhetherMaximizable();
}

// The toolkit writes the Motif hints when it creates the X window and whenever the
// window flags change; this runs after both (at every show, before the map). It goes
// through the toolkit's own connection, so that it reaches the server after the
// toolkit's hints, not before them.
void Window::tellWindowManagerWhetherMaximizable() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    const XWindowId window = nativeWindowId(*this);
    if (!x11 || window == 0)
        return;
    MotifWmHints::setMaximizable(x11->display(), window, isZoomButtonEnabled());
}

bool Window::isZoomButtonEnabled() const {
    return titleBar_->zoomButton()->isEnabled();
}

void Window::setTitlebarAccessory(QWidget* accessory) {
    titleBar_->setAccessory(accessory);
}

QWidget* Window::titlebarAccessory() const {
    return titleBar_->accessory();
}

void Window::setMenuButton(QWidget* menuButton) {
    titleBar_->setMenuButton(menuButton);
}

void Window::setContentWidget(QWidget* content) {
    if (content_ == content)
        return;
    delete content_.data();
    content_ = content;
    if (content_) {
        content_->setParent(this);
        content_->installEventFilter(this);
        content_->show();
    }
    layoutChildren();
    stackGripsAboveContent();
}

bool Window::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::WinIdChange)
        stackGripsAboveContent();
    return QWidget::eventFilter(watched, event);
}

// A content widget with a window of its own (an OpenGL view) would cover sibling
// widgets drawn in ours; the grips then need windows of their own, stacked above it.
void Window::stackGripsAboveContent() {
    const bool nativeContent = content_ && content_->testAttribute(Qt::WA_NativeWindow);
    for (ResizeGrip* grip : {bottomLeftGrip_, bottomRightGrip_}) {
        if (nativeContent && !grip->testAttribute(Qt::WA_NativeWindow)) {
            grip->setAttribute(Qt::WA_NativeWindow);
        }
        grip->raise();
    }
}

QRect Window::contentRect() const {
    const int top = borderWidth + TitleBar::barHeight;
    const QSize size = frame().size();
    return QRect(borderWidth, top, std::max(0, size.width() - 2 * borderWidth),
                 std::max(0, size.height() - top - borderWidth));
}

// Steps: 1. the frame kept apart from the top-level's geometry; 2. the grips become
// windows of their own (above the panel, which they belong to) or children again; 3. the
// top-level takes the title bar's height or the whole frame back.
void Window::setSplit(bool split) {
    if (split == split_)
        return;
    const QRect frame = this->frame();
    frame_ = frame;
    split_ = split;
    // Windows of the panel's own (deleted with it, transient for it); shown and hidden
    // with it, which Qt does not do for child windows.
    const Qt::WindowFlags flags =
        split ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint : Qt::Widget;
    for (ResizeGrip* grip : {bottomLeftGrip_, bottomRightGrip_}) {
        grip->setParent(this, flags);
        grip->setVisible(isVisible() || !split);
    }
    const int splitHeight = borderWidth + TitleBar::barHeight;
    setMinimumHeight(split ? splitHeight : minimumFrameHeight);
    setFrame(frame);
    stackGripsAboveContent();
}

void Window::setFrame(const QRect& frame) {
    if (!split_) {
        setGeometry(frame);
        return;
    }
    frame_ = frame;
    setGeometry(frame.x(), frame.y(), frame.width(), borderWidth + TitleBar::barHeight);
    layoutChildren();
    placeSplitGrips();
}

// The grips' windows at the frame's bottom corners, on the screen.
void Window::placeSplitGrips() {
    const QRect content = contentRect().translated(frame_.topLeft());
    const int gripTop = content.bottom() + 1 - ResizeGrip::side;
    bottomLeftGrip_->move(content.left(), gripTop);
    bottomRightGrip_->move(content.right() + 1 - ResizeGrip::side, gripTop);
}

void Window::layoutChildren() {
    titleBar_->setGeometry(borderWidth, borderWidth, std::max(0, width() - 2 * borderWidth),
                           TitleBar::barHeight);
    const QRect content = contentRect();
    if (content_)
        content_->setGeometry(content);
    if (split_)
        return;
    const int gripTop = content.bottom() + 1 - ResizeGrip::side;
    bottomLeftGrip_->move(content.left(), gripTop);
    bottomRightGrip_->move(content.right() + 1 - ResizeGrip::side, gripTop);
}

void Window::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), borderColor);
    painter.fillRect(contentRect(), emptyContentColor);
}

void Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
    applyIgnoresMouseEvents();
}

// Zoom toggles between the panel's own frame and the screen's available area.
void Window::zoom() {
    if (normalGeometry_.isValid()) {
        setFrame(normalGeometry_);
        normalGeometry_ = QRect();
        return;
    }
    if (!screen())
        return;
    normalGeometry_ = frame();
    setFrame(screen()->availableGeometry());
}

// --- Live resize -----------------------------------------------------------------

void Window::startLiveResize() {
    inLiveResize_ = true;
    resizeStartGeometry_ = frame();
    emit liveResizeStarted();
}

// The grip's corner follows the pointer; the opposite top corner stays put.
void Window::resizeFromGrip(const ResizeGrip& grip, QPoint delta) {
    if (!inLiveResize_)
        return;
    const QRect start = resizeStartGeometry_;
    const bool left = grip.corner() == ResizeGrip::Corner::bottomLeft;
    const int width =
        std::clamp(start.width() + (left ? -delta.x() : delta.x()), minimumWidth(), maximumWidth());
    const int height = std::clamp(start.height() + delta.y(), minimumFrameHeight, maximumHeight());
    const int x = left ? start.right() + 1 - width : start.x();
    setFrame(QRect(x, start.y(), width, height));
}

void Window::endLiveResize() {
    if (!inLiveResize_)
        return;
    inLiveResize_ = false;
    emit liveResizeEnded();
}

// --- Position, visibility, scale -------------------------------------------------

void Window::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (split_) {
        frame_.moveTopLeft(geometry().topLeft());
        placeSplitGrips();
    }
    if (event->pos() != event->oldPos())
        emit moved();
}

std::int64_t Window::windowNumber() const {
    return nativeWindowId(*this);
}

bool Window::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WinIdChange:
            watchVisibility();
            applyIgnoresMouseEvents();
            break;
        case QEvent::ScreenChangeInternal:
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
        case QEvent::DevicePixelRatioChange:
#endif
            updateBackingScaleFactor();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void Window::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (split_) {
        bottomLeftGrip_->show();
        bottomRightGrip_->show();
    }
    // Before the window is mapped, so that the first change of visibility is seen.
    watchVisibility();
    tellWindowManagerWhetherMaximizable();
    stackGripsAboveContent();
    if (backingScaleFactor_ == 0)
        backingScaleFactor_ = devicePixelRatioF();
    if (QWindow* handle = windowHandle()) {
        connect(handle, &QWindow::screenChanged, this, &Window::updateBackingScaleFactor,
                Qt::UniqueConnection);
    }
    // Without an X server to ask, shown counts as visible.
    if (!visibilityMonitor_ || !visibilityMonitor_->isAvailable())
        setVisibleOnScreen(true);
}

void Window::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (split_) {
        bottomLeftGrip_->hide();
        bottomRightGrip_->hide();
    }
    setVisibleOnScreen(false);
}

void Window::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowTitleChange)
        titleBar_->setTitle(windowTitle());
    if (event->type() == QEvent::WindowStateChange)
        updateOcclusionState();
}

void Window::watchVisibility() {
    const XWindowId window = nativeWindowId(*this);
    if (visibilityMonitor_ && window != 0)
        visibilityMonitor_->watch(window);
}

void Window::setVisibleOnScreen(bool visible) {
    visibleOnScreen_ = visible;
    updateOcclusionState();
}

void Window::updateOcclusionState() {
    const bool visible = visibleOnScreen_ && isVisible() && !isMinimized();
    const unsigned state = visible ? occlusionStateVisible : 0u;
    if (state == occlusionState_)
        return;
    occlusionState_ = state;
    emit occlusionStateChanged();
}

void Window::updateBackingScaleFactor() {
    const double scale = devicePixelRatioF();
    const double previous = backingScaleFactor_;
    backingScaleFactor_ = scale;
    if (previous == 0 || previous == scale)
        return;
    emit backingScaleFactorChanged();
    applyIgnoresMouseEvents();
}

// --- Click-through ---------------------------------------------------------------

void Window::setIgnoresMouseEventsHandler(IgnoresMouseEventsHandler handler) {
    ignoresMouseEventsHandler() = std::move(handler);
}

void Window::setIgnoresMouseEvents(bool ignore) {
    ignoresMouseEvents_ = ignore;
    applyIgnoresMouseEvents();
}

std::vector<Rect> Window::clickableRects() const {
    const double scale = devicePixelRatioF();
    const QRect content = contentRect();
    const QRect areas[] = {
        QRect(0, 0, width(), content.top()),                        // title bar
        QRect(0, content.top(), content.left(), content.height()),  // left border
        QRect(content.right() + 1, content.top(), width() - content.right() - 1,
              content.height()),                                                   // right border
        QRect(0, content.bottom() + 1, width(), height() - content.bottom() - 1),  // bottom
        bottomLeftGrip_->geometry(),
        bottomRightGrip_->geometry(),
    };
    std::vector<Rect> rects;
    for (const QRect& area : areas) {
        if (!area.isEmpty())
            rects.push_back(toPixels(area, scale));
    }
    return rects;
}

void Window::applyIgnoresMouseEvents() {
    const auto& handler = ignoresMouseEventsHandler();
    const XWindowId window = nativeWindowId(*this);
    if (!handler || window == 0)
        return;
    std::vector<Rect> rects = ignoresMouseEvents_ ? clickableRects() : std::vector<Rect>{};
    if (window == appliedWindow_ && ignoresMouseEvents_ == appliedIgnore_ &&
        rects == appliedRects_) {
        return;
    }
    handler(window, ignoresMouseEvents_, rects);
    appliedWindow_ = window;
    appliedIgnore_ = ignoresMouseEvents_;
    appliedRects_ = std::move(rects);
}

}  // namespace talvex
