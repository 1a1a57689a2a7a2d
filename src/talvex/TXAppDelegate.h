#pragma once

// The application's delegate: prepares the settings store at launch and answers the
// actions that are not tied to the panel — the settings, feedback, website and start
// at login — as their rows say (see ActionTable).
#include <QString>

namespace talvex {

class TXAppDelegate {
public:
    // The "URLs" table's keys: the addresses themselves.
    static constexpr const char* feedbackAddress = "feedback@talvex.org";
    static constexpr const char* websiteAddress = "https://talvex.org/";

    // Registers the stripe defaults and tints the about box, before the panel exists.
    void applicationWillFinishLaunching();

    void sendFeedback();
    void openWebsite();
    // Adds the autostart entry when there is none and removes it when there is one.
    void toggleStartAtLogin();

    // The addresses as the "URLs" table gives them (a localisation may replace them).
    static QString feedbackURL();
    static QString websiteURL();
};

}  // namespace talvex
