#pragma once

// Where the panel's picture comes from. On X11 the view captures what lies beneath the
// panel (its CaptureSource, X11Capture) and draws it itself (SelfCapturedLens). On a
// Wayland session the program, an X11 client of Xwayland, can see only X11 windows
// beneath itself: there the compositor draws the lens over the panel through
// org.talvex.Lens1 (CompositorLens), and without a compositor that answers the panel
// says what to do. The view asks its source on every tick (FilteredView::setLensSource).
#include <QObject>
#include <QProcessEnvironment>
#include <memory>
#include <optional>

#include "platform/Rgb.h"

namespace talvex {

class FilteredView;
class Window;

class LensSource : public QObject {
    Q_OBJECT

public:
    ~LensSource() override = default;

    // The source for this session, given to the view: the compositor's on a Wayland
    // session, else the view's own captures.
    static std::unique_ptr<LensSource> forSession(Window& panel, FilteredView& view);

    // A Wayland session (the program runs on its Xwayland): WAYLAND_DISPLAY is set or
    // XDG_SESSION_TYPE says so.
    static bool isWaylandSession(const QProcessEnvironment& environment);
    // The session's desktop, by XDG_CURRENT_DESKTOP (a list, e.g. "ubuntu:GNOME"):
    // it decides what the user is told to install when no compositor draws the lens.
    enum class Desktop { gnome, plasma, other };
    static Desktop desktopOf(const QProcessEnvironment& environment);

    // True while the compositor draws the picture (the view captures nothing).
    virtual bool compositorDraws() const = 0;
    // While the compositor draws: the colour under the pointer, as it reports it.
    virtual std::optional<Rgb> colourUnderPointer() const { return std::nullopt; }

signals:
    // The compositor saw the show/hide key (also while a Wayland window has the
    // keyboard, which the X11 key grab never sees).
    void shortcutActivated();
};

}  // namespace talvex
