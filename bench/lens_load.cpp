// The live lens's steady load at each refresh speed: captures, frames and pixels drawn
// per second, and the CPU share of this process and of the X server, for a static
// screen (pointer resting, or moving over the picture), a 100 x 100 window changing 20
// times a second under one corner, the whole area changing 20 times a second, and a
// panel covered by another window; at the fast speed also the whole area changing 100
// times a second, faster than the lens draws, with the pointer moving over the picture
// (a resting pointer lets the lens look for changes on every sixth tick only), which
// shows the most frames a second it keeps up with everything changing. Runs the real panel and view
// on the current X display. The scene beneath the panel (bands of colour over the whole screen, the
// changing window, the covering one) and the moving pointer each run in a process of
// their own (scene_window and pointer_mover, beside this program), so the lens's CPU
// share holds only the lens's work; the X server's share holds the scene's too, so the
// server's share for the scene alone, with no panel, is printed first.
//
//   lens_load [seconds per case, default 30] [panel width] [panel height]
//
// Prints a Markdown table. Not a test: numbers depend on the machine and its load.
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "app/FilteredView.h"
#include "app/Window.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "render/TalvexFilter.h"
#include "settings/Settings.h"

#include <X11/Xlib.h>

namespace {

using namespace talvex;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The X server's process, from the credentials of a local connection's peer; 0 when the
// server is not local.
pid_t serverProcess() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    ucred peer{};
    socklen_t size = sizeof peer;
    const bool known =
        getsockopt(ConnectionNumber(display), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
    XCloseDisplay(display);
    return known ? peer.pid : 0;
}

double processCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (pid == 0 || !std::getline(stat, line))
        return 0;
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15)
            ticks += std::atof(field.c_str());
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// A real event loop, so that the bench's own waiting costs no CPU.
void runEventLoopFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Ends a scene_window or pointer_mover process, if one runs.
void stop(QProcess& process) {
    process.kill();
    process.waitForFinished();
}

// Starts scene_window (beside this program) with `arguments` and waits until its window
// is on the screen; false, with a message, when it is not within 5 s (the process is
// ended then). Its error messages go to ours.
bool startSceneWindow(QProcess& process, const QStringList& arguments) {
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationDirPath() + "/scene_window", arguments);
    const QDeadlineTimer deadline(5000);
    QByteArray output;
    while (!output.contains("ready\n") && process.waitForReadyRead(deadline.remainingTime()))
        output += process.readAllStandardOutput();
    if (output.contains("ready\n"))
        return true;
    std::fprintf(stderr, "lens_load: scene_window %s did not show its window within 5 s\n",
                 qPrintable(arguments.join(' ')));
    stop(process);
    return false;
}

QStringList rectArguments(QRect area) {
    return {QString::number(area.x()), QString::number(area.y()), QString::number(area.width()),
            QString::number(area.height())};
}

void startMover(QProcess& mover, QPoint centre) {
    mover.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mover.start(QCoreApplication::applicationDirPath() + "/pointer_mover",
                {QString::number(centre.x()), QString::number(centre.y())});
    mover.waitForStarted();
}

enum class Scene {
    staticResting,
    staticMoving,
    cornerChanging,
    wholeChanging,
    covered,
    wholeEveryFrame
};

const char* sceneName(Scene scene) {
    switch (scene) {
        case Scene::staticResting:
            return "static, pointer resting";
        case Scene::staticMoving:
            return "static, pointer moving over it";
        case Scene::cornerChanging:
            return "100x100 changing 20/s";
        case Scene::wholeChanging:
            return "whole area changing 20/s";
        case Scene::wholeEveryFrame:
            return "whole area changing 100/s, pointer moving over it";
        default:
            return "panel covered";
    }
}

struct Result {
    double capturesPerSecond;
    double framesPerSecond;
    double megapixelsPerSecond;
    double cpuShare;
    double serverShare;
};

struct Bench {
    FilteredView& view;
    talvex::Window& panel;
    pid_t server;
};

// Starts the scene's changing or covering window and the pointer's moves; false when a
// window did not come.
bool startScene(Bench& b, Scene scene, QProcess& window, QProcess& mover, QPoint centre) {
    const QRect content(b.view.mapToGlobal(QPoint(0, 0)), b.view.size());
    const QString panelId = QString::number(b.panel.winId());
    if (scene == Scene::cornerChanging &&
        !startSceneWindow(
            window, QStringList{"patch"}
                        << rectArguments(QRect(content.topLeft() + QPoint(10, 10), QSize(100, 100)))
                        << panelId))
        return false;
    if (scene == Scene::wholeChanging &&
        !startSceneWindow(window, QStringList{"patch"} << rectArguments(content) << panelId))
        return false;
    if (scene == Scene::wholeEveryFrame &&
        !startSceneWindow(window, QStringList{"flicker"} << rectArguments(content) << panelId))
        return false;
    if (scene == Scene::covered &&
        !startSceneWindow(window, QStringList{"cover"} << rectArguments(
                                      b.panel.frameGeometry().adjusted(-20, -20, 20, 20))))
        return false;
    const bool moving = scene == Scene::staticMoving || scene == Scene::wholeEveryFrame;
    if (moving)
        startMover(mover, centre);
    QCursor::setPos(moving ? centre : content.bottomRight() + QPoint(200, 150));
    return true;
}

