#include "platform/x11/XImageBuffer.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/x11/XErrorTrap.h"

namespace talvex {

namespace {

// Asking for the extension's version where it is missing makes Xlib print a warning;
// asking whether it is there does not.
bool sharedMemoryAvailable(Display* display) {
    if (!XShmQueryExtension(display)) {
        return false;
    }
    int major = 0;
    int minor = 0;
    Bool pixmaps = False;
    return XShmQueryVersion(display, &major, &minor, &pixmaps) == True;
}

}  // namespace

std::unique_ptr<XImageBuffer> XImageBuffer::createShared(std::shared_ptr<XDisplay> display,
                                                         int width, int height, int depth,
                                                         Visual* visual) {
    if (!display || width <= 0 || height <= 0 || !sharedMemoryAvailable(display->get())) {
        return nullptr;
    }
    XShmSegmentInfo info{};
    XImage* image =
        XShmCreateImage(display->get(), visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                        &info, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) {
        return nullptr;
    }
    auto buffer = std::make_unique<XImageBuffer>(Key{}, std::move(display), image);
    buffer->shared_ = true;
    buffer->segment_.shmid = -1;
    // The image refers to its segment description; it lives in the buffer from now on.
    image->obdata = reinterpret_cast<char*>(&buffer->segment_);
    if (!buffer->attach()) {
        return nullptr;
    }
    return buffer;
}

std::unique_ptr<XImageBuffer> XImageBuffer::read(std::shared_ptr<XDisplay> display,
                                                 unsigned long drawable, int width, int height) {
    if (!display || width <= 0 || height <= 0) {
        return nullptr;
    }
    XImage* image = XGetImage(display->get(), drawable, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) {
        return nullptr;
    }
    return std::make_unique<XImageBuffer>(Key{}, std::move(display), image);
}

XImageBuffer::XImageBuffer(Key, std::shared_ptr<XDisplay> display, XImage* image)
    : display_(std::move(display)), image_(image) {}

XImageBuffer::~XImageBuffer() {
    pixmap_.reset();
    detach();
    // The pixels of a shared image are the segment, unmapped by detach(); XDestroyImage
    // must not free them.
    if (shared_) {
        image_->data = nullptr;
    }
    XDestroyImage(image_);
}

// 1. A private segment of the image's size, mapped here.
// 2. The server attaches it; a round trip tells whether it could.
// 3. Marked for removal at once: it lives exactly as long as the two attachments.
bool XImageBuffer::attach() {
    const std::size_t size = bytesPerRow() * height();
    segment_.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (segment_.shmid < 0) {
        return false;
    }
    void* address = shmat(segment_.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(segment_.shmid, IPC_RMID, nullptr);
        segment_.shmid = -1;
        return false;
    }
    segment_.shmaddr = static_cast<char*>(address);
    segment_.readOnly = False;
    image_->data = segment_.shmaddr;

    XErrorTrap trap(display_->get());
    const bool sent = XShmAttach(display_->get(), &segment_) == True;
    attached_ = sent && !trap.failed();
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    return attached_;
}

void XImageBuffer::detach() {
    if (!shared_ || !segment_.shmaddr) {
        return;
    }
    if (attached_ && !display_->lost()) {
        XShmDetach(display_->get(), &segment_);
        // The server must let go before the mapping disappears under it.
        XSync(display_->get(), False);
        attached_ = false;
    }
    shmdt(segment_.shmaddr);
    segment_.shmaddr = nullptr;
}

unsigned long XImageBuffer::pixmap(unsigned long root) {
    if (pixmap_ || !attached_ || XShmPixmapFormat(display_->get()) != ZPixmap) {
        return pixmap_.id();
    }
    XErrorTrap trap(display_->get());
    XResource pixmap(display_->get(),
                     XShmCreatePixmap(display_->get(), root, image_->data, &segment_,
                                      static_cast<unsigned>(image_->width),
                                      static_cast<unsigned>(image_->height),
                                      static_cast<unsigned>(image_->depth)),
                     [](Display* display, unsigned long id) { XFreePixmap(display, id); });
    if (!trap.failed()) {
        pixmap_ = std::move(pixmap);
    }
    return pixmap_.id();
}

bool XImageBuffer::fillFrom(unsigned long drawable) {
    if (!attached_) {
        return false;
    }
    return XShmGetImage(display_->get(), drawable, image_, 0, 0, AllPlanes) == True;
}

}  // namespace talvex
