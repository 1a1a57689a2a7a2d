#include "platform/Bundle.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <filesystem>
#include <optional>

#include "platform/SystemLog.h"

namespace talvex {

namespace {

std::unique_ptr<Bundle>& replacement() {
    static std::unique_ptr<Bundle> bundle;
    return bundle;
}

// The running program; /proc/self/exe works before (and without) a QCoreApplication.
QString runningExecutablePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? QString() : QString::fromStdString(path.string());
}

// The JSON object in `path`; nothing when the file is absent. A file that exists but
// holds no JSON object is logged and read as empty.
std::optional<QVariantMap> readJsonObject(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        systemLog(("Cannot open bundle file " + path + ": " + file.errorString()).toStdString());
        return QVariantMap();
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject()) {
        systemLog(("Cannot read bundle file " + path + ": " + error.errorString()).toStdString());
        return QVariantMap();
    }
    return document.object().toVariantMap();
}

}  // namespace

const Bundle& Bundle::main() {
    if (replacement())
        return *replacement();
    static const Bundle own(QStringLiteral(":/"), runningExecutablePath());
    return own;
}

std::unique_ptr<Bundle> Bundle::replaceMain(std::unique_ptr<Bundle> bundle) {
    std::swap(replacement(), bundle);
    return bundle;
}

Bundle::Bundle(QString resourceRoot, QString executablePath)
    : resourceRoot_(std::move(resourceRoot)), executablePath_(std::move(executablePath)) {
    info_ = readJsonObject(resourcePath(QStringLiteral("Info.json"))).value_or(QVariantMap());
    loadLocalizedInfo();
}

Bundle::Bundle(QVariantMap info, QString resourceRoot, QString executablePath)
    : resourceRoot_(std::move(resourceRoot)),
      executablePath_(std::move(executablePath)),
      info_(std::move(info)) {}

QVariant Bundle::objectForInfoDictionaryKey(const QString& key) const {
    const auto localized = localizedInfo_.constFind(key);
    if (localized != localizedInfo_.cend())
        return *localized;
    return info_.value(key);
}

QString Bundle::executableFileName() const {
    return QFileInfo(executablePath_).fileName();
}

QString Bundle::pathForResource(const QString& name, const QString& ext) const {
    if (name.isEmpty())
        return {};
    const QString path = resourcePath(ext.isEmpty() ? name : name + u'.' + ext);
    const QFileInfo file(path);
    return file.exists() && file.isFile() ? path : QString();
}

QString Bundle::resourcePath(const QString& fileName) const {
    if (resourceRoot_.endsWith(u'/'))
        return resourceRoot_ + fileName;
    return resourceRoot_ + u'/' + fileName;
}

// Most specific first: "InfoPlist.de_CH.json", then "InfoPlist.de.json".
void Bundle::loadLocalizedInfo() {
    const QString locale = QLocale().name();
    const QString language = locale.section(u'_', 0, 0);
    for (const QString& lang : {locale, language}) {
        const auto table = readJsonObject(resourcePath("InfoPlist." + lang + ".json"));
        if (table) {
            localizedInfo_ = *table;
            return;
        }
    }
}

}  // namespace talvex
