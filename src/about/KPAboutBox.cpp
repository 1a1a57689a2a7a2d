#include "about/KPAboutBox.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <memory>
#include <optional>

#include "about/KPAboutBoxController.h"
#include "platform/Bundle.h"

namespace talvex {

namespace {

std::unique_ptr<KPAboutBoxController>& sharedController() {
    static std::unique_ptr<KPAboutBoxController> controller;
    return controller;
}

std::optional<QColor>& storedBackgroundColor() {
    static std::optional<QColor> color;
    return color;
}

// The text an Info value reads as: strings as they are, numbers and booleans in their
// usual spelling, lists and tables as compact JSON, absent values as "".
QString describe(const QVariant& value) {
    if (!value.isValid())
        return {};
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.canConvert<QString>())
        return value.toString();
    const QJsonValue json = QJsonValue::fromVariant(value);
    if (json.isArray())
        return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
    if (json.isObject())
        return QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact));
    return {};
}

QVariant infoValue(const char* key) {
    return Bundle::main().objectForInfoDictionaryKey(QString::fromLatin1(key));
}

}  // namespace

KPAboutBoxController* KPAboutBoxShow() {
    auto& controller = sharedController();
    if (!controller) {
        controller = std::make_unique<KPAboutBoxController>();
        // Widgets must go while the application object still exists; its destructor
        // runs the post routines first.
        qAddPostRoutine([] { sharedController().reset(); });
    }
    controller->showWindow();
    return controller.get();
}

QColor KPAboutBoxBackgroundColor() {
    auto& color = storedBackgroundColor();
    if (!color)
        color = QColor::fromRgbF(0.9f, 0.9f, 0.9f, 1.0f);
    return *color;
}

void KPAboutBoxSetBackgroundColor(const QColor& color) {
    auto& stored = storedBackgroundColor();
    if (color.isValid()) {
        stored = color;
    } else {
        stored.reset();
    }
}

QString KPAboutBoxApplicationName() {
    const QVariant name = infoValue(Bundle::nameKey);
    if (name.typeId() == QMetaType::QString)
        return name.toString();
    return Bundle::main().executableFileName();
}

QString KPAboutBoxVersionString() {
    const QString shortVersion = describe(infoValue(Bundle::shortVersionKey));
    const QString build = describe(infoValue(Bundle::versionKey));
    if (build.isEmpty() || build == shortVersion)
        return shortVersion;
    if (shortVersion.isEmpty())
        return build;
    return QStringLiteral("%1 (%2)").arg(shortVersion, build);
}

QString KPAboutBoxCopyrightString() {
    const QVariant copyright = infoValue(Bundle::copyrightKey);
    return copyright.typeId() == QMetaType::QString ? copyright.toString() : QString();
}

}  // namespace talvex
