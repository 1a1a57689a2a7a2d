#include "platform/Workspace.h"

#include <QDesktopServices>

#include "platform/SystemLog.h"

namespace talvex {

namespace {
Workspace::Opener& opener() {
    static Workspace::Opener current;
    return current;
}
}  // namespace

bool Workspace::isAllowed(const QUrl& url) {
    if (!url.isValid()) return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("mailto") || scheme == QLatin1String("https");
}

bool Workspace::openURL(const QUrl& url) {
    if (!isAllowed(url)) {
        systemLog("Refusing to open " + url.toDisplayString().toStdString() + ".");
        return false;
    }
    if (opener()) return opener()(url);
    return QDesktopServices::openUrl(url);
}

void Workspace::setOpener(Opener replacement) { opener() = std::move(replacement); }

}  // namespace talvex
