#include "platform/gl/EGLHeadlessContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <mutex>

namespace talvex {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

// The surfaceless display, initialised once and shared: eglTerminate() would destroy
// every context of the display, so it runs only when the last context is gone.
class SurfacelessDisplay {
public:
    static std::shared_ptr<SurfacelessDisplay> acquire(std::string* error) {
        static std::mutex mutex;
        static std::weak_ptr<SurfacelessDisplay> shared;
        std::lock_guard lock(mutex);
        if (auto existing = shared.lock())
            return existing;
        EGLDisplay display =
            eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display == EGL_NO_DISPLAY) {
            setError(error, "no EGL surfaceless platform (Mesa) is available");
            return nullptr;
        }
        EGLint major = 0, minor = 0;
        if (!eglInitialize(display, &major, &minor)) {
            setError(error, "the EGL display could not be initialised");
            return nullptr;
        }
        auto made = std::shared_ptr<SurfacelessDisplay>(new SurfacelessDisplay(display));
        shared = made;
        return made;
    }
    ~SurfacelessDisplay() { eglTerminate(display_); }
    SurfacelessDisplay(const SurfacelessDisplay&) = delete;
    SurfacelessDisplay& operator=(const SurfacelessDisplay&) = delete;

    EGLDisplay get() const { return display_; }

private:
    explicit SurfacelessDisplay(EGLDisplay display) : display_(display) {}
    EGLDisplay display_;
};

// The EGL binding of the calling thread (API, display, surfaces, context).
class EGLBinding final : public CurrentBinding {
public:
    EGLBinding()
        : api_(eglQueryAPI()),
          display_(eglGetCurrentDisplay()),
          draw_(eglGetCurrentSurface(EGL_DRAW)),
          read_(eglGetCurrentSurface(EGL_READ)),
          context_(eglGetCurrentContext()) {}

    bool isNone() const override { return context_ == EGL_NO_CONTEXT; }
    void restore() override {
        eglBindAPI(api_);
        if (context_ != EGL_NO_CONTEXT)
            eglMakeCurrent(display_, draw_, read_, context_);
    }

private:
    EGLenum api_;
    EGLDisplay display_;
    EGLSurface draw_, read_;
    EGLContext context_;
};

EGLConfig chooseConfig(EGLDisplay display) {
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 EGL_PBUFFER_BIT,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_ALPHA_SIZE,
                                 8,
                                 EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, &config, 1, &count) || count < 1)
        return nullptr;
    return config;
}

EGLContext createCompatibilityContext(EGLDisplay display, EGLConfig config) {
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 2,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 1,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    return eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
}

}  // namespace

struct EGLHeadlessContext::State {
    std::shared_ptr<SurfacelessDisplay> display;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    GLuint framebuffer = 0;
    GLuint renderbuffer = 0;
    int width = 0;
    int height = 0;

    EGLDisplay dpy() const { return display->get(); }

    bool bind() const {
        eglBindAPI(EGL_OPENGL_API);
        if (!eglMakeCurrent(dpy(), surface, surface, context))
            return false;
        if (framebuffer)
            glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        return true;
    }

