#include "platform/gl/GLXWindowContext.h"

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/SystemLog.h"
#include "platform/x11/LostServerCrashGuard.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XErrorPolicy.h"
#include "platform/x11/XErrorTrap.h"

// Xlib and GLX last: their macros collide with names in other headers.
#include <GL/glx.h>
#include <GL/glxext.h>
#include <X11/Xlib.h>

namespace talvex {

namespace {

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p)
            XFree(p);
    }
};

// The frame-buffer configuration whose visual is the window's own: GLX can only draw
// into a window through a configuration of the window's visual.
GLXFBConfig configForVisual(Display* dpy, int screen, VisualID visual, bool& doubleBuffered) {
    int count = 0;
    std::unique_ptr<GLXFBConfig, XFreeDeleter> configs(glXGetFBConfigs(dpy, screen, &count));
    GLXFBConfig best = nullptr;
    for (int i = 0; i < count && configs; ++i) {
        GLXFBConfig c = configs.get()[i];
        int vid = 0, drawable = 0, render = 0, db = 0;
        glXGetFBConfigAttrib(dpy, c, GLX_VISUAL_ID, &vid);
        glXGetFBConfigAttrib(dpy, c, GLX_DRAWABLE_TYPE, &drawable);
        glXGetFBConfigAttrib(dpy, c, GLX_RENDER_TYPE, &render);
        glXGetFBConfigAttrib(dpy, c, GLX_DOUBLEBUFFER, &db);
        if (static_cast<VisualID>(vid) != visual || !(drawable & GLX_WINDOW_BIT) ||
            !(render & GLX_RGBA_BIT)) {
            continue;
        }
        // Prefer double buffering: a frame is presented whole, never half drawn.
        if (!best || (db && !doubleBuffered)) {
            best = c;
            doubleBuffered = db != 0;
        }
    }
    return best;
}

// The visual of `config` matches the default visual in everything the toolkit's
// drawing relies on: depth, class and colour masks.
bool sameLayoutAsDefault(Display* dpy, GLXFBConfig config) {
    std::unique_ptr<XVisualInfo, XFreeDeleter> info(glXGetVisualFromFBConfig(dpy, config));
    const int screen = DefaultScreen(dpy);
    const Visual* standard = DefaultVisual(dpy, screen);
    return info && info->depth == DefaultDepth(dpy, screen) && info->c_class == TrueColor &&
           standard->c_class == TrueColor && info->red_mask == standard->red_mask &&
           info->green_mask == standard->green_mask && info->blue_mask == standard->blue_mask;
}

bool drawsWithoutAncillaryBuffers(Display* dpy, GLXFBConfig config) {
    for (int attribute : {GLX_DEPTH_SIZE, GLX_STENCIL_SIZE, GLX_ACCUM_RED_SIZE, GLX_SAMPLES}) {
        int value = 0;
        glXGetFBConfigAttrib(dpy, config, attribute, &value);
        if (value != 0)
            return false;
    }
    int doubleBuffered = 0, drawable = 0, render = 0;
    glXGetFBConfigAttrib(dpy, config, GLX_DOUBLEBUFFER, &doubleBuffered);
    glXGetFBConfigAttrib(dpy, config, GLX_DRAWABLE_TYPE, &drawable);
    glXGetFBConfigAttrib(dpy, config, GLX_RENDER_TYPE, &render);
    return doubleBuffered && (drawable & GLX_WINDOW_BIT) && (render & GLX_RGBA_BIT);
}

GLXContext createCompatibilityContext(Display* dpy, GLXFBConfig config) {
    using CreateContextAttribs =
        GLXContext (*)(Display*, GLXFBConfig, GLXContext, Bool, const int*);
    auto create = reinterpret_cast<CreateContextAttribs>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCreateContextAttribsARB")));
    if (create) {
        const int attributes[] = {GLX_CONTEXT_MAJOR_VERSION_ARB,
                                  2,
                                  GLX_CONTEXT_MINOR_VERSION_ARB,
                                  1,
                                  GLX_CONTEXT_PROFILE_MASK_ARB,
                                  GLX_CONTEXT_COMPATIBILITY_PROFILE_BIT_ARB,
                                  None};
        // A server that cannot make this profile answers with an error (read before
        // the call returns): expected here, the plain way follows.
        const XErrorTrap refusal(dpy);
        if (GLXContext c = create(dpy, config, nullptr, True, attributes))
            return c;
    }
    return glXCreateNewContext(dpy, config, GLX_RGBA_TYPE, nullptr, True);
}

// The server's and the library's GLX extensions both have `name`, as a whole word.
bool hasExtension(Display* dpy, int screen, const char* name) {
    const char* list = glXQueryExtensionsString(dpy, screen);
    const std::size_t length = std::strlen(name);
    for (const char* at = list ? std::strstr(list, name) : nullptr; at;
         at = std::strstr(at + length, name)) {
        const bool starts = at == list || at[-1] == ' ';
        if (starts && (at[length] == ' ' || at[length] == '\0'))
            return true;
    }
    return false;
}

PFNGLXCOPYSUBBUFFERMESAPROC copySubBufferFunction(Display* dpy, int screen) {
    if (!hasExtension(dpy, screen, "GLX_MESA_copy_sub_buffer"))
        return nullptr;
    return reinterpret_cast<PFNGLXCOPYSUBBUFFERMESAPROC>(
        glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
}

}  // namespace

