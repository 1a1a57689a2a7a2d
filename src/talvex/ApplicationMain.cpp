#include "talvex/ApplicationMain.h"

#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLocale>
#include <QPixmap>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/SystemLog.h"
#include "platform/TerminationSignals.h"
#include "platform/UserDefaults.h"
#include "platform/gl/GLXWindowContext.h"
#include "platform/x11/XDisplay.h"
#include "platform/x11/XErrorPolicy.h"
#include "talvex/FilterCommand.h"
#include "talvex/ItemTable.h"
#include "talvex/TXApplication.h"

namespace talvex {

namespace {

// A lens left open all day should hold no more memory than it uses. Two malloc arenas
// are plenty for the few threads that allocate (the main thread, the capture thread,
// the renderer's); each further arena keeps its own free pages. What the start-up
// freed (program builds, the toolkit's set-up) is handed back once it is over.
constexpr int startUpMemoryDelayMs = 5000;

void limitMallocArenas() {
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, 2);
#endif
}

void releaseStartUpMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// The application's icon at the size window managers and trays show, 128 pixels: the
// 512-pixel artwork kept as a pixmap would hold a megabyte for every icon made from it.
QIcon windowIcon() {
    const QImage artwork(QStringLiteral(":/AppIcon.png"));
    return QIcon(QPixmap::fromImage(
        artwork.scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

// Also the source of the manual page (help2man): "or:" continues the synopsis, the
// paragraphs under a heading ending in a colon become sections or subsections, and an
// item's text stays on its line, two spaces after it.
constexpr const char* usageStart =
    "Usage: talvex [--help] [--version]\n"
    "  or:  talvex filter INPUT OUTPUT [--scale S] [--red N] [--green N] [--strength P]\n"
    "                    [--find #RRGGBB [--near W]] [--overwrite]\n"
    "\n"
    "Talvex is a colour-vision aid for people who find red and green hard to tell\n"
    "apart. Without a command it opens the Talvex lens: a small floating panel that\n"
    "shows the screen beneath it, or an area around the mouse pointer, with diagonal\n"
    "stripes over reddish and, on the other diagonal, over greenish colours. Clicks\n"
    "over the picture pass through to the windows below. The button at the left of\n"
    "the panel's title bar, a right-click on the title bar, F10 and the tray icon\n"
    "open its menus. With Name Colours on (View Area menu or preferences) the title\n"
    "names the colour under the pointer. Talvex needs an X11 session.\n"
    "\n"
    "Commands:\n"
    "  filter      draw an image file of up to 40 megapixels through the stripe filter;\n"
    "              it will not replace INPUT without --overwrite (see talvex filter --help)\n"
    "\n"
    "Keyboard shortcuts:\n";
// Then the shortcuts of the items table and the panel's key.
constexpr const char* usageEnd =
    "\n"
    "Options:\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "Files:\n"
    "  ~/.config/Talvex/defaults.json                 the settings\n"
    "  ~/.config/autostart/org.talvex.Talvex.desktop  makes Talvex start at login\n"
    "Where XDG_CONFIG_HOME is set, it takes the place of ~/.config.\n";

std::string usage() {
    return usageStart + shortcutHelp() +
           shortcutHelpLine("Ctrl+Alt+L",
                            "show or hide the panel from any application (see the preferences)") +
           usageEnd;
}

// A translation of the "URLs" table for the user's language, when one ships.
void installTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(), QStringLiteral("URLs"), QStringLiteral("_"),
                         QStringLiteral(":/translations"))) {
        QApplication::installTranslator(translator);
    }
}

// The value of a toolkit option such as `-platform NAME` on the command line; none when
// it is absent.
const char* toolkitOption(int argc, char** argv, const char* option) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) {
            return argv[i + 1];
        }
    }
    return nullptr;
}

// The lens captures and draws through X11 calls of its own, so the toolkit must run on
// X11 too. Under Wayland that is the X11 compatibility server. A platform the user
// picked (-platform or QT_QPA_PLATFORM) stands, as long as it is X11. False after one
// line when it is not.
bool chooseX11Platform(int argc, char** argv) {
    const char* chosen = toolkitOption(argc, argv, "-platform");
    if (!chosen) {
        chosen = std::getenv("QT_QPA_PLATFORM");
    }
    if (chosen && *chosen) {
        // "xcb", "xcb:option=value"; a list ("a;b") tries its first entry first.
        if (std::strncmp(chosen, "xcb", 3) == 0 &&
            (chosen[3] == '\0' || chosen[3] == ':' || chosen[3] == ';')) {
            return true;
        }
        std::fprintf(stderr,
                     "talvex: the \"%s\" platform cannot show the lens: Talvex needs X11 (xcb)\n",
                     chosen);
        return false;
    }
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        systemLog("Running on X11 under Wayland: only X11 windows can be seen beneath the panel.");
    }
    return true;
}