    // A colour renderbuffer of the drawable's size behind a framebuffer object; needs
    // the context current without a surface.
    bool makeFramebuffer() {
        glGenRenderbuffers(1, &renderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  renderbuffer);
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    void deleteFramebuffer() {
        if (framebuffer)
            glDeleteFramebuffers(1, &framebuffer);
        if (renderbuffer)
            glDeleteRenderbuffers(1, &renderbuffer);
        framebuffer = renderbuffer = 0;
    }

    void release() {
        if (!display)
            return;
        eglBindAPI(EGL_OPENGL_API);
        EGLBinding previous;
        const bool wasOurs = eglGetCurrentContext() == context;
        if (framebuffer && bind())
            deleteFramebuffer();
        eglBindAPI(EGL_OPENGL_API);
        eglMakeCurrent(dpy(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (!previous.isNone() && !wasOurs)
            previous.restore();
        if (surface != EGL_NO_SURFACE)
            eglDestroySurface(dpy(), surface);
        if (context != EGL_NO_CONTEXT)
            eglDestroyContext(dpy(), context);
        surface = EGL_NO_SURFACE;
        context = EGL_NO_CONTEXT;
    }
};

std::unique_ptr<EGLHeadlessContext> EGLHeadlessContext::create(int width, int height,
                                                               std::string* error) {
    if (width <= 0 || height <= 0) {
        setError(error, "the drawable size must be positive");
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->width = width;
    state->height = height;
    state->display = SurfacelessDisplay::acquire(error);
    if (!state->display)
        return nullptr;
    EGLConfig config = chooseConfig(state->dpy());
    if (!config || !eglBindAPI(EGL_OPENGL_API)) {
        setError(error, "EGL offers no desktop OpenGL configuration");
        return nullptr;
    }
    state->context = createCompatibilityContext(state->dpy(), config);
    if (state->context == EGL_NO_CONTEXT) {
        setError(error, "no OpenGL 2.1 compatibility context could be created");
        state->release();
        return nullptr;
    }
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    state->surface = eglCreatePbufferSurface(state->dpy(), config, size);
    if (state->surface == EGL_NO_SURFACE) {
        // Too large for a pbuffer: draw into a framebuffer object instead.
        EGLBinding previous;
        bool made = false;
        GLint maxSize = 0;
        if (state->bind()) {
            glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
            made = width <= maxSize && height <= maxSize && state->makeFramebuffer();
        }
        eglMakeCurrent(state->dpy(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (!previous.isNone())
            previous.restore();
        if (!made) {
            setError(error, "no offscreen drawable of " + std::to_string(width) + "x" +
                                std::to_string(height) + " pixels can be made");
            state->release();
            return nullptr;
        }
    }
    return std::unique_ptr<EGLHeadlessContext>(new EGLHeadlessContext(std::move(state)));
}

EGLHeadlessContext::EGLHeadlessContext(std::unique_ptr<State> state) : state_(std::move(state)) {}

EGLHeadlessContext::~EGLHeadlessContext() {
    state_->release();
}

bool EGLHeadlessContext::makeCurrent() {
    return state_->bind();
}

void EGLHeadlessContext::clearCurrent() {
    eglBindAPI(EGL_OPENGL_API);
    eglMakeCurrent(state_->dpy(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool EGLHeadlessContext::isCurrent() const {
    eglBindAPI(EGL_OPENGL_API);
    return eglGetCurrentContext() == state_->context;
}

void EGLHeadlessContext::flushBuffer() {
    glFinish();
}

std::unique_ptr<CurrentBinding> EGLHeadlessContext::currentBinding() const {
    return std::make_unique<EGLBinding>();
}

int EGLHeadlessContext::width() const {
    return state_->width;
}
int EGLHeadlessContext::height() const {
    return state_->height;
}

std::vector<std::uint8_t> EGLHeadlessContext::readPixelsBGRA() {
    ContextLock lock(*this);
    if (!lock.isCurrent())
        return {};
    const std::size_t rowBytes = static_cast<std::size_t>(state_->width) * 4;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(state_->height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, state_->width, state_->height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 pixels.data());
    // OpenGL reads the bottom row first; the captured-image layout starts at the top.
    // Turned over in place: the pixels of a large drawable are held once, not twice.
    for (int top = 0, bottom = state_->height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(pixels.begin() + static_cast<std::ptrdiff_t>(top * rowBytes),
                         pixels.begin() + static_cast<std::ptrdiff_t>((top + 1) * rowBytes),
                         pixels.begin() + static_cast<std::ptrdiff_t>(bottom * rowBytes));
    }
    return pixels;
}

}  // namespace talvex
