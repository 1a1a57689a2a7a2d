#include "talvex/ImageLibraryMessages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

namespace talvex {

namespace {

// Enough of a message to say what went wrong.
constexpr int longestDetail = 200;

}  // namespace

std::atomic<ImageLibraryMessages*> ImageLibraryMessages::current_ = nullptr;

ImageLibraryMessages::ImageLibraryMessages() : owner_(std::this_thread::get_id()) {
    // 1. The toolkit's messages.
    current_ = this;
    previous_ = qInstallMessageHandler(&hold);
    // 2. Standard error, into a file in memory; left alone when none can be made.
    std::fflush(stderr);
    capture_ = memfd_create("talvex-image-messages", MFD_CLOEXEC);
    saved_ = capture_ < 0 ? -1 : fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved_ >= 0 && dup2(capture_, STDERR_FILENO) < 0) {
        close(saved_);
        saved_ = -1;
    }
}

ImageLibraryMessages::~ImageLibraryMessages() {
    releaseStandardError();
    if (capture_ >= 0)
        close(capture_);
    qInstallMessageHandler(previous_);
    current_ = nullptr;
}

void ImageLibraryMessages::releaseStandardError() {
    if (saved_ < 0)
        return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
    // What was written there, when the toolkit said nothing first.
    if (first_.isEmpty()) {
        char text[longestDetail + 1] = {};
        const ssize_t got = pread(capture_, text, longestDetail, 0);
        if (got > 0)
            first_ = QString::fromLocal8Bit(text, got).section(QLatin1Char('\n'), 0, 0);
    }
}

std::string ImageLibraryMessages::first() {
    releaseStandardError();
    return first_.simplified().left(longestDetail).toStdString();
}

std::string ImageLibraryMessages::withDetail(const std::string& line) {
    const std::string detail = first();
    return detail.empty() ? line : line + " (" + detail + ")";
}

void ImageLibraryMessages::hold(QtMsgType type, const QMessageLogContext& context,
                                const QString& message) {
    ImageLibraryMessages* messages = current_;
    if (messages && type != QtFatalMsg && std::this_thread::get_id() == messages->owner_) {
        if (messages->first_.isEmpty())
            messages->first_ = message;
        return;
    }
    if (messages && messages->previous_)
        messages->previous_(type, context, message);
}

}  // namespace talvex
