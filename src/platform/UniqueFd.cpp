#include "platform/UniqueFd.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace talvex {

UniqueFd::~UniqueFd() {
    close();
}

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int UniqueFd::close() {
    if (fd_ < 0)
        return 0;
    // Linux releases the descriptor even when close fails, so it is never retried.
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 ? 0 : errno;
}

}  // namespace talvex
