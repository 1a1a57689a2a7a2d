#pragma once

// The application's delegate: prepares the settings store at launch and answers the
// menu commands that are not tied to the panel — the settings, feedback, website and
// start at login — as the command table's rows say (see Commands).
#include <QString>

#include "app/MenuItem.h"

namespace talvex {

class TXAppDelegate {
public:
    // The "URLs" table's keys: the addresses themselves.
    static constexpr const char* feedbackAddress = "feedback@talvex.org";
    static constexpr const char* websiteAddress = "https://talvex.org/";

    // Registers the stripe defaults and tints the about box, before the panel exists.
    void applicationWillFinishLaunching();

    void adoptSpeedSetting(const MenuItem& sender);
    void adoptViewAreaSetting(const MenuItem& sender);
    bool validateMenuItem(MenuItem& item);
    void sendFeedback();
    void openWebsite();
    // Adds the autostart entry when there is none and removes it when there is one.
    void toggleStartAtLogin();

    // By the action's row: whether the delegate answers it; performing it calls the row's
    // named action (false when the delegate does not answer it).
    bool respondsTo(MenuAction action) const;
    bool perform(const MenuItem& sender);

    // The addresses as the "URLs" table gives them (a localisation may replace them).
    static QString feedbackURL();
    static QString websiteURL();
};

}  // namespace talvex
