#pragma once

// The floor of every capture on this desktop: XShmGetImage of a root rectangle into a
// private shared-memory segment, nothing else. Shared by the capture and frame benches.
// Include after any Qt header: Xlib's macros collide with Qt names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

class ShmRootReader {
public:
    // Reads w × h pixels from the root's top-left corner. valid() is false without an
    // X server that offers MIT-SHM.
    ShmRootReader(int w, int h) : dpy_(XOpenDisplay(nullptr)) {
        if (!dpy_ || !XShmQueryExtension(dpy_))
            return;
        const int screen = DefaultScreen(dpy_);
        image_ = XShmCreateImage(dpy_, DefaultVisual(dpy_, screen), DefaultDepth(dpy_, screen),
                                 ZPixmap, nullptr, &segment_, w, h);
        segment_.shmid = shmget(IPC_PRIVATE, image_->bytes_per_line * h, IPC_CREAT | 0600);
        segment_.shmaddr = image_->data = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
        segment_.readOnly = False;
        XShmAttach(dpy_, &segment_);
        XSync(dpy_, False);
        // Gone with the process, however it ends.
        shmctl(segment_.shmid, IPC_RMID, nullptr);
    }
    ~ShmRootReader() {
        if (image_) {
            XShmDetach(dpy_, &segment_);
            XSync(dpy_, False);
            shmdt(segment_.shmaddr);
            image_->data = nullptr;
            XDestroyImage(image_);
        }
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    ShmRootReader(const ShmRootReader&) = delete;
    ShmRootReader& operator=(const ShmRootReader&) = delete;

    bool valid() const { return image_ != nullptr; }
    void read() { XShmGetImage(dpy_, DefaultRootWindow(dpy_), image_, 0, 0, AllPlanes); }
    const XImage& image() const { return *image_; }

private:
    Display* dpy_;
    XImage* image_ = nullptr;
    XShmSegmentInfo segment_{};
};
