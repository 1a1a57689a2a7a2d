#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <vector>

// Xlib last: its macros (None, Bool, Status) collide with Qt names.
#include <X11/Xlib.h>

namespace talvex::test {

namespace {
std::vector<std::filesystem::path>& tempDirs() {
    static std::vector<std::filesystem::path> dirs;
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ec;
            for (const auto& d : tempDirs())
                std::filesystem::remove_all(d, ec);
        });
        return true;
    }();
    (void)cleanup;
    return dirs;
}
}  // namespace

void initXThreads() {
    XInitThreads();
}

bool hasDisplay() {
    static const bool present = [] {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name)
            return false;
        Display* d = XOpenDisplay(name);
        if (!d)
            return false;
        XCloseDisplay(d);
        return true;
    }();
    return present;
}

std::filesystem::path makeTempDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    char* made = mkdtemp(pattern.data());
    std::filesystem::path dir = made ? std::filesystem::path(made) : std::filesystem::path();
    if (!dir.empty())
        tempDirs().push_back(dir);
    return dir;
}

std::filesystem::path isolateUserDefaults() {
    auto dir = makeTempDir("talvex-config");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    return dir;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace talvex::test
