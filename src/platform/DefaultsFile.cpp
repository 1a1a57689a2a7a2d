#include "platform/DefaultsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/AtomicFileWriter.h"
#include "platform/UniqueFd.h"

namespace talvex {

namespace {

QString toQString(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// A JSON number reads as an integer when it has an exact 64-bit integer value
// (7, -3, 4294967296, also 2.0); fractions and huge numbers are not integers.
std::optional<std::int64_t> exactInteger(const QJsonValue& v) {
    if (!v.isDouble())
        return std::nullopt;
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 n = v.toInteger(sentinel);
    if (n == sentinel && v.toInteger(0) == 0)
        return std::nullopt;
    return n;
}

QJsonValue toJson(const UserDefaults::Value& v) {
    if (const bool* b = std::get_if<bool>(&v))
        return QJsonValue(*b);
    return QJsonValue(qint64(std::get<std::int64_t>(v)));
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads at most `limit` + 1 bytes, enough to tell a file that grew past the limit.
bool readAtMost(int fd, std::int64_t limit, QByteArray* bytes, QString* error) {
    char buffer[65536];
    while (bytes->size() <= limit) {
        const auto wanted = std::min<std::int64_t>(sizeof buffer, limit + 1 - bytes->size());
        const ssize_t n = ::read(fd, buffer, static_cast<std::size_t>(wanted));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = systemError(errno);
            return false;
        }
        if (n == 0)
            break;
        bytes->append(buffer, n);
    }
    return true;
}

// What a node that is not a regular file is, for the one line that refuses it.
QString kindOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

// Fills in `result` for a node that cannot be read as settings; false for a regular file.
bool refused(const struct stat& info, DefaultsFile::ReadResult* result) {
    if (S_ISREG(info.st_mode))
        return false;
    result->status = DefaultsFile::Status::notRegular;
    result->error = kindOf(info.st_mode);
    return true;
}

// Fills in `result` for a failed stat or open; a missing file holds no settings.
void failedToOpen(int error, DefaultsFile::ReadResult* result) {
    if (error == ENOENT || error == ENOTDIR)
        result->status = DefaultsFile::Status::missing;
    else
        result->error = systemError(error);
}

QString tooLarge(std::int64_t size) {
    return QStringLiteral("larger than the limit of %1 bytes (%2 bytes)")
        .arg(DefaultsFile::maxFileSize)
        .arg(size);
}

}  // namespace

DefaultsFile::DefaultsFile(std::filesystem::path path) : path_(std::move(path)) {}

DefaultsFile::ReadResult DefaultsFile::read() const {
    ReadResult result;
    result.status = Status::damaged;
    // 1. Only a regular file is opened: opening a FIFO would wait for a writer, and
    // opening a device may act on it.
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        failedToOpen(errno, &result);
        return result;
    }
    if (refused(info, &result))
        return result;
    // 2. Open without waiting, should another node have taken the name meanwhile.
    UniqueFd fd = open();
    if (!fd) {
        failedToOpen(errno, &result);
        return result;
    }
    return read(fd.get());
}

UniqueFd DefaultsFile::open() const {
    return UniqueFd(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
}

DefaultsFile::ReadResult DefaultsFile::read(int fd) {
    ReadResult result;
    result.status = Status::damaged;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.error = systemError(errno);
        return result;
    }
    if (refused(info, &result))
        return result;
    result.modified = std::chrono::system_clock::time_point(
        std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec));
    // 3. Size first: an oversized file is refused unread.
    result.size = info.st_size;
    if (info.st_size > maxFileSize) {
        result.error = tooLarge(info.st_size);
        return result;
    }
    // 4. Read, still within the limit should the file have grown meanwhile.
    QByteArray bytes;
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        result.error = systemError(errno);
        return result;
    }
    if (!readAtMost(fd, maxFileSize, &bytes, &result.error))
        return result;
    if (bytes.size() > maxFileSize) {
        result.error = tooLarge(bytes.size());
        return result;
    }
    if (bytes.isEmpty()) {
        result.status = Status::empty;
        return result;
    }
    // 5. Parse.
    if (auto contents = parse(bytes, &result.error)) {
        result.status = Status::ok;
        result.contents = std::move(*contents);
    }
    return result;
}

std::optional<DefaultsFile::Contents> DefaultsFile::parse(const QByteArray& bytes, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error) {
            *error = QStringLiteral("%1 at offset %2")
                         .arg(parseError.errorString())
                         .arg(parseError.offset);
        }
        return std::nullopt;
    }
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    Contents contents;
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string key = it.key().toStdString();
        const QJsonValue value = it.value();
        if (value.isBool()) {
            contents.values[key] = value.toBool();
        } else if (auto n = exactInteger(value)) {
            contents.values[key] = *n;
        } else {
            contents.otherValues[key] = value;
        }
    }
    return contents;
}

QByteArray DefaultsFile::serialize(const Contents& contents) {
    QJsonObject object;
    for (const auto& [key, value] : contents.otherValues)
        object.insert(QString::fromStdString(key), value);
    for (const auto& [key, value] : contents.values)
        object.insert(QString::fromStdString(key), toJson(value));
    const QJsonDocument document(object);
    QByteArray bytes = document.toJson(QJsonDocument::Indented);
    if (bytes.size() > maxFileSize)
        bytes = document.toJson(QJsonDocument::Compact);
    return bytes;
}

bool DefaultsFile::write(const Contents& contents, QString* error) const {
    const std::filesystem::path folder = path_.parent_path();
    if (!folder.empty() && !QDir().mkpath(toQString(folder))) {
        if (error)
            *error = QStringLiteral("cannot create folder %1").arg(toQString(folder));
        return false;
    }
    const QByteArray bytes = serialize(contents);
    if (bytes.size() > maxFileSize) {
        // The next read would refuse it, and set it aside.
        if (error)
            *error = QStringLiteral("the settings would be ") + tooLarge(bytes.size());
        return false;
    }
    std::string why;
    if (AtomicFileWriter(path_).write(std::string_view(bytes.constData(), bytes.size()), &why))
        return true;
    if (error)
        *error = QString::fromStdString(why);
    return false;
}

void DefaultsFile::removeStaleTemporaries() const {
    AtomicFileWriter(path_).removeStaleTemporaries();
}

std::optional<std::filesystem::path> DefaultsFile::moveAside() const {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const std::string base = path_.string() + ".corrupt-" + stamp.toStdString();
    std::filesystem::path target = base;
    for (int n = 2; std::filesystem::exists(target); ++n)
        target = base + "-" + std::to_string(n);
    std::error_code ec;
    std::filesystem::rename(path_, target, ec);
    if (ec)
        return std::nullopt;
    return target;
}

}  // namespace talvex
