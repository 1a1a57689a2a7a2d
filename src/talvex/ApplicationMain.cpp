#include "talvex/ApplicationMain.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/x11/XErrorPolicy.h"
#include "talvex/FilterCommand.h"
#include "talvex/TXApplication.h"

// Xlib last: its macros collide with Qt names.
#include <X11/Xlib.h>

namespace talvex {

namespace {

constexpr const char* usage =
    "Usage: talvex [--help] [--version]\n"
    "       talvex filter INPUT OUTPUT [--scale S] [--red N] [--green N]\n"
    "\n"
    "Without a command, opens the Talvex lens: a floating panel that shows the screen\n"
    "beneath it with diagonal stripes over reddish and, on the other diagonal, over\n"
    "greenish colours. Clicks over the picture pass through to the windows below.\n"
    "\n"
    "Commands:\n"
    "  filter      draw an image file through the stripe filter (see talvex filter --help)\n"
    "\n"
    "Options:\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

// A translation of the "URLs" table for the user's language, when one ships.
void installTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(), QStringLiteral("URLs"), QStringLiteral("_"),
                         QStringLiteral(":/translations"))) {
        QApplication::installTranslator(translator);
    }
}

int runLens(int argc, char** argv) {
    // Capture and drawing talk to the X server from worker threads.
    XInitThreads();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvex"));
    QApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.talvex.Talvex"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/AppIcon.png")));
    QApplication::setQuitOnLastWindowClosed(false);
    XErrorPolicy::install();
    installTranslations(app);

    TXApplication talvex;
    if (!talvex.claimSingleInstance())
        return 0;
    talvex.finishLaunching();
    return QApplication::exec();
}

}  // namespace

int applicationMain(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "filter") {
        return runFilterCommand(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("talvex %s\n", TALVEX_VERSION);
            return 0;
        }
        // Qt's own options (-platform, -display, ...) pass through; others are errors.
        if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "talvex: unknown option %s (see talvex --help)\n", arg.c_str());
            return 2;
        }
    }
    return runLens(argc, argv);
}

}  // namespace talvex
