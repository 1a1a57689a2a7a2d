#pragma once

// The XDG autostart entry that starts Talvex when the user logs in:
// $XDG_CONFIG_HOME/autostart/org.talvex.Talvex.desktop (else ~/.config/autostart/).
// Whether the file exists is the setting itself; nothing else remembers it.
#include <filesystem>
#include <string>

namespace talvex {

class AutostartEntry {
public:
    // The entry in the config folder that the environment names now.
    AutostartEntry();
    explicit AutostartEntry(std::filesystem::path file);

    const std::filesystem::path& file() const { return file_; }

    // True when a file (or a link) stands at file().
    bool isInstalled() const;
    // Writes the entry atomically, making its folder when missing. True when the entry
    // is in place; else false with `error` set to one line naming the failed step.
    bool install(std::string* error) const;
    // True when no entry is left (also when there was none); else false with `error`.
    bool remove(std::string* error) const;

private:
    std::filesystem::path file_;
};

}  // namespace talvex
