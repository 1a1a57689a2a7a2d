#include "app/CompositorLens.h"

#include <QEvent>
#include <QLabel>

#include "app/FilteredView.h"
#include "app/LensConfiguration.h"
#include "app/Window.h"
#include "platform/LensBus.h"
#include "platform/SystemLog.h"

namespace talvex {

namespace {

constexpr int messageMargin = 8;

}  // namespace

CompositorLens::CompositorLens(Window& panel, FilteredView& view, Desktop desktop,
                               std::unique_ptr<LensBus> bus)
    : panel_(&panel), view_(&view), desktop_(desktop), bus_(std::move(bus)) {
    if (!bus_)
        bus_ = std::make_unique<LensBus>();
    connect(bus_.get(), &LensBus::presenceChanged, this, &CompositorLens::presenceChanged);
    connect(bus_.get(), &LensBus::shortcutActivated, this, &LensSource::shortcutActivated);
    connect(bus_.get(), &LensBus::colourUnderPointer, this,
            [this](std::optional<Rgb> colour) { colour_ = colour; });
    panel.installEventFilter(this);
    view.installEventFilter(this);
    connect(&view, &FilteredView::lensSettingsChanged, this, &CompositorLens::sendSettings);
    // Finding, or picking the colour to find (the compositor then names the colour under
    // the pointer, which the click picks).
    connect(&view, &FilteredView::foundColourChanged, this, &CompositorLens::sendSettings);
}

CompositorLens::~CompositorLens() {
    if (attached_)
        bus_->detach();
}

// Every text of a missing lens, by desktop. On GNOME the extension comes with the
// program's package; on Plasma the effect is a package of its own (talvex-kwin-lens,
// built for one KWin version), off until turned on.
CompositorLens::MissingLensText CompositorLens::missingLensText(Desktop desktop) {
    switch (desktop) {
        case Desktop::gnome:
            return {QStringLiteral(
                        "Talvex needs its GNOME Shell extension to see beneath the panel here.\n"
                        "Run:  gnome-extensions enable talvex-lens@talvex.org\n"
                        "then log out and in again (a newly installed extension is found at "
                        "the next login)."),
                    QStringLiteral("Wayland session: the lens needs the GNOME Shell extension "
                                   "talvex-lens@talvex.org (enable it, then log in again)")};
        case Desktop::plasma:
            return {
                QStringLiteral(
                    "Talvex needs its KWin effect to see beneath the panel here.\n"
                    "Install the package talvex-kwin-lens, then turn on \"Talvex Lens\" in "
                    "System Settings > Desktop Effects (Accessibility), or run:\n"
                    "gdbus call --session --dest org.kde.KWin --object-path /Effects "
                    "--method org.kde.kwin.Effects.loadEffect talvex_lens"),
                QStringLiteral("Wayland session (Plasma): no compositor draws the lens: install "
                               "talvex-kwin-lens, then turn on Talvex Lens in System Settings > "
                               "Desktop Effects (or, for this session: gdbus call --session --dest "
                               "org.kde.KWin --object-path /Effects --method "
                               "org.kde.kwin.Effects.loadEffect talvex_lens)")};
        case Desktop::other:
            break;
    }
    return {QStringLiteral("On this Wayland session Talvex sees only X11 windows beneath the "
                           "panel: the compositor must draw the lens, and none answers here."),
            QStringLiteral("Wayland session: no compositor draws the lens "
                           "(org.talvex.Lens on the session bus); only X11 windows show")};
}

PixelRect CompositorLens::picture() const {
    if (!panel_ || !view_)
        return {};
    const double s = view_->backingScaleFactor();
    const QPoint origin = view_->mapTo(panel_.data(), QPoint(0, 0));
    return {static_cast<int>(origin.x() * s), static_cast<int>(origin.y() * s),
            static_cast<int>(view_->width() * s), static_cast<int>(view_->height() * s)};
}

// The compositor came or went (and the first answer to whether it is there).
// 1. Present: the view (asking compositorDraws) stops capturing, the message goes, the
//    panel is attached.
// 2. Absent: the view captures what it can, the message shows; the log says it once.
void CompositorLens::presenceChanged(bool present) {
    drawing_ = present;
    attached_ = false;
    colour_.reset();
    showMessage(!present);
    if (!present && panel_)
        panel_->setSplit(false);  // the program's own capture needs the whole window
    if (present) {
        attachIfReady();
        return;
    }
    if (!missingLogged_) {
        missingLogged_ = true;
        systemLog(missingLensText(desktop_).log.toStdString());
    }
}

// Attached once the panel's X window exists; told again of every change after that.
void CompositorLens::attachIfReady() {
    if (!drawing_ || attached_ || !panel_ || !view_)
        return;
    const std::int64_t number = view_->windowNumber();
    if (number < 1 || number > 0xffffffffLL)
        return;
    // KWin gives a click to the Xwayland window whose surface lies under the pointer,
    // whatever its input shape: there no window of the panel may cover the picture.
    if (desktop_ == Desktop::plasma)
        panel_->setSplit(true);
    sentPicture_ = picture();
    bus_->attach(static_cast<XWindowId>(number), sentPicture_);
    attached_ = true;
    sendSettings();
}

void CompositorLens::sendPicture() {
    if (!attached_)
        return;
    const PixelRect now = picture();
    if (now.x == sentPicture_.x && now.y == sentPicture_.y && now.width == sentPicture_.width &&
        now.height == sentPicture_.height)
        return;
    sentPicture_ = now;
    bus_->setPicture(now);
}

void CompositorLens::sendSettings() {
    if (!attached_ || !view_)
        return;
    bus_->configure(lens::settingsFor(view_->lensSettings(), view_->scheduler().held(),
                                      view_->backingScaleFactor(), view_->foundColour(),
                                      view_->pickingColour()));
}

bool CompositorLens::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::WinIdChange:
            attachIfReady();
            break;
        case QEvent::Resize:
        case QEvent::Move:
            sendPicture();
            if (watched == view_)
                placeMessage();
            break;
        case QEvent::WindowTitleChange:  // the title says when the picture is held
            sendSettings();
            break;
        default:
            break;
    }
    return LensSource::eventFilter(watched, event);
}

// The message lies over the middle of the picture in a native window of its own, above
// the view's GL window; X11 windows beneath still show around it.
void CompositorLens::showMessage(bool shown) {
    if (!shown) {
        delete message_.data();
        return;
    }
    if (message_ || !view_)
        return;
    message_ = new QLabel(missingLensText(desktop_).message, view_);
    message_->setObjectName(QStringLiteral("lensMessage"));
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignCenter);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setStyleSheet(
        QStringLiteral("QLabel { background: #202020; color: white; padding: 6px; }"));
    message_->setAttribute(Qt::WA_NativeWindow);
    placeMessage();
    message_->show();
}

void CompositorLens::placeMessage() {
    if (!message_ || !view_)
        return;
    const int width = std::max(view_->width() - 2 * messageMargin, 1);
    const int height = std::min(message_->heightForWidth(width), view_->height());
    message_->setGeometry(messageMargin, (view_->height() - height) / 2, width, height);
}

}  // namespace talvex
