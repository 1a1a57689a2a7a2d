#pragma once

// An OpenGL 2.1 compatibility-profile context with its context lock. Any thread may
// use it: take the lock, make the context current on that thread, draw, release the
// context, unlock (ContextLock does all four). The lock stands in for the platform
// context lock that keeps a reshape on the main thread and a display on the capture
// thread apart.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Geometry.h"

namespace talvex {

// Whatever context (of any API the platform layer knows) was current on a thread at
// one moment, so that it can be made current there again.
class CurrentBinding {
public:
    virtual ~CurrentBinding() = default;
    // True when no context was current.
    virtual bool isNone() const = 0;
    // Makes the remembered binding current on the calling thread again.
    virtual void restore() = 0;
};

class GLContext {
public:
    virtual ~GLContext() = default;
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

    // Makes this context current on the calling thread; false when that failed.
    virtual bool makeCurrent() = 0;
    // Releases whatever context is current on the calling thread.
    virtual void clearCurrent() = 0;
    // True when this context is current on the calling thread.
    virtual bool isCurrent() const = 0;
    // Presents the frame drawn since the last flush.
    virtual void flushBuffer() = 0;
    // True when presentRects() leaves the rest of what the drawable shows as it was, so
    // that a frame may draw and present only part of the picture. A whole frame is
    // still presented with flushBuffer(): what the drawing buffer holds afterwards does
    // not matter, since a partial frame presents only what it drew itself.
    virtual bool keepsPicture() const { return false; }
    // Presents these rectangles of the drawing buffer (drawable pixels, origin at the
    // bottom left as OpenGL's window coordinates have it); the rest of the drawable
    // keeps what it showed. Without keepsPicture(), the whole frame.
    virtual void presentRects(const std::vector<PixelRect>& /*rects*/) { flushBuffer(); }
    // Stops all use of the drawable: afterwards makeCurrent() fails and nothing is
    // presented. Called under the lock before the drawable goes away; contexts whose
    // drawable they own themselves need not do anything.
    virtual void detach() {}
    // The binding current on the calling thread, when this kind of context can tell;
    // null when it cannot (callers then release this context instead of restoring).
    virtual std::unique_ptr<CurrentBinding> currentBinding() const { return nullptr; }
    // Errors the window system has reported on the context's own server connection so
    // far; 0 for contexts without one.
    virtual std::uint64_t windowSystemErrors() const { return 0; }
    // Times a thread made this context current while another thread still had it
    // current (a scope that forgot to release it); 0 for contexts that cannot tell.
    virtual std::uint64_t currentElsewhereCount() const { return 0; }

protected:
    GLContext() = default;

private:
    std::mutex mutex_;
};

// Lock, make current; on scope exit release the context and unlock.
class ContextLock {
public:
    explicit ContextLock(GLContext& context) : context_(context) {
        context_.lock();
        current_ = context_.makeCurrent();
    }
    ~ContextLock() {
        context_.clearCurrent();
        context_.unlock();
    }
    ContextLock(const ContextLock&) = delete;
    ContextLock& operator=(const ContextLock&) = delete;

    // False when the context could not be made current: draw nothing.
    bool isCurrent() const { return current_; }

private:
    GLContext& context_;
    bool current_ = false;
};

}  // namespace talvex
