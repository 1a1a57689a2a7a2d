#pragma once

// An OpenGL 2.1 compatibility-profile context with its context lock. Any thread may
// use it: take the lock, make the context current on that thread, draw, release the
// context, unlock (ContextLock does all four). The lock stands in for the platform
// context lock that keeps a reshape on the main thread and a display on the capture
// thread apart.
#include <mutex>

namespace talvex {

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
