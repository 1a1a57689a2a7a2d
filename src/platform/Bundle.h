#pragma once

// The application bundle: the Info dictionary and the resources shipped with the
// program. The Info dictionary is the JSON object in "<resource root>/Info.json"; a
// localization may override string values in "<resource root>/InfoPlist.<lang>.json"
// (lang as "de_CH", then "de"). The main bundle's resource root is the compiled-in
// Qt resource tree (":/"); tests build bundles over folders on disk.
//
// Main thread only.
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

namespace talvex {

class Bundle {
public:
    static constexpr const char* nameKey = "CFBundleName";
    static constexpr const char* versionKey = "CFBundleVersion";
    static constexpr const char* shortVersionKey = "CFBundleShortVersionString";
    static constexpr const char* copyrightKey = "NSHumanReadableCopyright";

    // The program's own bundle (resources ":/", the running executable), unless a
    // replacement is installed.
    static const Bundle& main();
    // Installs `bundle` as the main bundle (nullptr: back to the program's own) and
    // returns the previous replacement. For tests and tools.
    static std::unique_ptr<Bundle> replaceMain(std::unique_ptr<Bundle> bundle);

    // Reads "<resourceRoot>/Info.json" and the localized overrides for the current
    // locale. `resourceRoot` is ":/" or a folder; `executablePath` names the program.
    Bundle(QString resourceRoot, QString executablePath);
    // A bundle with the given Info dictionary (no localization).
    Bundle(QVariantMap info, QString resourceRoot, QString executablePath);

    // The localized value of `key` when the bundle has one, else the Info dictionary's
    // value: a QString, a number (double or qlonglong), a bool, a list or a map.
    // Invalid when the key is absent.
    QVariant objectForInfoDictionaryKey(const QString& key) const;

    const QString& executablePath() const { return executablePath_; }
    // The last path component of the executable ("talvex").
    QString executableFileName() const;

    // The path of resource "<name>.<ext>" (a ":/..." path for the main bundle), or an
    // empty string when the bundle has no such resource. An empty `ext` means no
    // extension.
    QString pathForResource(const QString& name, const QString& ext) const;

private:
    QString resourceRoot_;
    QString executablePath_;
    QVariantMap info_;
    QVariantMap localizedInfo_;

    QString resourcePath(const QString& fileName) const;
    void loadLocalizedInfo();
};

}  // namespace talvex
