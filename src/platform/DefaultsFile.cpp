#include "platform/DefaultsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <limits>

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

// Makes a completed rename survive a power loss: the folder's entry must reach the disk
// too. Best effort; the data itself was already synced by QSaveFile.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

DefaultsFile::DefaultsFile(std::filesystem::path path) : path_(std::move(path)) {}

DefaultsFile::ReadResult DefaultsFile::read() const {
    ReadResult result;
    QFile file(toQString(path_));
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Status::damaged;
        result.error = file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return result;
    if (auto contents = parse(bytes, &result.error)) {
        result.status = Status::ok;
        result.contents = std::move(*contents);
    } else {
        result.status = Status::damaged;
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
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

bool DefaultsFile::write(const Contents& contents, QString* error) const {
    const std::filesystem::path folder = path_.parent_path();
    if (!folder.empty() && !QDir().mkpath(toQString(folder))) {
        if (error)
            *error = QStringLiteral("cannot create folder %1").arg(toQString(folder));
        return false;
    }
    QSaveFile file(toQString(path_));
    const QByteArray bytes = serialize(contents);
    const bool ok =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!ok) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    syncFolder(folder.empty() ? std::filesystem::path(".") : folder);
    return true;
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
