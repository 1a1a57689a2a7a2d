#include "LensService.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDebug>
#include <QKeySequence>
#include <QRegularExpression>

#include <KGlobalAccel>

namespace talvex::kwin {

namespace {
const QString serviceName = QStringLiteral("org.talvex.Lens");
const QString objectPath = QStringLiteral("/org/talvex/Lens");
const QString interfaceName = QStringLiteral("org.talvex.Lens1");

// Configure's rule: a key given with a value of its own type replaces the setting; an
// unknown key or a value of another type is ignored.
template <typename T>
void take(const QVariantMap& settings, const char* key, T& setting) {
    const auto it = settings.constFind(QLatin1String(key));
    if (it != settings.constEnd() && it->userType() == qMetaTypeId<T>()) {
        setting = it->value<T>();
    }
}
// The accelerator as Configure gives it ("<Control><Alt>l", "<Super>F12") as Qt's key.
QKeySequence keyOf(const QString& accelerator) {
    static const QList<QPair<QString, QString>> modifiers = {
        {QStringLiteral("<Control>"), QStringLiteral("Ctrl+")},
        {QStringLiteral("<Primary>"), QStringLiteral("Ctrl+")},
        {QStringLiteral("<Alt>"), QStringLiteral("Alt+")},
        {QStringLiteral("<Shift>"), QStringLiteral("Shift+")},
        {QStringLiteral("<Super>"), QStringLiteral("Meta+")},
        {QStringLiteral("<Meta>"), QStringLiteral("Meta+")}};
    QString rest = accelerator.trimmed();
    QString text;
    for (bool found = true; found;) {
        found = false;
        for (const auto& [gtk, qt] : modifiers) {
            if (rest.startsWith(gtk, Qt::CaseInsensitive)) {
                text += qt;
                rest.remove(0, gtk.size());
                found = true;
            }
        }
    }
    if (rest.isEmpty() || rest.contains(QLatin1Char('<'))) {
        return {};
    }
    const QKeySequence key =
        QKeySequence::fromString(text + rest.toUpper(), QKeySequence::PortableText);
    return key.count() == 1 && !key.toString().isEmpty() ? key : QKeySequence();
}
// Find a Colour's "#RRGGBB"; "" (or anything else) finds nothing.
std::optional<QColor> colourOf(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (!hex.match(text).hasMatch()) {
        if (!text.isEmpty()) {
            qWarning("talvex_lens: find-colour wants #RRGGBB, not %s", qPrintable(text));
        }
        return std::nullopt;
    }
    return QColor(text);
}
}  // namespace

LensService::LensService(QObject* parent) : QObject(parent) {
    auto bus = QDBusConnection::sessionBus();
    m_ownerWatcher.setConnection(bus);
    m_ownerWatcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_ownerWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { release(); });
    // KWin's own component: its keys reach it whichever window has the keyboard.
    m_shortcutAction.setObjectName(QStringLiteral("Talvex Lens Show Hide"));
    m_shortcutAction.setText(QStringLiteral("Show or hide the Talvex panel"));
    m_shortcutAction.setProperty("componentName", QStringLiteral("kwin"));
    m_shortcutAction.setProperty("componentDisplayName", QStringLiteral("KWin"));
    connect(&m_shortcutAction, &QAction::triggered, this, &LensService::ShortcutActivated);
    m_registered = bus.registerObject(objectPath, this,
                                      QDBusConnection::ExportScriptableSlots |
                                          QDBusConnection::ExportScriptableSignals |
                                          QDBusConnection::ExportAllProperties) &&
                   bus.registerService(serviceName);
    if (!m_registered) {
        qWarning("talvex_lens: cannot own %s on the session bus", qPrintable(serviceName));
    }
}

LensService::~LensService() {
    grabShortcut(QString());
    auto bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName);
    bus.unregisterObject(objectPath);
}

