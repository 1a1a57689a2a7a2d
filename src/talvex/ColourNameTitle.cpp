#include "talvex/ColourNameTitle.h"

#include <QApplication>
#include <QWidget>

#include "app/FilteredView.h"
#include "app/TitleBar.h"
#include "app/Window.h"
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
    // Queued, also from the main thread: the timer is started or stopped after the
    // write, on the main thread, whichever thread wrote.
    QObject::connect(
        &defaults_, &UserDefaults::valueChanged, &storeReceiver_, [this] { followDefaults(); },
        Qt::QueuedConnection);
}

ColourNameTitle::~ColourNameTitle() = default;

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

namespace {

// Whether the pointer (root pixels) is over one of Talvex's open pop-ups (the menus),
// which lie above the picture and hide it there.
bool isOverPopup(Point pointer) {
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || window->windowType() != Qt::Popup)
            continue;
        const QPointF at = QPointF(pointer.x, pointer.y) / window->devicePixelRatioF();
        if (window->frameGeometry().contains(at.toPoint()))
            return true;
    }
    return false;
}

}  // namespace

void ColourNameTitle::update() {
    if (!panel_ || !view_ || !panel_->isVisible())
        return;
    const auto renderer = view_->renderer();
    const Point pointer = WindowServer::shared().pointerLocation();
    const Look look{pointer, renderer.get(), renderer->framesPresented(), isOverPopup(pointer)};
    // The compositor's colour (a Wayland session) comes with no new look.
    if (look == looked_ && !view_->hasColourSource())
        return;
    looked_ = look;
    const std::optional<Rgb> colour =
        look.overPopup ? std::nullopt : view_->capturedColourUnderPointer();
    if (colour == named_)
        return;
    named_ = colour;
    if (!colour) {
        showTitle(panel_->windowTitle());
        return;
    }
    showColour(*colour);
}

void ColourNameTitle::showColour(Rgb colour) {
    lastName_ = QString::fromStdString(ColourNamer::standard().describe(colour));
    lastColour_ = colour;
    QStringList forms;
    for (const std::string& form :
         titleForms(ColourNamer::standard().nameOf(colour), hexString(colour))) {
        forms.append(QString::fromStdString(form));
    }
    forms.removeFirst();  // the name and value in full: lastName_
    showTitle(lastName_, forms);
}

void ColourNameTitle::showTitle(const QString& title, const QStringList& shorterForms) {
    if (panel_->titleBar()->title() != title)
        panel_->titleBar()->setTitle(title, shorterForms);
}

std::vector<std::string> ColourNameTitle::titleForms(std::string_view name,
                                                     std::string_view value) {
    std::vector<std::string> forms;
    const std::string_view separator = " \u00b7 ";
    while (!name.empty()) {
        forms.push_back(std::string(name).append(separator).append(value));
        const std::size_t space = name.find(' ');
        name = space == std::string_view::npos ? std::string_view() : name.substr(space + 1);
    }
    forms.emplace_back(value);
    return forms;
}

}  // namespace talvex
