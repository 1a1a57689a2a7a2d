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

// A mail address needs an addressee and a web page a host; an address without one
// would start the mail program or the browser with nothing to show.
bool Workspace::isAllowed(const QUrl& url) {
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return !url.path().trimmed().isEmpty();
    if (scheme == QLatin1String("https"))
        return !url.host().isEmpty();
    return false;
}

bool Workspace::openURL(const QUrl& url) {
    if (!isAllowed(url)) {
        systemLog("Refusing to open " + url.toDisplayString().toStdString() + ".");
        return false;
    }
    if (opener())
        return opener()(url);
    return QDesktopServices::openUrl(url);
}

void Workspace::setOpener(Opener replacement) {
    opener() = std::move(replacement);
}

}  // namespace talvex
