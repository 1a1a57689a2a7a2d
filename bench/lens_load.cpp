// The live lens's steady load: captures per second and this process's CPU share at
// each refresh speed, with a static screen beneath the panel and the pointer either
// resting or moving. Runs the real panel and view on the current X display:
//
//   lens_load [seconds per case, default 30] [panel width] [panel height]
//
// Prints a Markdown table. Not a test: numbers depend on the machine and its load.
#include <sys/resource.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/FilteredView.h"
#include "app/Window.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "render/TalvexFilter.h"
#include "talvex/Settings.h"

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

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void runEventLoopFor(double seconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

struct Result {
    double capturesPerSecond;
    double cpuShare;
};

Result measure(FilteredView& view, RefreshSpeed speed, bool movingPointer, double seconds,
               QPoint restingPoint) {
    UserDefaults::standard().setIntegerForKey(static_cast<std::int64_t>(speed), keys::refreshSpeed);
    QCursor::setPos(restingPoint);
    QTimer mover;
    double angle = 0;
    QObject::connect(&mover, &QTimer::timeout, [&] {
        angle += 0.2;
        QCursor::setPos(restingPoint +
                        QPoint(int(80 * std::cos(angle)), int(80 * std::sin(angle))));
    });
    if (movingPointer)
        mover.start(15);
    runEventLoopFor(1.0);  // settle

    const auto framesBefore = view.renderer()->framesPresented();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    runEventLoopFor(seconds);
    const double wall = clock.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    const auto frames = view.renderer()->framesPresented() - framesBefore;
    mover.stop();
    return {double(frames) / wall, cpu / wall};
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
    // The pointer rests (or circles) away from the panel: the area beneath the panel
    // is captured either way.
    const QPoint away = panel->geometry().bottomRight() + QPoint(200, 150);

    std::printf("| refresh speed | pointer | captures/s | CPU share of one core |\n");
    std::printf("|---|---|---|---|\n");
    for (RefreshSpeed speed : {RefreshSpeed::slow, RefreshSpeed::normal, RefreshSpeed::fast}) {
        for (bool moving : {false, true}) {
            const Result r = measure(*view, speed, moving, seconds, away);
            std::printf("| %s | %s | %.1f | %.1f %% |\n", speedName(speed),
                        moving ? "moving" : "resting", r.capturesPerSecond, r.cpuShare * 100);
            std::fflush(stdout);
        }
    }
    panel.reset();
    dispatch::waitForGlobalQueue();
    return 0;
}