std::optional<Result> measure(Bench& b, RefreshSpeed speed, Scene scene, double seconds) {
    UserDefaults::standard().setIntegerForKey(static_cast<std::int64_t>(speed), keys::refreshSpeed);
    const QPoint centre = b.view.mapToGlobal(b.view.rect().center());
    QProcess window;
    QProcess mover;
    if (!startScene(b, scene, window, mover, centre))
        return std::nullopt;
    runEventLoopFor(1.0);  // settle

    const auto& history = b.view.captureHistory();
    const auto capturesBefore = history.captures.load();
    const auto framesBefore = b.view.renderer()->framesPresented();
    const auto pixelsBefore = b.view.renderer()->pixelsDrawn();
    const double cpuBefore = cpuSeconds();
    const double serverBefore = processCpuSeconds(b.server);
    QElapsedTimer clock;
    clock.start();
    runEventLoopFor(seconds);
    const double wall = clock.elapsed() / 1000.0;
    const double frames = double(b.view.renderer()->framesPresented() - framesBefore);
    const double pixels = double(b.view.renderer()->pixelsDrawn() - pixelsBefore);
    Result r{double(history.captures - capturesBefore) / wall, frames / wall, pixels / wall / 1e6,
             (cpuSeconds() - cpuBefore) / wall,
             (processCpuSeconds(b.server) - serverBefore) / wall};
    stop(mover);
    stop(window);
    return r;
}

// The X server's CPU share, over `seconds` after a second to settle, with the scene's
// bands on the screen and no panel: with the pointer moving around the middle of `area`,
// and with a patch over `area` changing 20 times a second. Negative values when the
// patch did not come.
std::pair<double, double> serverShareOfSceneAlone(pid_t server, QRect area, double seconds) {
    auto share = [&] {
        runEventLoopFor(1.0);  // settle
        const double before = processCpuSeconds(server);
        QElapsedTimer clock;
        clock.start();
        runEventLoopFor(seconds);
        return (processCpuSeconds(server) - before) / (clock.elapsed() / 1000.0);
    };
    QProcess mover;
    startMover(mover, area.center());
    const double moving = share();
    stop(mover);
    QProcess patch;
    if (!startSceneWindow(patch, QStringList{"patch"} << rectArguments(area)))
        return {-1, -1};
    const double changing = share();
    stop(patch);
    return {moving, changing};
}

const char* speedName(RefreshSpeed s) {
    switch (s) {
        case RefreshSpeed::slow:
            return "slow (0.1 s)";
        case RefreshSpeed::fast:
            return "fast (0.02 s)";
        default:
            return "normal (0.05 s)";
    }
}

// Private_Dirty of the whole process, in KiB.
double privateDirtyKb() {
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line)) {
        if (line.rfind("Private_Dirty:", 0) == 0)
            return std::stod(line.substr(14));
    }
    return 0;
}

// Measures every scene at every speed and prints the table; false when a window of the
// scene did not come.
bool printTable(Bench& bench, double seconds) {
    std::printf(
        "| refresh speed | beneath the panel | captures/s | frames/s | MP drawn/s | "
        "lens CPU | X server CPU | lens CPU per frame |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (RefreshSpeed speed : {RefreshSpeed::slow, RefreshSpeed::normal, RefreshSpeed::fast}) {
        for (Scene scene : {Scene::staticResting, Scene::staticMoving, Scene::cornerChanging,
                            Scene::wholeChanging, Scene::covered, Scene::wholeEveryFrame}) {
            if (scene == Scene::wholeEveryFrame && speed != RefreshSpeed::fast)
                continue;
            const std::optional<Result> r = measure(bench, speed, scene, seconds);
            if (!r)
                return false;
            char perFrame[32] = "–";
            if (r->framesPerSecond >= 1)
                std::snprintf(perFrame, sizeof perFrame, "%.1f ms",
                              r->cpuShare * 1000 / r->framesPerSecond);
            std::printf("| %s | %s | %.1f | %.1f | %.2f | %.1f %% | %.1f %% | %s |\n",
                        speedName(speed), sceneName(scene), r->capturesPerSecond,
                        r->framesPerSecond, r->megapixelsPerSecond, r->cpuShare * 100,
                        r->serverShare * 100, perFrame);
            std::fflush(stdout);
        }
    }
    return true;
}

// Everything after the bands are up: the scene alone, then the panel over each scene at
// each speed. 0 on success.
int run(double seconds, int panelWidth, int panelHeight) {
    const pid_t server = serverProcess();
    const QRect panelArea(QPoint(300, 200), QSize(panelWidth, panelHeight));
    const auto [moving, changing] = serverShareOfSceneAlone(server, panelArea, seconds);
    if (moving < 0)
        return 1;
    std::printf(
        "X server CPU for the scene alone (no panel): pointer moving %.1f %%, whole-area patch "
        "changing %.1f %%\n\n",
        moving * 100, changing * 100);
    std::fflush(stdout);

    auto panel = std::make_unique<talvex::Window>();
    auto* view = new FilteredView;
    panel->setContentWidget(view);
    panel->resize(panelWidth, panelHeight);
    panel->move(panelArea.topLeft());
    panel->show();
    panel->raise();
    runEventLoopFor(2.0);
    bool done = view->hasDrawable();
    if (!done) {
        std::fprintf(stderr, "lens_load: the view has no OpenGL drawable\n");
    } else {
        Bench bench{*view, *panel, server};
        done = printTable(bench, seconds);
    }
    if (done) {
        std::printf("\nPrivate dirty memory of this process with the lens open: %.1f MB\n",
                    privateDirtyKb() / 1024.0);
    }
    panel.reset();
    dispatch::waitForGlobalQueue();
    return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const int panelWidth = argc > 2 ? std::atoi(argv[2]) : 400;
    const int panelHeight = argc > 3 ? std::atoi(argv[3]) : 300;
    XInitThreads();
    QApplication app(argc, argv);
    TalvexFilter::registerDefaults();

    // The bands stay beneath everything for the whole run.
    QProcess bands;
    if (!startSceneWindow(bands, {"bands"}))
        return 1;
    const int status = run(seconds, panelWidth, panelHeight);
    stop(bands);
    return status;
}
