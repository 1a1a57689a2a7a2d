#include "talvex/TXAppDelegate.h"

#include <QColor>
#include <QCoreApplication>
#include <QUrl>

#include "about/KPAboutBox.h"
#include "platform/AutostartEntry.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "render/TalvexFilter.h"
#include "talvex/Commands.h"
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

bool TXAppDelegate::validateMenuItem(MenuItem& item) {
    return validateCommand(item, Responder::appDelegate, {UserDefaults::standard()});
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
    return appDelegateRespondsTo(action);
}

bool TXAppDelegate::perform(const MenuItem& sender) {
    const Command* row = commandFor(sender.action());
    if (!row || !row->onDelegate)
        return false;
    row->onDelegate(*this, sender);
    return true;
}

}  // namespace talvex
