#include "talvex/ItemTable.h"

#include <QKeySequence>
#include <QString>
#include <algorithm>
#include <array>

namespace talvex {

namespace {

constexpr std::array table{
    // The Talvex menu.
    ItemRow{.action = MenuAction::orderFrontAboutBox,
            .title = "&About Talvex",
            .place = MenuPlace::application},
    ItemRow{.action = MenuAction::showPreferences,
            .title = "&Preferences…",
            .place = MenuPlace::application,
            .sectionStart = true,
            .shortcut = "Ctrl+,",
            .keyHelp = "open the preferences"},
    ItemRow{.action = MenuAction::toggleStartAtLogin,
            .title = "Start at &Login",
            .place = MenuPlace::application,
            .control = "startAtLoginChoice"},
    ItemRow{.action = MenuAction::terminate,
            .title = "&Quit Talvex",
            .place = MenuPlace::application,
            .sectionStart = true,
            .shortcut = "Ctrl+Q",
            .keyHelp = "quit"},
    // Stripes.
    ItemRow{.action = MenuAction::adoptRedStripeSetting,
            .tag = 1,
            .title = "Show Red Stripes",
            .place = MenuPlace::stripes,
            .popup = Popup::stripes,
            .popupTitle = "Show Red Stripes",
            .control = "showRedStripesChoice"},
    ItemRow{.action = MenuAction::adoptRedStripeSetting,
            .tag = 0,
            .title = "Hide Red Stripes",
            .place = MenuPlace::stripes,
            .popup = Popup::stripes,
            .popupTitle = "Hide Red Stripes",
            .control = "hideRedStripesChoice"},
    ItemRow{.action = MenuAction::adoptGreenStripeSetting,
            .tag = 1,
            .title = "Show Green Stripes",
            .place = MenuPlace::stripes,
            .sectionStart = true,
            .popup = Popup::stripes,
            .popupTitle = "Show Green Stripes",
            .control = "showGreenStripesChoice"},
    ItemRow{.action = MenuAction::adoptGreenStripeSetting,
            .tag = 0,
            .title = "Hide Green Stripes",
            .place = MenuPlace::stripes,
            .popup = Popup::stripes,
            .popupTitle = "Hide Green Stripes",
            .control = "hideGreenStripesChoice"},
    ItemRow{.action = MenuAction::adoptStripeStrengthSetting,
            .tag = 25,
            .title = "25 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 25 %",
            .control = "strength25Choice"},
    ItemRow{.action = MenuAction::adoptStripeStrengthSetting,
            .tag = 50,
            .title = "50 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 50 %",
            .control = "strength50Choice"},
    ItemRow{.action = MenuAction::adoptStripeStrengthSetting,
            .tag = 75,
            .title = "75 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 75 %",
            .control = "strength75Choice"},
    ItemRow{.action = MenuAction::adoptStripeStrengthSetting,
            .tag = 100,
            .title = "100 %",
            .place = MenuPlace::stripeStrength,
            .popup = Popup::stripes,
            .popupTitle = "Stripe Strength 100 %",
            .control = "strength100Choice"},
    // The toggles send the tag that flips the stored switch (see MainMenu).
    ItemRow{.action = MenuAction::adoptRedStripeSetting,
            .tag = 1,
            .title = "Toggle Red Stripes",
            .place = MenuPlace::stripeToggles,
            .sectionStart = true,
            .shortcut = "Ctrl+R",
            .keyHelp = "show or hide the red stripes"},
    ItemRow{.action = MenuAction::adoptGreenStripeSetting,
            .tag = 1,
            .title = "Toggle Green Stripes",
            .place = MenuPlace::stripeToggles,
            .shortcut = "Ctrl+G",
            .keyHelp = "show or hide the green stripes"},
    // Refresh Speed.
    ItemRow{.action = MenuAction::adoptSpeedSetting,
            .tag = -1,
            .title = "Slow",
            .place = MenuPlace::speed,
            .shortcut = "Ctrl+1",
            .keyHelp = "slow refresh (10 frames a second)",
            .popup = Popup::speed,
            .popupTitle = "Slow (10 Frames per Second)",
            .control = "slowSpeedChoice"},
    ItemRow{.action = MenuAction::adoptSpeedSetting,
            .tag = 0,
            .title = "Normal",
            .place = MenuPlace::speed,
            .shortcut = "Ctrl+2",
            .keyHelp = "normal refresh (20 frames a second)",
            .popup = Popup::speed,
            .popupTitle = "Normal (20 Frames per Second)",
            .control = "normalSpeedChoice"},
    ItemRow{.action = MenuAction::adoptSpeedSetting,
            .tag = 1,
            .title = "Fast",
            .place = MenuPlace::speed,
            .shortcut = "Ctrl+3",
            .keyHelp = "fast refresh (50 frames a second)",
            .popup = Popup::speed,
            .popupTitle = "Fast (50 Frames per Second)",
            .control = "fastSpeedChoice"},
    // View Area.
    ItemRow{.action = MenuAction::adoptViewAreaSetting,
            .tag = 0,
            .title = "Beneath the Panel",
            .place = MenuPlace::area,
            .shortcut = "Ctrl+B",
            .keyHelp = "filter the area beneath the panel",
            .popup = Popup::area,
            .popupTitle = "Filter the Area Under the Panel",
            .control = "underWindowChoice"},
    ItemRow{.action = MenuAction::adoptViewAreaSetting,
            .tag = 1,
            .title = "Around the Pointer",
            .place = MenuPlace::area,
            .shortcut = "Ctrl+M",
            .keyHelp = "filter an area of the panel's size around the mouse pointer",
            .popup = Popup::area,
            .popupTitle = "Filter the Area Around the Pointer",
            .control = "mousePointerChoice"},
    // Magnify, a submenu of View Area.
    ItemRow{.action = MenuAction::adoptMagnificationSetting,
            .tag = 1,
            .title = "1× (Actual Size)",
            .place = MenuPlace::magnify,
            .shortcut = "Ctrl+0",
            .keyHelp = "show the picture at its own size",
            .popup = Popup::area,
            .popupTitle = "Magnify 1× (Actual Size)",
            .control = "magnify1Choice"},
    ItemRow{.action = MenuAction::adoptMagnificationSetting,
            .tag = 2,
            .title = "2×",
            .place = MenuPlace::magnify,
            .popup = Popup::area,
            .popupTitle = "Magnify 2×",
            .control = "magnify2Choice"},
    ItemRow{.action = MenuAction::adoptMagnificationSetting,
            .tag = 3,
            .title = "3×",
            .place = MenuPlace::magnify,
            .popup = Popup::area,
            .popupTitle = "Magnify 3×",
            .control = "magnify3Choice"},
    ItemRow{.action = MenuAction::adoptMagnificationSetting,
            .tag = 4,
            .title = "4×",
            .place = MenuPlace::magnify,
            .popup = Popup::area,
            .popupTitle = "Magnify 4×",
            .control = "magnify4Choice"},
    ItemRow{.action = MenuAction::stepMagnification,
            .tag = 1,
            .title = "Magnify More",
            .place = MenuPlace::magnify,
            .sectionStart = true,
            .shortcut = "Ctrl++",
            .keyHelp = "magnify the picture more (up to 4 times)"},
    ItemRow{.action = MenuAction::stepMagnification,
            .tag = -1,
            .title = "Magnify Less",
            .place = MenuPlace::magnify,
            .shortcut = "Ctrl+-",
            .keyHelp = "magnify the picture less"},
    ItemRow{.action = MenuAction::toggleNameColours,
            .title = "&Name Colours",
            .place = MenuPlace::area,
            .sectionStart = true,
            .control = "nameColoursChoice"},
    ItemRow{.action = MenuAction::copyColourName,
            .title = "&Copy Colour Name",
            .place = MenuPlace::area,
            .shortcut = "Ctrl+C",
            .keyHelp = "copy the colour named last in the title (while Name Colours is on)"},
    ItemRow{.action = MenuAction::toggleHoldPicture,
            .title = "&Hold Picture",
            .place = MenuPlace::area,
            .sectionStart = true,
            .shortcut = "Ctrl+H",
            .keyHelp = "hold the picture (again: back to the live picture)",
            .popup = Popup::stripes,
            .popupTitle = "Hold Picture"},
    ItemRow{.action = MenuAction::toggleFindColour,
            .title = "&Find a Colour",
            .place = MenuPlace::area,
            .shortcut = "Ctrl+F",
            .keyHelp = "find a colour: click it in the picture (again, or Escape: stop)",
            .popup = Popup::stripes,
            .popupTitle = "Find a Colour"},
    ItemRow{.action = MenuAction::findNamedColour,
            .title = "Find &This Colour",
            .place = MenuPlace::area},
    // The preferences' range of Find a Colour.
    ItemRow{.action = MenuAction::adoptFindNearSetting, .tag = -1, .control = "findCloseChoice"},
    ItemRow{.action = MenuAction::adoptFindNearSetting, .tag = 0, .control = "findMediumChoice"},
    ItemRow{.action = MenuAction::adoptFindNearSetting, .tag = 1, .control = "findWideChoice"},
    // Help.
    ItemRow{
        .action = MenuAction::sendFeedback, .title = "Send Feedback…", .place = MenuPlace::help},
    ItemRow{.action = MenuAction::openWebsite, .title = "Talvex Website", .place = MenuPlace::help},
};

// A title exactly where there is a place, a pop-up title exactly where there is a
// pop-up, and every shortcut says what it does.
constexpr bool rowsAreWhole() {
    for (const ItemRow& row : table) {
        if (row.action == MenuAction::none ||
            (row.title == nullptr) != (row.place == MenuPlace::none) ||
            (row.popupTitle == nullptr) != (row.popup == Popup::none) ||
            (row.shortcut == nullptr) != (row.keyHelp == nullptr))
            return false;
    }
    return true;
}
static_assert(rowsAreWhole());

constexpr const char* openMenusHelp = "open the menus";
constexpr int keysColumnWidth = 10;

bool isShortcut(const char* shortcut, std::int64_t combined) {
    const QKeySequence keys(QString::fromLatin1(shortcut));
    return !keys.isEmpty() && keys[0].toCombined() == combined;
}

}  // namespace

std::span<const ItemRow> itemRows() {
    return table;
}

std::string commandUsingKey(std::int64_t combined) {
    if (isShortcut(openMenusShortcut, combined))
        return openMenusTitle;
    for (const ItemRow& row : table) {
        if (row.shortcut && isShortcut(row.shortcut, combined))
            return QString::fromUtf8(row.title).remove(QLatin1Char('&')).toStdString();
    }
    return {};
}

std::string shortcutHelpLine(const char* keys, const char* help) {
    std::string line = std::string("  ") + keys;
    line.resize(std::max(line.size(), std::size_t{2 + keysColumnWidth}), ' ');
    return line + "  " + help + "\n";
}

std::string shortcutHelp() {
    std::string text;
    for (const ItemRow& row : table) {
        if (row.shortcut)
            text += shortcutHelpLine(row.shortcut, row.keyHelp);
    }
    return text + shortcutHelpLine(openMenusShortcut, openMenusHelp);
}

}  // namespace talvex
