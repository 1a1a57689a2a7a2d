#pragma once

#include <QAction>
#include <QColor>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QRect>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace talvex::kwin {

// What the program asked the lens to be (org.talvex.Lens1): the one writer is the
// owner, the first caller of Attach, until it detaches or leaves the bus.
struct LensRequest {
    bool attached = false;
    quint32 window = 0;  // the panel's X11 window
    QRect picture;       // in the panel's client area
    bool redStripes = true;
    bool greenStripes = true;
    double strength = 1.0;
    QString area = QStringLiteral("beneath");
    bool held = false;
    bool nameColours = false;
    QString shortcut;
    double scale = 1.0;
    quint32 magnification = 1;   // 1..4: the middle 1/m of the area shown m times
    std::optional<QColor> find;  // Find a Colour: the colour found; none: off
    double findRange = 16.0;     // how near counts, as a CIELAB distance
};

// org.talvex.Lens1 on the session bus (/org/talvex/Lens, name org.talvex.Lens).
class LensService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.talvex.Lens1")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(bool Drawing READ drawing)

public:
    explicit LensService(QObject* parent = nullptr);
    ~LensService() override;

    bool registered() const { return m_registered; }
    const LensRequest& request() const { return m_request; }
    uint version() const { return 1; }
    bool drawing() const { return m_drawing; }
    void setDrawing(bool drawing);
    // ColourUnderPointer, sent when the colour (or its being known) changes.
    void reportColour(const std::optional<QColor>& colour);

public Q_SLOTS:
    Q_SCRIPTABLE void Attach(uint x11Window, const QRect& picture);
    Q_SCRIPTABLE void SetPicture(const QRect& picture);
    Q_SCRIPTABLE void Configure(const QVariantMap& settings);
    Q_SCRIPTABLE void Detach();

Q_SIGNALS:
    Q_SCRIPTABLE void ShortcutActivated();
    void requestChanged();

private:
    bool callerMayWrite(bool mustBeAttached);
    void grabShortcut(const QString& accelerator);
    void release();

    LensRequest m_request;
    QString m_owner;
    QDBusServiceWatcher m_ownerWatcher;
    std::optional<QColor> m_colour;
    QAction m_shortcutAction;  // the show/hide key, KWin's global shortcut while grabbed
    QString m_grabbed;         // the accelerator grabbed, "" for none
    bool m_drawing = false;
    bool m_registered = false;
};

}  // namespace talvex::kwin
