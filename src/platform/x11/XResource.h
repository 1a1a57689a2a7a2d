#pragma once

// Owns one server-side resource (a pixmap, a picture...) by its XID and frees it with
// the matching request when it goes. Freeing a resource whose window vanished only
// raises an error that the error policy absorbs; on a connection that broke nothing is
// sent (the server freed everything of ours when it went).
#include <utility>

#include "platform/x11/XErrorPolicy.h"

struct _XDisplay;

namespace talvex {

class XResource {
public:
    using Release = void (*)(_XDisplay*, unsigned long);

    XResource() = default;
    XResource(_XDisplay* display, unsigned long id, Release release)
        : display_(display), id_(id), release_(release) {}
    ~XResource() { reset(); }

    XResource(XResource&& other) noexcept
        : display_(other.display_), id_(std::exchange(other.id_, 0)), release_(other.release_) {}
    XResource& operator=(XResource&& other) noexcept {
        if (this != &other) {
            reset();
            display_ = other.display_;
            id_ = std::exchange(other.id_, 0);
            release_ = other.release_;
        }
        return *this;
    }
    XResource(const XResource&) = delete;
    XResource& operator=(const XResource&) = delete;

    unsigned long id() const { return id_; }
    explicit operator bool() const { return id_ != 0; }

    // Lets go of a resource that the server already freed with what it belonged to,
    // without a request.
    void forget() { id_ = 0; }

    void reset() {
        if (id_ != 0 && release_ && !XErrorPolicy::connectionLost(display_)) {
            release_(display_, id_);
        }
        id_ = 0;
    }

private:
    _XDisplay* display_ = nullptr;
    unsigned long id_ = 0;
    Release release_ = nullptr;
};

// The requests that free each kind of resource, for XResource's `release`.
namespace xrelease {
void freePixmap(_XDisplay* display, unsigned long id);
void freePicture(_XDisplay* display, unsigned long id);
void destroyWindow(_XDisplay* display, unsigned long id);
void destroyDamage(_XDisplay* display, unsigned long id);
}  // namespace xrelease

}  // namespace talvex
