#include "talvex/TXAppDelegate.h"

#include <QColor>
#include <QCoreApplication>
#include <QUrl>

#include "about/KPAboutBox.h"
#include "platform/AutostartEntry.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "render/TalvexFilter.h"
#include "talvex/SettingsActions.h"

namespace talvex {

void TXAppDelegate::applicationWillFinishLaunching() {
    TalvexFilter::registerDefaults();
    KPAboutBoxSetBackgroundColor(QColor::fromRgbF(0.85f, 0.90f, 0.90f, 1.0f));
}

void TXAppDelegate::adoptSpeedSetting(const MenuItem& sender) {
    talvex::adoptSpeedSetting(sender);
}

void TXAppDelegate::adoptViewAreaSetting(const MenuItem& sender) {
    talvex::adoptViewAreaSetting(sender);
}

// The start-at-login item is checked while the autostart entry exists.
bool TXAppDelegate::validateMenuItem(MenuItem& item) {
    if (item.action() == MenuAction::toggleStartAtLogin) {
        item.setState(AutostartEntry().isInstalled() ? ControlState::on : ControlState::off);
        return true;
    }
    return validateAppDelegateMenuItem(item);
}

QString TXAppDelegate::feedbackURL() {
    return QStringLiteral("mailto:") +
           QCoreApplication::translate("URLs", feedbackAddress, "Talvex feedback email");
}

QString TXAppDelegate::websiteURL() {
    return QCoreApplication::translate("URLs", websiteAddress, "Talvex website URL");
}

void TXAppDelegate::sendFeedback() {
    Workspace::openURL(QUrl(feedbackURL()));
}

void TXAppDelegate::openWebsite() {
    Workspace::openURL(QUrl(websiteURL()));
}

void TXAppDelegate::toggleStartAtLogin() {
    const AutostartEntry entry;
    std::string error;
    const bool done = entry.isInstalled() ? entry.remove(&error) : entry.install(&error);
    if (!done)
        systemLog("Start at Login: " + error);
}

bool TXAppDelegate::respondsTo(MenuAction action) const {
    return action == MenuAction::toggleStartAtLogin || appDelegateRespondsTo(action);
}

bool TXAppDelegate::perform(const MenuItem& sender) {
    switch (sender.action()) {
        case MenuAction::adoptSpeedSetting:
            adoptSpeedSetting(sender);
            return true;
        case MenuAction::adoptViewAreaSetting:
            adoptViewAreaSetting(sender);
            return true;
        case MenuAction::sendFeedback:
            sendFeedback();
            return true;
        case MenuAction::openWebsite:
            openWebsite();
            return true;
        case MenuAction::toggleStartAtLogin:
            toggleStartAtLogin();
            return true;
        case MenuAction::adoptPanelShortcutSetting:
            talvex::adoptPanelShortcutSetting(sender);
            return true;
        case MenuAction::toggleNameColours:
            talvex::toggleNameColours();
            return true;
        case MenuAction::adoptStripeStrengthSetting:
            talvex::adoptStripeStrengthSetting(sender);
            return true;
        default:
            return false;
    }
}

}  // namespace talvex
