#pragma once

// The program's end of org.talvex.Lens1 (docs/LENS-DBUS.md): the interface through which
// a compositor's extension draws the lens of the panel on a Wayland session, where the
// program, an X11 client of Xwayland, cannot see beneath itself.
//
// The program is the one writer: it tells the compositor which X11 window is its panel,
// where the picture lies in that window (pixels of its client area) and the settings the
// lens follows; the compositor reports the show/hide key and whether it draws. Calls are
// asynchronous; a refused one is logged in one line.
//
// Threading: main thread (the session bus connection's signals arrive there).
#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <optional>

#include "platform/Geometry.h"
#include "platform/Rgb.h"
#include "platform/x11/XWindowId.h"

class QDBusServiceWatcher;

namespace talvex {

class LensBus : public QObject {
    Q_OBJECT

public:
    static constexpr const char* serviceName = "org.talvex.Lens";
    static constexpr const char* objectPath = "/org/talvex/Lens";
    static constexpr const char* interfaceName = "org.talvex.Lens1";
    // The interface version this program speaks; a service of an older one is not used.
    static constexpr unsigned version = 1;

    // `connection`: the session bus by default.
    explicit LensBus(QDBusConnection connection = QDBusConnection::sessionBus(),
                     QObject* parent = nullptr);
    ~LensBus() override;

    // Whether a compositor answers on the bus, with a version this program speaks.
    bool present() const { return present_; }

    void attach(XWindowId panel, const PixelRect& picture);
    void setPicture(const PixelRect& picture);
    void configure(const QVariantMap& settings);
    void detach();

signals:
    void presenceChanged(bool present);
    void shortcutActivated();
    // Name Colours: the colour beneath the pointer, before the stripes; none while the
    // pointer is outside the shown area.
    void colourUnderPointer(std::optional<talvex::Rgb> colour);

private slots:
    void onShortcutActivated();
    void onColourUnderPointer(const QDBusMessage& message);

private:
    QDBusConnection connection_;
    QDBusServiceWatcher* watcher_ = nullptr;
    bool present_ = false;

    void probe();
    void setPresent(bool present);
    void call(const char* method, const QVariantList& arguments);
};

}  // namespace talvex
