#pragma once

// Client-side pixels read back from the server: a Z-format XImage, either in a System V
// shared-memory segment that the server writes into (MIT-SHM, no copy through the
// socket) or as a plain image from XGetImage. The segment is private to the user (mode
// 0600) and marked for removal as soon as both sides are attached, so the kernel
// frees it when the last of them detaches, even if the process is killed.
// Internal to the X11 layer (it includes Xlib).
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/x11/XDisplay.h"
#include "platform/x11/XResource.h"

namespace talvex {

class XImageBuffer {
    struct Key {
        explicit Key() = default;
    };

public:
    // A shared image of `width` x `height` at `depth` bits (`visual` of that depth, or
    // nullptr), attached on the server; none when MIT-SHM is missing or refuses (a
    // remote server cannot attach our memory).
    static std::unique_ptr<XImageBuffer> createShared(std::shared_ptr<XDisplay> display, int width,
                                                      int height, int depth, Visual* visual);
    // Reads `width` x `height` pixels at (0, 0) of `drawable` with XGetImage into a new
    // plain image; none on failure.
    static std::unique_ptr<XImageBuffer> read(std::shared_ptr<XDisplay> display,
                                              unsigned long drawable, int width, int height);

    XImageBuffer(Key, std::shared_ptr<XDisplay> display, XImage* image);
    ~XImageBuffer();
    XImageBuffer(const XImageBuffer&) = delete;
    XImageBuffer& operator=(const XImageBuffer&) = delete;

    // Shared images only: the server copies `drawable`'s pixels at (0, 0) into the
    // segment. False when the request failed (the drawable is gone, say).
    bool fillFrom(unsigned long drawable);

    // Shared images only: a server pixmap (on `root`'s screen, of the image's depth)
    // whose storage is the segment itself, so that drawing into it needs no read-back.
    // Made on first use; 0 when the server keeps no pixmaps in shared memory.
    unsigned long pixmap(unsigned long root);

    std::size_t width() const { return static_cast<std::size_t>(image_->width); }
    std::size_t height() const { return static_cast<std::size_t>(image_->height); }
    std::size_t bytesPerRow() const { return static_cast<std::size_t>(image_->bytes_per_line); }
    std::size_t bitsPerPixel() const { return static_cast<std::size_t>(image_->bits_per_pixel); }
    std::uint8_t* data() const { return reinterpret_cast<std::uint8_t*>(image_->data); }
    // Multi-byte pixels are stored most significant byte first (the server's order,
    // which Xlib does not convert).
    bool mostSignificantByteFirst() const { return image_->byte_order == MSBFirst; }
    // The System V segment id, -1 for plain images.
    int segmentId() const { return shared_ ? segment_.shmid : -1; }

private:
    bool attach();
    void detach();

    std::shared_ptr<XDisplay> display_;
    XImage* image_;
    XShmSegmentInfo segment_{};
    bool shared_ = false;
    bool attached_ = false;
    XResource pixmap_;
};

}  // namespace talvex
