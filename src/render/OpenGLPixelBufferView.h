#pragma once

// A widget that shows captured images drawn through a shader filter with OpenGL.
//
// Qt never paints it: it is a native child window (its own X window) with no paint
// engine and no background, and a GLX context of ours, on a Display connection of its
// own, draws straight into that window. A plain native widget would get Qt's background
// painted over the picture at every expose.
//
// The GL work lives in a PixelBufferRenderer held through a shared pointer: capture
// work items hold the same pointer, so a view destroyed while a capture is in flight
// leaves the capture drawing nothing instead of touching a dead window. The renderer
// carries the four flags that the capture side coordinates with (atomics).
//
// Threads: everything here runs on the main thread except displayImage(), which the
// capture thread calls. Reshape and display each take the context lock.
//
// Geometry: bounds() are in points (Qt logical pixels) with y up and the origin at the
// bottom-left; the drawable has bounds × devicePixelRatioF() device pixels.
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <memory>
#include <mutex>

#include "platform/Geometry.h"
#include "platform/x11/XWindowId.h"
#include "render/PixelBufferRenderer.h"

namespace talvex {

class CapturedImage;
class GLXWindowContext;
class OpenGLShaderFilter;

class OpenGLPixelBufferView : public QWidget {
    Q_OBJECT

public:
    using FilterFactory = PixelBufferRenderer::FilterFactory;

    // `makeFilter` supplies the filter on first use; it must not hold on to the view
    // (the renderer may outlive it).
    explicit OpenGLPixelBufferView(FilterFactory makeFilter, QWidget* parent = nullptr);
    ~OpenGLPixelBufferView() override;

    // Qt must never paint here: the GL context owns the window's pixels.
    QPaintEngine* paintEngine() const override { return nullptr; }

    // The filter the view draws through (created on first use).
    OpenGLShaderFilter& filter();

    // The renderer shared with capture work (any thread). Never null; replaced when the
    // native window is re-created (the flags carry over).
    std::shared_ptr<PixelBufferRenderer> renderer() const;
    // True once a GL context draws into the view's window.
    bool hasDrawable() const { return context_ != nullptr; }

    // Builds the filter's program in the current context (once per context).
    void prepareOpenGL();
    // Brings the viewport and the filter's view parameters in line with the bounds and
    // the backing scale factor, under the context lock.
    void reshape();
    // Uploads and draws one image (capture thread).
    void displayImage(const CapturedImage& image);
    // Deletes the program.
    void reset();

    // The top-level window the view is placed in; none while it has no parent.
    QWidget* hostWindow() const;
    // Bounds in points: origin (0, 0), the widget's logical size.
    Rect bounds() const;
    // Device pixels per point of the view's window (Qt's device pixel ratio).
    double backingScaleFactor() const;

    bool unhideOnNextDisplay() const { return renderer_->unhideOnNextDisplay; }
    // Shown again, the view's window has lost its picture: the next one is drawn.
    void setUnhideOnNextDisplay(bool v) {
        if (v)
            renderer_->redrawRequired = true;
        renderer_->unhideOnNextDisplay = v;
    }
    bool capturingDisabled() const { return renderer_->capturingDisabled; }
    void setCapturingDisabled(bool v) {
        if (v)
            ++renderer_->pausesBegun;
        renderer_->capturingDisabled = v;
    }
    bool capturing() const { return renderer_->capturing; }

protected:
    // Notices a change of the view's top-level window (reparenting, first show) and runs
    // viewWillMoveToWindow / viewDidMoveToWindow for it.
    void followWindowChange();

    // Called when the view enters a top-level window, leaves one or moves to another
    // (`newWindow` is none when it leaves). Subclasses extend both; call the base.
    virtual void viewWillMoveToWindow(QWidget* newWindow);
    virtual void viewDidMoveToWindow();
    // An expose or repaint of the view. Nothing is drawn here by default.
    virtual void drawRect() {}

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    FilterFactory makeFilter_;
    // Written on the main thread only; the mutex orders those writes with renderer()
    // calls from the capture thread.
    mutable std::mutex rendererMutex_;
    std::shared_ptr<PixelBufferRenderer> renderer_;
    // Owned by renderer_; set while it draws into the native window.
    GLXWindowContext* context_ = nullptr;
    XWindowId contextWindow_ = 0;
    // The native window no context could be made for: not tried again, since it would
    // fail (and say so) the same way.
    XWindowId failedWindow_ = 0;
    // The top-level the view was last seen in.
    QPointer<QWidget> hostWindow_;
    double reshapedScale_ = 0;
    // The drawable's size in pixels as the GL context last learnt it.
    QSize drawableSize_;

    std::shared_ptr<PixelBufferRenderer> makeRenderer(std::unique_ptr<GLXWindowContext> context);
    void attachToNativeWindow();
    void detachFromNativeWindow();
    void renewDrawableSize();
    void replaceRenderer(std::shared_ptr<PixelBufferRenderer> renderer);
};

}  // namespace talvex
