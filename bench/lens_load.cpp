// The live lens's steady load at each refresh speed: captures, frames and pixels drawn
// per second, and the CPU share of this process and of the X server, for a static
// screen (pointer resting, or moving over the picture), a 100 x 100 window changing 20
// times a second under one corner, the whole area changing 20 times a second, and a
// panel covered by another window. Runs the real panel and view on the current X
// display:
//
//   lens_load [seconds per case, default 30] [panel width] [panel height]
//
// Prints a Markdown table. Not a test: numbers depend on the machine and its load.
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/FilteredView.h"
#include "app/Window.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "render/TalvexFilter.h"
#include "settings/Settings.h"

#include <X11/Xlib.h>

namespace {

using namespace talvex;

// A full-screen picture of coloured bands that never changes.
class StaticScene : public QWidget {
public:
    StaticScene() { setWindowFlag(Qt::FramelessWindowHint); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QColor colours[] = {QColor(220, 30, 30), QColor(30, 170, 40), QColor(250, 130, 0),
                                  QColor(0, 130, 130), QColor(200, 200, 200)};
        const int band = width() / 5;
        for (int i = 0; i < 5; ++i)
            p.fillRect(i * band, 0, band + 1, height(), colours[i]);
    }
};

// A window of one colour that takes a new colour 20 times a second while on (never the
// same one twice in a row, so every capture of it differs from the last).
class ChangingPatch : public QWidget {
public:
    ChangingPatch() {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            ++step_;
            update();
        });
    }
    void run(QRect area) {
        setGeometry(area);
        show();
        timer_.start(50);
    }
    void stop() {
        timer_.stop();
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), QColor::fromHsv(step_ * 7 % 360, 200, 220));
    }

private:
    QTimer timer_;
    int step_ = 0;
};

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

// Puts `window` right below `sibling` on the server (no window manager needed).
void stackBelow(QWidget& window, QWidget& sibling) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XWindowChanges changes{};
    changes.sibling = sibling.winId();
    changes.stack_mode = Below;
    XConfigureWindow(display, window.winId(), CWSibling | CWStackMode, &changes);
    XCloseDisplay(display);
}

enum class Scene { staticResting, staticMoving, cornerChanging, wholeChanging, covered };

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
    ChangingPatch& patch;
    QWidget& cover;
    pid_t server;
};

void startScene(Bench& b, Scene scene, QProcess& mover, QPoint centre) {
    const QRect content(b.view.mapToGlobal(QPoint(0, 0)), b.view.size());
    if (scene == Scene::cornerChanging)
        b.patch.run(QRect(content.topLeft() + QPoint(10, 10), QSize(100, 100)));
    if (scene == Scene::wholeChanging)
        b.patch.run(content);
    if (scene == Scene::covered) {
        b.cover.setGeometry(b.panel.frameGeometry().adjusted(-20, -20, 20, 20));
        b.cover.show();
        b.cover.raise();
    } else if (b.patch.isVisible()) {
        runEventLoopFor(0.3);  // the toolkit maps it first
        stackBelow(b.patch, b.panel);
    }
    // The pointer moves from another process (pointer_mover, beside this program), so
    // the lens's CPU share holds none of the moving.
    if (scene == Scene::staticMoving) {
        const QString program = QCoreApplication::applicationDirPath() + "/pointer_mover";
        mover.start(program, {QString::number(centre.x()), QString::number(centre.y())});
        mover.waitForStarted();
    }
    QCursor::setPos(scene == Scene::staticMoving ? centre
                                                 : content.bottomRight() + QPoint(200, 150));
}

Result measure(Bench& b, RefreshSpeed speed, Scene scene, double seconds) {
    UserDefaults::standard().setIntegerForKey(static_cast<std::int64_t>(speed), keys::refreshSpeed);
    const QPoint centre = b.view.mapToGlobal(b.view.rect().center());
    QProcess mover;
    startScene(b, scene, mover, centre);
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
    mover.kill();
    mover.waitForFinished();
    b.patch.stop();
    b.cover.hide();
    return r;
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

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const int panelWidth = argc > 2 ? std::atoi(argv[2]) : 400;
    const int panelHeight = argc > 3 ? std::atoi(argv[3]) : 300;
    XInitThreads();
    QApplication app(argc, argv);
    TalvexFilter::registerDefaults();

    StaticScene scene;
    scene.setGeometry(QGuiApplication::primaryScreen()->geometry());
    scene.show();

    auto panel = std::make_unique<talvex::Window>();
    auto* view = new FilteredView;
    panel->setContentWidget(view);
    panel->resize(panelWidth, panelHeight);
    panel->move(300, 200);
    panel->show();
    panel->raise();
    runEventLoopFor(2.0);
    if (!view->hasDrawable()) {
        std::fprintf(stderr, "lens_load: the view has no OpenGL drawable\n");
        return 1;
    }
    ChangingPatch patch;
    QWidget cover;
    cover.setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    cover.setStyleSheet(QStringLiteral("background: #808080"));
    Bench bench{*view, *panel, patch, cover, serverProcess()};

    std::printf(
        "| refresh speed | beneath the panel | captures/s | frames/s | MP drawn/s | "
        "lens CPU | X server CPU |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (RefreshSpeed speed : {RefreshSpeed::slow, RefreshSpeed::normal, RefreshSpeed::fast}) {
        for (Scene scene : {Scene::staticResting, Scene::staticMoving, Scene::cornerChanging,
                            Scene::wholeChanging, Scene::covered}) {
            const Result r = measure(bench, speed, scene, seconds);
            std::printf("| %s | %s | %.1f | %.1f | %.2f | %.1f %% | %.1f %% |\n", speedName(speed),
                        sceneName(scene), r.capturesPerSecond, r.framesPerSecond,
                        r.megapixelsPerSecond, r.cpuShare * 100, r.serverShare * 100);
            std::fflush(stdout);
        }
    }
    std::printf("\nPrivate dirty memory of this process with the lens open: %.1f MB\n",
                privateDirtyKb() / 1024.0);
    panel.reset();
    dispatch::waitForGlobalQueue();
    return 0;
}
