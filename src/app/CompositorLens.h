#pragma once

// The lens drawn by the compositor (a Wayland session): while the compositor answers
// on org.talvex.Lens1 the view captures nothing, and the compositor is told which X11
// window is the panel, where the picture lies in it and the settings it draws with
// (again after every change of the store, the picture's size or the hold). While no
// compositor answers, the view captures what it can (X11 windows) and a short message
// over the picture says what to do; one log line says the same.
//
// Threading: main thread.
#include <QLabel>
#include <QPointer>
#include <memory>
#include <optional>

#include "app/LensSource.h"
#include "platform/Geometry.h"
#include "platform/Rgb.h"

namespace talvex {

class LensBus;

class CompositorLens : public LensSource {
    Q_OBJECT

public:
    // `bus`: the interface's client (the session bus's by default).
    CompositorLens(Window& panel, FilteredView& view, Desktop desktop,
                   std::unique_ptr<LensBus> bus = nullptr);
    ~CompositorLens() override;

    bool compositorDraws() const override { return drawing_; }
    std::optional<Rgb> colourUnderPointer() const override { return colour_; }
    // The message shown while no compositor answers; null while none is shown.
    const QLabel* message() const { return message_; }
    // What the user is told on this desktop while no compositor draws the lens: the
    // message over the picture, and the one log line.
    struct MissingLensText {
        QString message;
        QString log;
    };
    static MissingLensText missingLensText(Desktop desktop);
    // The picture in the panel's client area, in its pixels.
    PixelRect picture() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<Window> panel_;
    QPointer<FilteredView> view_;
    Desktop desktop_ = Desktop::other;
    std::unique_ptr<LensBus> bus_;
    QPointer<QLabel> message_;
    bool drawing_ = false;
    bool attached_ = false;
    bool missingLogged_ = false;
    PixelRect sentPicture_;
    std::optional<Rgb> colour_;  // under the pointer, as the compositor last said

    void presenceChanged(bool present);
    void attachIfReady();
    void sendPicture();
    void sendSettings();
    void showMessage(bool shown);
    void placeMessage();
};

}  // namespace talvex
