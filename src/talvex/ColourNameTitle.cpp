#include "talvex/ColourNameTitle.h"

#include "app/FilteredView.h"
#include "app/TitleBar.h"
#include "app/Window.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/Timer.h"
#include "platform/UserDefaults.h"
#include "platform/x11/WindowServer.h"
#include "render/ColourNamer.h"
#include "render/PixelBufferRenderer.h"
#include "settings/Settings.h"

namespace talvex {

ColourNameTitle::ColourNameTitle(Window& panel, FilteredView& view, UserDefaults& defaults)
    : panel_(&panel), view_(&view), defaults_(defaults) {
    followDefaults();
    // The store notifies on the writing thread; timers belong to the main thread.
    NotificationCenter::defaultCenter().addObserver(
        this, UserDefaults::didChangeNotification, &defaults_, [this](const Notification&) {
            dispatch::mainAsync([this, alive = std::weak_ptr<const bool>(alive_)] {
                if (alive.lock())
                    followDefaults();
            });
        });
}

ColourNameTitle::~ColourNameTitle() {
    NotificationCenter::defaultCenter().removeObserver(this);
}

void ColourNameTitle::followDefaults() {
    const bool on = nameColoursEnabled(defaults_);
    if (on == (timer_ != nullptr))
        return;
    if (on) {
        timer_ = Timer::scheduledTimer(interval, true, [this] { update(); });
        return;
    }
    timer_->invalidate();
    timer_.reset();
    named_.reset();
    looked_.reset();
    if (panel_)
        showTitle(panel_->windowTitle());
}

void ColourNameTitle::update() {
    if (!panel_ || !view_ || !panel_->isVisible())
        return;
    const auto renderer = view_->renderer();
    const Look look{WindowServer::shared().pointerLocation(), renderer.get(),
                    renderer->framesPresented()};
    // The compositor's colour (a Wayland session) comes with no new look.
    if (look == looked_ && !view_->hasColourSource())
        return;
    looked_ = look;
    const std::optional<Rgb> colour = view_->capturedColourUnderPointer();
    if (colour == named_)
        return;
    named_ = colour;
    if (!colour) {
        showTitle(panel_->windowTitle());
        return;
    }
    lastName_ = QString::fromStdString(ColourNamer::standard().describe(*colour));
    showTitle(lastName_);
}

void ColourNameTitle::showTitle(const QString& title) {
    if (panel_->titleBar()->title() != title)
        panel_->titleBar()->setTitle(title);
}

}  // namespace talvex
