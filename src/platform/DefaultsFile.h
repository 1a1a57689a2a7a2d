#pragma once

// The settings file of a user-defaults store: a JSON object mapping keys to values.
// Integers and booleans are the values the store understands; anything else a hand
// edit put there is carried along untouched, so that saving never destroys it.
// Saving is atomic (see AtomicFileWriter): readers see the old file or the new one, never
// a mix, and a failed save leaves the old file as it was. A file above maxFileSize is
// not read at all and counts as damaged, so a stray file cannot stall its reader; what
// is written keeps to the same limit (indented while that fits, else compact, else
// not at all), so a save is never refused by the next read. Anything but a regular file
// at the path (a FIFO, a device, a folder, also behind a symbolic link) is neither
// opened nor replaced.
#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/UniqueFd.h"
#include "platform/UserDefaults.h"

namespace talvex {

class DefaultsFile {
public:
    struct Contents {
        std::map<std::string, UserDefaults::Value> values;  // integers and booleans
        std::map<std::string, QJsonValue> otherValues;      // any other JSON, kept as found
        bool operator==(const Contents&) const = default;
    };

    static constexpr std::int64_t maxFileSize = 1 << 20;

    enum class Status { ok, missing, empty, damaged, notRegular };
    struct ReadResult {
        Status status = Status::missing;
        Contents contents;  // empty unless status is ok
        QString error;      // why a damaged file could not be parsed, what a refused one is
        // Of a file that could be opened.
        std::chrono::system_clock::time_point modified;
        std::int64_t size = 0;
    };

    explicit DefaultsFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }

    // Reads and parses the file without ever blocking. A missing or empty (zero-length)
    // file holds no settings.
    ReadResult read() const;
    // Opens the file for reading without waiting (a FIFO opens at once); -1 on failure.
    UniqueFd open() const;
    // Reads and parses what an open settings file holds now, from its start.
    static ReadResult read(int fd);

    // Writes `contents` atomically, creating the folder when needed. On failure (also
    // when the result would exceed maxFileSize) the old file is left as it was and
    // `error` says why.
    bool write(const Contents& contents, QString* error) const;

    // Renames a damaged file to "<name>.corrupt-<timestamp>" beside it, so the next save
    // does not overwrite it. Returns the new path, or nothing when the rename failed.
    std::optional<std::filesystem::path> moveAside() const;

    // Removes temporary files that an interrupted save of this file left behind.
    void removeStaleTemporaries() const;

    // Indented while that stays within maxFileSize, else compact (which may not).
    static QByteArray serialize(const Contents& contents);
    static std::optional<Contents> parse(const QByteArray& bytes, QString* error);

private:
    std::filesystem::path path_;
};

}  // namespace talvex