void LensService::setDrawing(bool drawing) {
    if (drawing == m_drawing) {
        return;
    }
    m_drawing = drawing;
    auto signal =
        QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << interfaceName << QVariantMap{{QStringLiteral("Drawing"), drawing}} << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void LensService::reportColour(const std::optional<QColor>& colour) {
    if (colour == m_colour) {
        return;
    }
    m_colour = colour;
    auto signal =
        QDBusMessage::createSignal(objectPath, interfaceName, QStringLiteral("ColourUnderPointer"));
    QDBusArgument rgb;
    rgb.beginStructure();
    const QColor c = colour.value_or(QColor(0, 0, 0));
    rgb << double(c.redF()) << double(c.greenF()) << double(c.blueF());
    rgb.endStructure();
    signal << colour.has_value() << QVariant::fromValue(rgb);
    QDBusConnection::sessionBus().send(signal);
}

// Only the owner writes; before Attach nobody does but the caller of Attach.
bool LensService::callerMayWrite(bool mustBeAttached) {
    if (!calledFromDBus()) {
        return true;
    }
    const QString caller = message().service();
    if (!m_owner.isEmpty() && caller != m_owner) {
        sendErrorReply(QStringLiteral("org.talvex.Lens1.Error.Busy"),
                       QStringLiteral("another program owns the lens"));
        return false;
    }
    if (mustBeAttached && !m_request.attached) {
        sendErrorReply(QStringLiteral("org.talvex.Lens1.Error.NotAttached"),
                       QStringLiteral("call Attach first"));
        return false;
    }
    return true;
}

void LensService::Attach(uint x11Window, const QRect& picture) {
    if (!callerMayWrite(false)) {
        return;
    }
    if (m_owner.isEmpty() && calledFromDBus()) {
        m_owner = message().service();
        m_ownerWatcher.setWatchedServices({m_owner});
    }
    m_request.attached = true;
    m_request.window = x11Window;
    m_request.picture = picture;
    Q_EMIT requestChanged();
}

void LensService::SetPicture(const QRect& picture) {
    if (!callerMayWrite(true)) {
        return;
    }
    m_request.picture = picture;
    Q_EMIT requestChanged();
}

void LensService::Configure(const QVariantMap& settings) {
    if (!callerMayWrite(true)) {
        return;
    }
    take(settings, "red-stripes", m_request.redStripes);
    take(settings, "green-stripes", m_request.greenStripes);
    take(settings, "strength", m_request.strength);
    m_request.strength = qBound(0.0, m_request.strength, 1.0);
    take(settings, "area", m_request.area);
    take(settings, "held", m_request.held);
    take(settings, "name-colours", m_request.nameColours);
    if (!m_request.nameColours) {
        m_colour.reset();  // named again from scratch when turned on again
    }
    take(settings, "shortcut", m_request.shortcut);
    take(settings, "scale", m_request.scale);
    if (!(m_request.scale > 0.0)) {
        m_request.scale = 1.0;
    }
    take(settings, "magnification", m_request.magnification);
    m_request.magnification = qBound(1u, m_request.magnification, 4u);
    if (const auto it = settings.constFind(QStringLiteral("find-colour"));
        it != settings.constEnd() && it->userType() == QMetaType::QString) {
        m_request.find = colourOf(it->toString());
    }
    take(settings, "find-range", m_request.findRange);
    if (!(m_request.findRange >= 0.0)) {
        m_request.findRange = LensRequest().findRange;
    }
    grabShortcut(m_request.shortcut);
    Q_EMIT requestChanged();
}

void LensService::Detach() {
    if (!callerMayWrite(false)) {
        return;
    }
    release();
}

// The lens goes and every setting returns to its default.
void LensService::release() {
    m_owner.clear();
    m_ownerWatcher.setWatchedServices({});
    m_request = LensRequest();
    m_colour.reset();
    grabShortcut(QString());
    Q_EMIT requestChanged();
}

// The show/hide key becomes KWin's global shortcut (not one read back from the user's
// shortcut settings); "" or a key KWin cannot take releases it.
void LensService::grabShortcut(const QString& accelerator) {
    if (accelerator == m_grabbed) {
        return;
    }
    if (!m_grabbed.isEmpty()) {
        KGlobalAccel::self()->removeAllShortcuts(&m_shortcutAction);
    }
    m_grabbed = accelerator;
    if (accelerator.isEmpty()) {
        return;
    }
    const QKeySequence key = keyOf(accelerator);
    if (key.isEmpty() ||
        !KGlobalAccel::self()->setShortcut(&m_shortcutAction, {key}, KGlobalAccel::NoAutoloading)) {
        qWarning("talvex_lens: the show/hide key %s cannot be grabbed", qPrintable(accelerator));
    }
}

}  // namespace talvex::kwin