// The display the lens runs on: -display, else $DISPLAY; "" when neither names one.
std::string displayName(int argc, char** argv) {
    const char* name = toolkitOption(argc, argv, "-display");
    if (!name) {
        name = std::getenv("DISPLAY");
    }
    return name ? name : "";
}

std::string lensDisplay;

void sayNoDisplay() {
    std::fprintf(stderr, "talvex: cannot open the X display \"%s\": Talvex needs an X11 session\n",
                 lensDisplay.c_str());
}

// The toolkit aborts, in several lines, when the display does not open; one line here
// before it starts instead.
// A connection to the lens's display, which the start-up's questions share; none (and
// the line that says so) when it cannot be opened.
std::shared_ptr<XDisplay> openLensDisplay() {
    auto display = lensDisplay.empty() ? nullptr : XDisplay::open(lensDisplay.c_str());
    if (!display)
        sayNoDisplay();
    return display;
}

// The toolkit's arguments, with the visual its windows get: one whose GL configuration
// has no depth or stencil buffer where the server has one (the lens's own drawable then
// costs the software renderer one full-size buffer less). A visual the user chose stays.
std::vector<char*> toolkitArguments(int argc, char** argv, XDisplay& display) {
    std::vector<char*> arguments(argv, argv + argc);
    static std::string visualOption = "-visual";
    static std::string visualId;
    if (!toolkitOption(argc, argv, "-visual")) {
        if (const unsigned long visual = GLXWindowContext::leanVisual(display)) {
            visualId = std::to_string(visual);
            arguments.push_back(visualOption.data());
            arguments.push_back(visualId.data());
        }
    }
    arguments.push_back(nullptr);
    return arguments;
}

// The toolkit ends the process in lines of its own when its X connection breaks, or
// when the server went between our look and its own; ours replace them, and the
// process ends before the exit handlers can talk to a dead server.
QtMessageHandler toolkitMessageHandler = nullptr;
void handleToolkitMessage(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (message.startsWith(QLatin1String("The X11 connection broke"))) {
        // That exit skips the settings store's destructor: its last save first.
        UserDefaults::standard().flush();
        XErrorPolicy::exitForLostServer();
    }
    if (message.startsWith(QLatin1String("could not connect to display"))) {
        sayNoDisplay();
        _exit(1);
    }
    // A server that is going away makes the toolkit's requests fail (a shared-memory
    // segment for a window's backing store, say): the farewell line says it once.
    if (context.category && std::strcmp(context.category, "qt.qpa.xcb") == 0 &&
        toolkitServerHungUp()) {
        return;
    }
    if (toolkitMessageHandler) {
        toolkitMessageHandler(type, context, message);
    }
}

int runLens(int argc, char** argv) {
    if (!chooseX11Platform(argc, argv)) {
        return 1;
    }
    // Capture and drawing talk to the X server from worker threads.
    prepareThreads();
    lensDisplay = displayName(argc, argv);
    auto probe = openLensDisplay();
    if (!probe) {
        return 1;
    }
    toolkitMessageHandler = qInstallMessageHandler(&handleToolkitMessage);
    limitMallocArenas();
    std::vector<char*> arguments = toolkitArguments(argc, argv, *probe);
    probe.reset();
    int argumentCount = static_cast<int>(arguments.size()) - 1;
    QApplication app(argumentCount, arguments.data());
    dispatch::prepareMainQueue();
    QApplication::setApplicationName(QStringLiteral("Talvex"));
    QApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.talvex.Talvex"));
    QApplication::setWindowIcon(windowIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    XErrorPolicy::install();
    installTranslations(app);

    TXApplication talvex;
    if (!talvex.claimSingleInstance())
        return 0;
    talvex.finishLaunching();
    QTimer::singleShot(startUpMemoryDelayMs, &releaseStartUpMemory);
    // A session ending (SIGTERM, SIGHUP) or Ctrl+C quits the normal way, saving first.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app, &QApplication::quit);
    const int status = QApplication::exec();
    // The last changes are on the disk before anything else goes away.
    UserDefaults::standard().flush();
    // The captures end before the panel, the toolkit and the statics they use go.
    if (!dispatch::shutDownGlobalQueue(std::chrono::seconds(2)))
        systemLog(
            "A screen capture was still running at quit; it is left to end with the process.");
    return status;
}

}  // namespace

int applicationMain(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "filter") {
        return runFilterCommand(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage().c_str(), stdout);
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
