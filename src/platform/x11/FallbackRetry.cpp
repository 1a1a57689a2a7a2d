#include "platform/x11/FallbackRetry.h"

#include "platform/SystemLog.h"

namespace talvex {

FallbackRetry::FallbackRetry(std::string what, std::string fallback, int framesBetweenTries)
    : what_(std::move(what)),
      fallback_(std::move(fallback)),
      framesBetweenTries_(framesBetweenTries) {}

bool FallbackRetry::shouldTry() {
    if (off_)
        return false;
    if (framesLeft_ == 0)
        return true;
    --framesLeft_;
    return framesLeft_ == 0;
}

void FallbackRetry::failed(std::string_view where) {
    framesLeft_ = framesBetweenTries_;
    if (logged_)
        return;
    logged_ = true;
    systemLog(what_ + " failed " + std::string(where) + "; " + fallback_ + ", tried again every " +
              std::to_string(framesBetweenTries_) + " frames.");
}

}  // namespace talvex