struct GLXWindowContext::State {
    // Ours, under the process's X error policy like every connection of ours.
    std::shared_ptr<XDisplay> display;
    Window window = 0;
    GLXContext context = nullptr;
    bool doubleBuffered = false;
    PFNGLXCOPYSUBBUFFERMESAPROC copySubBuffer = nullptr;
    std::atomic<bool> detached{false};
    // The thread the context is current on (none: a default id). Mesa does not refuse
    // to make a context current that another thread still holds, so we count it.
    std::atomic<std::thread::id> currentOn{};
    std::atomic<std::uint64_t> currentElsewhere{0};
};

// GLX is not called on a connection that broke, nor on one whose server hung up before
// Xlib noticed: Mesa would follow the missing reply and crash. The server may still go
// in the middle of a call; the guard turns that crash into the lost server's exit.
std::unique_ptr<GLXWindowContext> GLXWindowContext::create(XWindowId window) {
    auto state = std::make_unique<State>();
    state->display = XDisplay::open();
    if (!state->display || window == 0)
        return nullptr;
    Display* dpy = state->display->get();
    const LostServerCrashGuard guard(dpy);
    const auto gone = [&] { return state->display->lost() || serverHungUp(dpy); };
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, window, &attributes) || !attributes.visual || gone())
        return nullptr;
    GLXFBConfig config =
        configForVisual(dpy, XScreenNumberOfScreen(attributes.screen),
                        XVisualIDFromVisual(attributes.visual), state->doubleBuffered);
    if (gone())
        return nullptr;
    if (!config) {
        systemLog("No OpenGL configuration matches the window's visual.");
        return nullptr;
    }
    state->context = createCompatibilityContext(dpy, config);
    if (gone())
        return nullptr;  // the context, if any, went with the connection
    if (!state->context) {
        systemLog("Could not create an OpenGL context for the window.");
        return nullptr;
    }
    state->window = window;
    if (state->doubleBuffered)
        state->copySubBuffer = copySubBufferFunction(dpy, XScreenNumberOfScreen(attributes.screen));
    return std::unique_ptr<GLXWindowContext>(new GLXWindowContext(std::move(state)));
}

unsigned long GLXWindowContext::leanVisual(XDisplay& display) {
    Display* dpy = display.get();
    // The driver loads here: a server going away now ends the process as it does later.
    const LostServerCrashGuard guard(dpy);
    const auto gone = [&] { return display.lost() || serverHungUp(dpy); };
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(dpy, &errorBase, &eventBase) || gone())
        return 0;
    int count = 0;
    std::unique_ptr<GLXFBConfig, XFreeDeleter> configs(
        glXGetFBConfigs(dpy, DefaultScreen(dpy), &count));
    for (int i = 0; i < count && configs && !gone(); ++i) {
        GLXFBConfig c = configs.get()[i];
        int visual = 0;
        glXGetFBConfigAttrib(dpy, c, GLX_VISUAL_ID, &visual);
        if (visual != 0 && drawsWithoutAncillaryBuffers(dpy, c) && sameLayoutAsDefault(dpy, c))
            return static_cast<unsigned long>(visual);
    }
    return 0;
}

GLXWindowContext::GLXWindowContext(std::unique_ptr<State> state) : state_(std::move(state)) {}

// Nothing is sent on a connection that broke: the server freed the context with it.
GLXWindowContext::~GLXWindowContext() {
    if (state_->display->lost())
        return;
    Display* dpy = state_->display->get();
    if (glXGetCurrentContext() == state_->context)
        glXMakeContextCurrent(dpy, None, None, nullptr);
    glXDestroyContext(dpy, state_->context);
    XSync(dpy, False);
}

bool GLXWindowContext::makeCurrent() {
    if (state_->detached || state_->display->lost())
        return false;
    if (glXMakeContextCurrent(state_->display->get(), state_->window, state_->window,
                              state_->context) != True) {
        return false;
    }
    const std::thread::id self = std::this_thread::get_id();
    const std::thread::id before = state_->currentOn.exchange(self);
    if (before != std::thread::id() && before != self)
        ++state_->currentElsewhere;
    return true;
}

void GLXWindowContext::clearCurrent() {
    if (glXGetCurrentContext() != state_->context)
        return;
    state_->currentOn = std::thread::id();
    if (!state_->display->lost())
        glXMakeContextCurrent(state_->display->get(), None, None, nullptr);
}

bool GLXWindowContext::isCurrent() const {
    return glXGetCurrentContext() == state_->context;
}

void GLXWindowContext::flushBuffer() {
    if (state_->detached || state_->display->lost())
        return;
    if (state_->doubleBuffered) {
        glXSwapBuffers(state_->display->get(), state_->window);
    } else {
        glFlush();
    }
    // Push the frame to the server now; a capture thread may not issue another request
    // for a while.
    XFlush(state_->display->get());
}

bool GLXWindowContext::keepsPicture() const {
    return !state_->doubleBuffered || state_->copySubBuffer;
}

void GLXWindowContext::presentRects(const std::vector<PixelRect>& rects) {
    if (!keepsPicture()) {
        flushBuffer();
        return;
    }
    if (state_->detached || state_->display->lost())
        return;
    if (!state_->doubleBuffered) {
        glFlush();
    } else {
        for (const PixelRect& r : rects)
            state_->copySubBuffer(state_->display->get(), state_->window, r.x, r.y, r.width,
                                  r.height);
    }
    XFlush(state_->display->get());
}

void GLXWindowContext::detach() {
    if (state_->detached.exchange(true))
        return;
    clearCurrent();
    if (!state_->display->lost())
        XSync(state_->display->get(), False);
}

std::uint64_t GLXWindowContext::windowSystemErrors() const {
    return XErrorPolicy::errorCount(state_->display->get());
}

std::uint64_t GLXWindowContext::currentElsewhereCount() const {
    return state_->currentElsewhere;
}

}  // namespace talvex
