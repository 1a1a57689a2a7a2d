// Cost of one capture below a window (compose on the server, read back through shared
// memory) at three panel sizes, next to the floor: a bare MIT-SHM read of the root for
// the same rectangle. Needs an X server with Composite, e.g.
//   xvfb-run -a -s "-screen 0 1920x1080x24 +extension Composite" capture_bench
// The "desktop" argument puts a full-screen window at the bottom (as desktops have),
// which lets the capture skip everything below it; without it the background is
// painted and every window composed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/x11/WindowServer.h"

// Xlib after Qt (WindowServer is a QObject): its macros (Bool, Status) collide with Qt names.
#include <X11/Xlib.h>
#include "ShmRootReader.h"

namespace {

// Held open for the whole run: an X server that loses its last client resets itself,
// and connections made meanwhile fail.
Display* keepAlive = nullptr;

// A few overlapping windows of different colours below a small panel window.
class Scene {
public:
    explicit Scene(bool desktop) : display_(XOpenDisplay(nullptr)) {
        if (!display_) {
            return;
        }
        if (desktop) {
            add(0, 0, 1920, 1080, 0x303030);
        }
        const std::uint32_t colours[] = {0xff0000, 0x00ff00, 0x0000ff,
                                         0xffff00, 0x00ffff, 0xff00ff};
        for (int i = 0; i < 6; ++i) {
            add(100 + 250 * i, 50 + 120 * i, 700, 500, colours[i]);
        }
        panel_ = add(1900, 1060, 20, 20, 0xffffff);
        XSync(display_, False);
    }
    ~Scene() {
        if (!display_) {
            return;
        }
        for (Window w : windows_) {
            XDestroyWindow(display_, w);
        }
        XCloseDisplay(display_);
    }
    Display* display() const { return display_; }
    std::uint32_t panel() const { return static_cast<std::uint32_t>(panel_); }

private:
    Window add(int x, int y, unsigned w, unsigned h, unsigned long colour) {
        XSetWindowAttributes a{};
        a.background_pixel = colour;
        a.override_redirect = True;
        Window window =
            XCreateWindow(display_, DefaultRootWindow(display_), x, y, w, h, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
        XMapRaised(display_, window);
        windows_.push_back(window);
        return window;
    }

    Display* display_;
    Window panel_ = 0;
    std::vector<Window> windows_;
};

void captureBelowWindow(benchmark::State& state) {
    const auto width = static_cast<int>(state.range(0));
    const auto height = static_cast<int>(state.range(1));
    Scene scene(state.range(2) != 0);
    talvex::WindowServer server;
    if (!scene.display() || !server.isConnected()) {
        state.SkipWithError("no X server with Composite");
        return;
    }
    for (auto _ : state) {
        auto image = server.imageBelowWindow({0, 0, width, height}, scene.panel());
        if (!image) {
            state.SkipWithError("no image");
            return;
        }
        benchmark::DoNotOptimize(image.get());
    }
}

// The floor: the server copies the root's pixels into our segment, nothing else.
void sharedMemoryReadOfRoot(benchmark::State& state) {
    const auto width = static_cast<unsigned>(state.range(0));
    const auto height = static_cast<unsigned>(state.range(1));
    ShmRootReader reader(static_cast<int>(width), static_cast<int>(height));
    if (!reader.valid()) {
        state.SkipWithError("no X server with MIT-SHM");
        return;
    }
    for (auto _ : state) {
        reader.read();
        benchmark::DoNotOptimize(reader.image().data);
    }
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int desktop : {0, 1}) {
        // 300×200: what a 1200×800 lens magnifying 4 times captures.
        b->Args({300, 200, desktop})->Args({400, 300, desktop})->Args({1200, 800, desktop});
        b->Args({1920, 1080, desktop});
    }
    b->ArgNames({"w", "h", "desktop"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(captureBelowWindow)->Apply(sizes);
BENCHMARK(sharedMemoryReadOfRoot)
    ->Args({400, 300})
    ->Args({1200, 800})
    ->Args({1920, 1080})
    ->ArgNames({"w", "h"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // Capture connections may be used from several threads.
    XInitThreads();
    keepAlive = XOpenDisplay(nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (keepAlive) {
        XCloseDisplay(keepAlive);
    }
    return 0;
}
