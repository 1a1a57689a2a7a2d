#include "platform/AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <random>

#include "platform/UniqueFd.h"

namespace talvex {

namespace {

bool failed(const char* step, const char* reason, std::string* message) {
    if (message)
        *message = std::string(step) + ": " + reason;
    return false;
}

bool failed(const char* step, int error, std::string* message) {
    return failed(step, std::strerror(error), message);
}

std::filesystem::path folderOf(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// A symbolic link stays a link: the file it points to is the one replaced.
std::filesystem::path followLinks(const std::filesystem::path& target) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(target, ec))
        return target;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
    return ec ? target : resolved;
}

constexpr const char* temporaryInfix = ".tmp-";

// Only a regular file is replaced; a missing one is created.
bool checkTarget(const std::filesystem::path& target, std::string* error) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return errno == ENOENT || failed("examining the target", errno, error);
    if (!S_ISREG(info.st_mode))
        return failed("replacing the target", "not a regular file", error);
    return true;
}

// True when `path` still names the file open as `fd`.
bool stillNamed(const std::filesystem::path& path, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Creates "<target>.tmp-<random>" beside the target, exclusively, and locks it until
// every descriptor of it is closed. Another process clearing stale temporaries
// (removeStaleTemporaries) may take the file in the moment before it is locked; it then
// goes, and another name is tried.
UniqueFd createTemporary(const std::filesystem::path& target, std::filesystem::path* temporary,
                         std::string* error) {
    std::random_device seed;
    std::mt19937 random(seed());
    int why = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = target.string() + temporaryInfix + std::to_string(random() % 1000000000);
        UniqueFd fd(::open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && errno != EEXIST) {
            why = errno;
            break;
        }
        if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && stillNamed(*temporary, fd.get()))
            return fd;
    }
    failed("creating a temporary file", why, error);
    return UniqueFd();
}

// A replaced file keeps its permissions; a missing one is not an error.
bool keepPermissions(const std::filesystem::path& target, int fd, std::string* error) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0)
        return errno == ENOENT || failed("reading the old file's permissions", errno, error);
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        return failed("setting permissions", errno, error);
    return true;
}

bool writeAll(int fd, std::string_view bytes, std::string* error) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed("writing", n < 0 ? errno : EIO, error);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool syncAndClose(UniqueFd& fd, std::string* error) {
    if (::fsync(fd.get()) != 0)
        return failed("syncing", errno, error);
    if (const int closeError = fd.close())
        return failed("closing", closeError, error);
    return true;
}

// Makes the rename itself survive a power loss. File systems that cannot sync a folder
// say so with EINVAL; that is no failure.
bool syncFolder(const std::filesystem::path& folder, std::string* error) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return failed("opening the folder to sync it", errno, error);
    if (::fsync(fd.get()) != 0 && errno != EINVAL)
        return failed("syncing the folder", errno, error);
    return true;
}

// "<name>.tmp-<digits>", as createTemporary names them.
bool isTemporaryName(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return std::all_of(name.begin() + prefix.size(), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target) : target_(std::move(target)) {}

bool AtomicFileWriter::write(std::string_view bytes, std::string* error) const {
    // 1. A temporary file beside the real target, removed again unless it becomes it.
    const std::filesystem::path target = followLinks(target_);
    if (!checkTarget(target, error))
        return false;
    std::filesystem::path temporary;
    UniqueFd fd = createTemporary(target, &temporary, error);
    if (!fd)
        return false;
    auto removeTemporary = [](const std::filesystem::path* p) { ::unlink(p->c_str()); };
    std::unique_ptr<const std::filesystem::path, decltype(removeTemporary)> cleanup(
        &temporary, removeTemporary);
    // The lock lasts until the rename is done: closing `fd` after the sync must not free
    // the file for another process's cleanup while it still has its temporary name.
    const UniqueFd lock(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!lock)
        return failed("keeping the temporary file locked", errno, error);

    // 2. The data, on the disk before the name moves to it.
    if (!keepPermissions(target, fd.get(), error) || !writeAll(fd.get(), bytes, error) ||
        !syncAndClose(fd, error))
        return false;

    // 3. The switch: one rename, then the folder entry on the disk.
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return failed("renaming the temporary file over the old one", errno, error);
    cleanup.release();
    return syncFolder(folderOf(target), error);
}

void AtomicFileWriter::removeStaleTemporaries() const {
    const std::filesystem::path target = followLinks(target_);
    const std::string prefix = target.filename().string() + temporaryInfix;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folderOf(target), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        if (!isTemporaryName(path.filename().string(), prefix))
            continue;
        // A writer holds its temporary file locked; a stray one is free.
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
    }
}

}  // namespace talvex
