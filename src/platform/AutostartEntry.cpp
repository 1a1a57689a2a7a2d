#include "platform/AutostartEntry.h"

#include <system_error>

#include "platform/AtomicFileWriter.h"
#include "platform/UserDefaults.h"

namespace talvex {

namespace {

constexpr const char* entryText =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Talvex\n"
    "Comment=Opens the Talvex colour lens at login\n"
    "TryExec=talvex\n"
    "Exec=talvex\n"
    "Icon=org.talvex.Talvex\n"
    "Terminal=false\n"
    "X-GNOME-Autostart-enabled=true\n";

// The settings' folder is $XDG_CONFIG_HOME/Talvex; autostart entries sit beside it.
std::filesystem::path userEntryPath() {
    const std::filesystem::path configHome = UserDefaults::defaultFilePath().parent_path();
    return configHome.parent_path() / "autostart" / "org.talvex.Talvex.desktop";
}

}  // namespace

AutostartEntry::AutostartEntry() : AutostartEntry(userEntryPath()) {}

AutostartEntry::AutostartEntry(std::filesystem::path file) : file_(std::move(file)) {}

bool AutostartEntry::isInstalled() const {
    // A status that cannot be read (type none) counts as no entry.
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(file_, ec).type();
    return type != std::filesystem::file_type::not_found &&
           type != std::filesystem::file_type::none;
}

bool AutostartEntry::install(std::string* error) const {
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    if (ec) {
        *error = "cannot make the folder " + file_.parent_path().string() + ": " + ec.message();
        return false;
    }
    return AtomicFileWriter(file_).write(entryText, error);
}

bool AutostartEntry::remove(std::string* error) const {
    std::error_code ec;
    std::filesystem::remove(file_, ec);
    if (ec) {
        *error = "cannot remove " + file_.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace talvex
