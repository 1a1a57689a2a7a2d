#pragma once

// Owns one POSIX file descriptor and closes it when it goes away. close() closes it
// early and reports the result, for writers that must know the data reached the file.
namespace talvex {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Closes the descriptor now: 0, or the errno of the failed close. The descriptor
    // is released either way.
    int close();

private:
    int fd_ = -1;
};

}  // namespace talvex
