#pragma once

// Opens addresses with the desktop's handlers: a mail address in the user's mail
// program, a web page in the browser. Only "mailto" and "https" addresses are opened;
// anything else is refused, so a tampered string table cannot launch arbitrary
// programs through a file or custom scheme.
#include <QUrl>
#include <functional>

namespace talvex {

class Workspace {
public:
    using Opener = std::function<bool(const QUrl&)>;

    // Opens `url` when its scheme is allowed; returns whether it was handed over.
    static bool openURL(const QUrl& url);
    static bool isAllowed(const QUrl& url);

    // Replaces the desktop's handler (tests); an empty opener restores it.
    static void setOpener(Opener opener);
};

}  // namespace talvex
