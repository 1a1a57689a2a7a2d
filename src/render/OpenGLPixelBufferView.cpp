#include "render/OpenGLPixelBufferView.h"

#include <QEvent>

#include "platform/gl/GLXWindowContext.h"
#include "platform/x11/XDisplay.h"

namespace talvex {

namespace {

// Stands in for the window's context until the native window exists: nothing can be
// made current, so the renderer draws nothing, while the flags already work.
class NoDrawableContext final : public GLContext {
public:
    bool makeCurrent() override { return false; }
    void clearCurrent() override {}
    bool isCurrent() const override { return false; }
    void flushBuffer() override {}
};

}  // namespace

OpenGLPixelBufferView::OpenGLPixelBufferView(FilterFactory makeFilter, QWidget* parent)
    : QWidget(parent), makeFilter_(std::move(makeFilter)) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    renderer_ = makeRenderer(nullptr);
}

OpenGLPixelBufferView::~OpenGLPixelBufferView() {
    // Qt destroys the native window after this body; stop drawing into it first. The
    // context lock waits for a frame in flight to end.
    detachFromNativeWindow();
}

std::shared_ptr<PixelBufferRenderer> OpenGLPixelBufferView::renderer() const {
    std::lock_guard lock(rendererMutex_);
    return renderer_;
}

OpenGLShaderFilter& OpenGLPixelBufferView::filter() {
    return renderer_->filter();
}

void OpenGLPixelBufferView::prepareOpenGL() {
    renderer_->prepareOpenGL();
}

void OpenGLPixelBufferView::reshape() {
    reshapedScale_ = backingScaleFactor();
    renderer_->reshape(bounds(), reshapedScale_);
    renewDrawableSize();
}

void OpenGLPixelBufferView::renewDrawableSize() {
    // Mesa's software GLX keeps the size a window's buffers had when they were first
    // used and learns a new one only after a buffer swap: without one, the first frame
    // after a resize would be drawn at the old size. A swap with nothing new drawn
    // re-presents the last frame and lets the next one find the window's real size.
    const QSize pixels(static_cast<int>(width() * reshapedScale_),
                       static_cast<int>(height() * reshapedScale_));
    if (!context_ || pixels == drawableSize_)
        return;
    drawableSize_ = pixels;
    ContextLock lock(*context_);
    if (lock.isCurrent())
        context_->flushBuffer();
}

void OpenGLPixelBufferView::displayImage(const CapturedImage& image) {
    renderer()->displayImage(image);
}

void OpenGLPixelBufferView::reset() {
    renderer_->reset();
}

QWidget* OpenGLPixelBufferView::hostWindow() const {
    return parentWidget() ? window() : nullptr;
}

Rect OpenGLPixelBufferView::bounds() const {
    return Rect(0, 0, width(), height());
}

double OpenGLPixelBufferView::backingScaleFactor() const {
    return devicePixelRatioF();
}

void OpenGLPixelBufferView::viewWillMoveToWindow(QWidget* /*newWindow*/) {}

void OpenGLPixelBufferView::viewDidMoveToWindow() {
    reshape();
}

void OpenGLPixelBufferView::followWindowChange() {
    QWidget* window = hostWindow();
    if (window == hostWindow_)
        return;
    viewWillMoveToWindow(window);
    hostWindow_ = window;
    viewDidMoveToWindow();
}

bool OpenGLPixelBufferView::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WinIdChange:
            if (internalWinId()) {
                attachToNativeWindow();
            } else {
                detachFromNativeWindow();
            }
            break;
        case QEvent::ParentChange:
            followWindowChange();
            break;
        case QEvent::ScreenChangeInternal:
            // Moved to a screen of another density: the drawable's pixel size follows.
            if (backingScaleFactor() != reshapedScale_)
                reshape();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void OpenGLPixelBufferView::paintEvent(QPaintEvent*) {
    drawRect();
}

void OpenGLPixelBufferView::resizeEvent(QResizeEvent*) {
    reshape();
}

void OpenGLPixelBufferView::showEvent(QShowEvent*) {
    attachToNativeWindow();
    followWindowChange();
}

std::shared_ptr<PixelBufferRenderer> OpenGLPixelBufferView::makeRenderer(
    std::unique_ptr<GLXWindowContext> context) {
    std::unique_ptr<GLContext> drawable;
    if (context) {
        drawable = std::move(context);
    } else {
        drawable = std::make_unique<NoDrawableContext>();
    }
    auto renderer = std::make_shared<PixelBufferRenderer>(std::move(drawable), makeFilter_);
    if (renderer_) {
        // A capture in flight belongs to the old renderer and clears its own flag.
        renderer->capturingDisabled = renderer_->capturingDisabled.load();
        renderer->unhideOnNextDisplay = renderer_->unhideOnNextDisplay.load();
        renderer->pausesBegun = renderer_->pausesBegun.load();
        // The filter draws by what the old one was handed.
        renderer->setLensSettings(renderer_->lensSettings());
        renderer->setFoundColour(renderer_->foundColour());
    }
    return renderer;
}

void OpenGLPixelBufferView::replaceRenderer(std::shared_ptr<PixelBufferRenderer> renderer) {
    std::lock_guard lock(rendererMutex_);
    renderer_ = std::move(renderer);
}

void OpenGLPixelBufferView::attachToNativeWindow() {
    if (!testAttribute(Qt::WA_WState_Created) || !internalWinId())
        return;
    const XWindowId window = nativeWindowId(*this);
    if ((context_ && contextWindow_ == window) || failedWindow_ == window)
        return;
    detachFromNativeWindow();

    // The toolkit creates its windows asynchronously on its own connection; our
    // context uses another, which must find the window already on the server.
    syncToolkitConnection();
    auto context = GLXWindowContext::create(window);
    if (!context) {
        failedWindow_ = window;
        return;  // logged by the context; the view stays blank
    }
    GLXWindowContext* raw = context.get();
    replaceRenderer(makeRenderer(std::move(context)));
    context_ = raw;
    contextWindow_ = window;
    drawableSize_ = QSize();
    prepareOpenGL();
    reshape();
}

void OpenGLPixelBufferView::detachFromNativeWindow() {
    if (!context_)
        return;
    reset();
    GLXWindowContext* context = context_;
    context_ = nullptr;
    contextWindow_ = 0;
    {
        std::lock_guard lock(renderer_->context());
        context->detach();
    }
    renderer_->detach();
    replaceRenderer(makeRenderer(nullptr));
}

}  // namespace talvex
