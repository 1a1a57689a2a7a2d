#include "support/SmallFileSystem.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/UniqueFd.h"
#include "support/TestEnvironment.h"

namespace talvex::test {

namespace {

// Writes `chunk` bytes at a time until the file system refuses; true when it ran out of
// space rather than failing otherwise.
bool writeUntilFull(int fd, std::size_t chunk) {
    const std::vector<char> zeros(chunk, 0);
    for (;;) {
        const ssize_t n = ::write(fd, zeros.data(), zeros.size());
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == ENOSPC;
    }
}

}  // namespace

SmallFileSystem::SmallFileSystem() : root_(makeTempDir("talvex-small-fs")) {
    if (root_.empty()) {
        whyNot_ = "no temporary folder";
        return;
    }
    if (::mount("talvex-test", root_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
        whyNot_ = std::strerror(errno);
        return;
    }
    mounted_ = true;
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_)
        ::umount2(root_.c_str(), MNT_DETACH);
}

bool SmallFileSystem::fill() const {
    UniqueFd fd(::open(fillerPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (!fd)
        return false;
    // Big chunks take the space quickly; single bytes take what is left of the last block.
    return writeUntilFull(fd.get(), 4096) && writeUntilFull(fd.get(), 1);
}

void SmallFileSystem::drain() const {
    ::unlink(fillerPath().c_str());
}

}  // namespace talvex::test
