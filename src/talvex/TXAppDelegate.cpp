#include "talvex/TXAppDelegate.h"

#include <QColor>
#include <QCoreApplication>
#include <QUrl>

#include "about/KPAboutBox.h"
#include "platform/AutostartEntry.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "render/TalvexFilter.h"

namespace talvex {

void TXAppDelegate::applicationWillFinishLaunching() {
    TalvexFilter::registerDefaults();
    KPAboutBoxSetBackgroundColor(QColor::fromRgbF(0.85f, 0.90f, 0.90f, 1.0f));
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

}  // namespace talvex
