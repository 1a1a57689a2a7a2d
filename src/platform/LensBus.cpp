#include "platform/LensBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <algorithm>
#include <cmath>

#include "platform/SystemLog.h"

namespace talvex {

namespace {

// The picture as the interface has it: (x, y, width, height), a struct of four int32.
QVariant pictureArgument(const PixelRect& r) {
    QDBusArgument argument;
    argument.beginStructure();
    argument << r.x << r.y << r.width << r.height;
    argument.endStructure();
    return QVariant::fromValue(argument);
}

}  // namespace

LensBus::LensBus(QDBusConnection connection, QObject* parent)
    : QObject(parent), connection_(std::move(connection)) {
    if (!connection_.isConnected()) {
        // No session bus: nobody draws the lens, which the owner hears like any answer.
        QMetaObject::invokeMethod(
            this, [this] { setPresent(false); }, Qt::QueuedConnection);
        return;
    }
    watcher_ = new QDBusServiceWatcher(QString::fromLatin1(serviceName), connection_,
                                       QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty())
                    setPresent(false);
                else
                    probe();
            });
    connection_.connect(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                        QString::fromLatin1(interfaceName), QStringLiteral("ShortcutActivated"),
                        this, SLOT(onShortcutActivated()));
    connection_.connect(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                        QString::fromLatin1(interfaceName), QStringLiteral("ColourUnderPointer"),
                        this, SLOT(onColourUnderPointer(QDBusMessage)));
    probe();
}

LensBus::~LensBus() = default;

// 1. Ask the service for its interface version. 2. Present when it answers one this
// program speaks; absent when nobody answers.
void LensBus::probe() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(interfaceName) << QStringLiteral("Version");
    auto* watch = new QDBusPendingCallWatcher(connection_.asyncCall(get), this);
    connect(watch, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QDBusVariant> reply = *w;
        w->deleteLater();
        setPresent(!reply.isError() && reply.value().variant().toUInt() >= version);
    });
}

void LensBus::setPresent(bool present) {
    present_ = present;
    emit presenceChanged(present);
}

void LensBus::onShortcutActivated() {
    emit shortcutActivated();
}

// (b known, (ddd) rgb), components 0…1.
void LensBus::onColourUnderPointer(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() != 2 || !arguments[0].toBool()) {
        emit colourUnderPointer(std::nullopt);
        return;
    }
    double rgb[3] = {0, 0, 0};
    const QDBusArgument structure = arguments[1].value<QDBusArgument>();
    structure.beginStructure();
    structure >> rgb[0] >> rgb[1] >> rgb[2];
    structure.endStructure();
    const auto byte = [](double v) {
        return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    emit colourUnderPointer(Rgb{byte(rgb[0]), byte(rgb[1]), byte(rgb[2])});
}

void LensBus::attach(XWindowId panel, const PixelRect& picture) {
    call("Attach", {QVariant::fromValue(static_cast<uint>(panel)), pictureArgument(picture)});
}

void LensBus::setPicture(const PixelRect& picture) {
    call("SetPicture", {pictureArgument(picture)});
}

void LensBus::configure(const QVariantMap& settings) {
    call("Configure", {settings});
}

void LensBus::detach() {
    call("Detach", {});
}

void LensBus::call(const char* method, const QVariantList& arguments) {
    if (!present_)
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QString::fromLatin1(method));
    message.setArguments(arguments);
    auto* watch = new QDBusPendingCallWatcher(connection_.asyncCall(message), this);
    connect(watch, &QDBusPendingCallWatcher::finished, this,
            [name = QString::fromLatin1(method)](QDBusPendingCallWatcher* w) {
                if (w->isError()) {
                    systemLog("The compositor refused " + name.toStdString() + ": " +
                              w->error().message().toStdString());
                }
                w->deleteLater();
            });
}

}  // namespace talvex
