#pragma once

// Replaces a file with new contents so that readers see the old file or the new one,
// never a mix, and a failed write never costs the old file. The steps: a temporary
// file beside the target (same folder, so the rename stays on one file system), all
// bytes written, synced and closed, renamed over the target, the folder synced. Every
// step is checked; on any failure the temporary file is removed and the target is left
// as it was. A new file gets the permissions the umask allows; a replaced one keeps its
// own; a symbolic link stays a link to the replaced file. Only a regular file is
// replaced: a FIFO, a device or a folder at the target (or behind its link) is refused.
// The temporary file is locked from its creation until it has been renamed, so that one
// an interrupted writer left behind can be told from one still being written
// (removeStaleTemporaries), also by another process.
#include <filesystem>
#include <string>
#include <string_view>

namespace talvex {

class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::filesystem::path target);

    const std::filesystem::path& target() const { return target_; }

    // True when `bytes` are the target's contents now; else false with `error` set to
    // one line saying which step failed and why. The folder must exist.
    bool write(std::string_view bytes, std::string* error) const;

    // Removes the temporary files of this target that no writer holds any more.
    void removeStaleTemporaries() const;

private:
    std::filesystem::path target_;
};

}  // namespace talvex
