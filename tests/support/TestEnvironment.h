#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace talvex::test {

// XInitThreads(), before any other Xlib call or the QApplication.
void initXThreads();

// True when DISPLAY names an X server that answers.
bool hasDisplay();

// Points XDG_CONFIG_HOME at a fresh temporary folder, so no test reads or writes the
// settings of the user running the tests. Returns that folder.
std::filesystem::path isolateUserDefaults();

// A fresh empty temporary folder, removed at process exit.
std::filesystem::path makeTempDir(const std::string& prefix);

// Runs the Qt event loop until `done` returns true or `timeoutMs` passes; returns done().
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

}  // namespace talvex::test

// Skips the current test when there is no X server.
#define TALVEX_REQUIRE_DISPLAY()            \
    do {                                    \
        if (!::talvex::test::hasDisplay())  \
            GTEST_SKIP() << "no X display"; \
    } while (0)
