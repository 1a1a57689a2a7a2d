#pragma once

// A 64 KiB tmpfs mounted on a fresh temporary folder for the life of the object, so that
// a test can fill a real file system and watch writes fail with "no space left". Mounting
// needs root (CAP_SYS_ADMIN); where it is refused, mounted() is false and whyNot() says
// why. The file system is unmounted and its folder removed when the object goes away.
#include <filesystem>
#include <string>

namespace talvex::test {

class SmallFileSystem {
public:
    SmallFileSystem();
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& whyNot() const { return whyNot_; }
    const std::filesystem::path& root() const { return root_; }

    // Takes every free block with a filler file in the root; true once a write has
    // failed for lack of space.
    bool fill() const;
    // Gives the space back.
    void drain() const;

private:
    std::filesystem::path root_;
    bool mounted_ = false;
    std::string whyNot_;

    std::filesystem::path fillerPath() const { return root_ / ".filler"; }
};

}  // namespace talvex::test

// Skips the current test when no small file system could be mounted.
#define TALVEX_REQUIRE_SMALL_FILE_SYSTEM(fileSystem)                                        \
    do {                                                                                    \
        if (!(fileSystem).mounted())                                                        \
            GTEST_SKIP() << "cannot mount a small tmpfs to fill (" << (fileSystem).whyNot() \
                         << "); the full-disk case needs root";                             \
    } while (0)
