#pragma once

// The colour names in the panel's title: while the NameColours setting is on, the
// title bar shows the name and value of the colour under the pointer ("dark red ·
// #A51C24"), as captured beneath the panel (never the striped picture), and the
// panel's own title again while the pointer is off the picture or over an open menu. Around the
// pointer, the pointer is always over what the picture shows, so its colour is always named. The
// window's name (what the window manager and task lists show) stays as it is.
//
// The pointer is looked at every 0.05 s while the setting is on and the panel shows;
// the picture only when the pointer moved or a new picture came (reading it waits for
// a frame being drawn). Nothing runs while the setting is off. Main thread only.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Geometry.h"
#include "platform/Rgb.h"

namespace talvex {

class FilteredView;
class Timer;
class UserDefaults;
class Window;

class ColourNameTitle {
public:
    static constexpr double interval = 0.05;

    ColourNameTitle(Window& panel, FilteredView& view, UserDefaults& defaults);
    ~ColourNameTitle();
    ColourNameTitle(const ColourNameTitle&) = delete;
    ColourNameTitle& operator=(const ColourNameTitle&) = delete;

    // The last colour named ("dark red · #A51C24"), also after the pointer left the
    // picture; empty before the first.
    const QString& lastName() const { return lastName_; }
    // The colour of that name.
    std::optional<Rgb> lastColour() const { return lastColour_; }
    // One look at the pointer: the timer's action.
    void update();

    // The title for a colour, longest first: its name and value ("light yellowish green
    // · #C2FF89"), the name shortened by its leading words one at a time ("yellowish
    // green · #C2FF89", "green · #C2FF89"), and the value alone. The title bar shows the
    // first that fits, so the value stays in sight however narrow the panel.
    static std::vector<std::string> titleForms(std::string_view name, std::string_view value);

private:
    void followDefaults();
    void showTitle(const QString& title, const QStringList& shorterForms = {});
    void showColour(Rgb colour);

    QPointer<Window> panel_;
    QPointer<FilteredView> view_;
    UserDefaults& defaults_;
    std::unique_ptr<Timer> timer_;
    // What the last look at the picture saw: the pointer (root pixels), and which
    // picture of which renderer.
    struct Look {
        Point pointer;
        const void* renderer = nullptr;
        std::uint64_t frames = 0;
        bool overPopup = false;  // a menu covers the picture under the pointer
        friend bool operator==(const Look&, const Look&) = default;
    };
    std::optional<Look> looked_;
    std::optional<Rgb> named_;  // the colour whose name is in the title
    QString lastName_;
    std::optional<Rgb> lastColour_;
    // Receives the store's signal on the main thread; with it go the calls still queued.
    QObject storeReceiver_;
};

}  // namespace talvex
