// What one frame of the lens costs, stage by stage, next to the floor of any lens on
// this desktop: a plain MIT-SHM read of the same rectangle drawn through a pass-through
// program. Run under an X server with GLX (e.g. xvfb-run -a -s "-screen 0 1920x1080x24").
//
// Stages of a frame (all on the capture thread in the program):
//   capture  the window server's image of the windows below the panel
//   upload   the texture upload (glTexImage2D, finished)
//   draw     the stripe quad (finished)
//   present  the buffer swap to the window
// "frame" is the real path, capture + PixelBufferRenderer::displayImage, timed whole,
// with every window beneath taking a new colour before each frame (untimed), so that
// every frame is drawn whole; "100×100" the same with only a 100 × 100 window beneath
// changing, which the renderer uploads, draws and presents alone.
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "platform/CapturedImage.h"
#include "platform/gl/GLContext.h"
#include "platform/x11/WindowServer.h"
#include "render/OpenGLPixelBufferView.h"
#include "render/PixelBufferRenderer.h"
#include "render/ShaderProgramBuilder.h"
#include "render/TalvexFilter.h"

// X and GL last: Xlib macros collide with Qt names.
#include <GL/gl.h>
#include <GL/glext.h>
#include <X11/Xlib.h>
#include "ShmRootReader.h"

namespace {

using Clock = std::chrono::steady_clock;
using talvex::CapturedImage;
using talvex::ContextLock;
using talvex::PixelBufferRenderer;

// Median of `runs` timings of `work`, in milliseconds, after two warm-up runs; `prepare`
// runs untimed before each.
double medianMs(
    int runs, const std::function<void()>& work, const std::function<void()>& prepare = [] {}) {
    prepare();
    work();
    prepare();
    work();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto start = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    return ms[ms.size() / 2];
}

// Lets the main loop map and paint what was shown.
void settle(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

const char* const passThroughVertex =
    "attribute vec4 position;\n"
    "attribute vec4 texturecoordinate;\n"
    "varying vec2 coordinate;\n"
    "void main() { gl_Position = position; coordinate = texturecoordinate.xy; }\n";
const char* const passThroughFragment =
    "uniform sampler2D videoframe;\n"
    "varying vec2 coordinate;\n"
    "void main() { gl_FragColor = texture2D(videoframe, coordinate); }\n";

void upload(int w, int h, int bytesPerRow, const void* pixels) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, bytesPerRow / 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    // Drawn texel for pixel, as the renderer does.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

struct Result {
    int w, h;
    double capture, upload, draw, present, frame, partialFrame, floorRead, floorFrame;
};

// Coloured windows beneath the panel, so that the capture composites real windows, and
// a 100 × 100 window on top of them inside the panel's area.
class Backdrop {
public:
    Backdrop() : dpy_(XOpenDisplay(nullptr)) {
        for (int i = 0; i < 6; ++i) {
            XSetWindowAttributes a{};
            a.override_redirect = True;
            a.background_pixel = colours[0][i];
            const int x = i == 0 ? 0 : (i == 5 ? 10 : 200 * i),
                      y = i == 0 ? 0 : (i == 5 ? 10 : 100 * i);
            const int w = i == 0 ? 1920 : (i == 5 ? 100 : 700),
                      h = i == 0 ? 1080 : (i == 5 ? 100 : 500);
            windows_.push_back(XCreateWindow(dpy_, DefaultRootWindow(dpy_), x, y, w, h, 0,
                                             CopyFromParent, InputOutput, CopyFromParent,
                                             CWOverrideRedirect | CWBackPixel, &a));
            XMapRaised(dpy_, windows_.back());
        }
        XSync(dpy_, False);
    }
    ~Backdrop() {
        for (auto w : windows_)
            XDestroyWindow(dpy_, w);
        XCloseDisplay(dpy_);
    }
    // Every window takes the other of its two colours.
    void changeAll() {
        ++round_;
        for (std::size_t i = 0; i < windows_.size(); ++i)
            paint(i);
        XSync(dpy_, False);
    }
    // Only the small window does.
    void changeSmall() {
        ++round_;
        paint(windows_.size() - 1);
        XSync(dpy_, False);
    }

private:
    static constexpr unsigned long colours[2][6] = {
        {0x808080, 0xff0000, 0x00ff00, 0xff8000, 0x008080, 0xc03060},
        {0x707070, 0xe01010, 0x10e010, 0xe07010, 0x107070, 0x30c060}};
    void paint(std::size_t i) {
        XSetWindowBackground(dpy_, windows_[i], colours[round_ % 2][i]);
        XClearWindow(dpy_, windows_[i]);
    }
    Display* dpy_;
    std::vector<::Window> windows_;
    unsigned round_ = 0;
};

Result measure(Backdrop& backdrop, int w, int h, int runs) {
    Result r{w, h, 0, 0, 0, 0, 0, 0, 0, 0};
    QWidget panel(nullptr, Qt::FramelessWindowHint);
    panel.setGeometry(0, 0, w, h);
    auto* view = new talvex::OpenGLPixelBufferView(
        [] { return std::make_unique<talvex::TalvexFilter>(); }, &panel);
    view->setGeometry(0, 0, w, h);
    panel.show();
    settle(300);
    if (!view->hasDrawable()) {
        std::fprintf(stderr, "no GL drawable for %dx%d\n", w, h);
        return r;
    }
    std::shared_ptr<PixelBufferRenderer> renderer = view->renderer();
    static bool named = false;
    if (!named) {
        ContextLock lock(renderer->context());
        GLint samples = 0;
        glGetIntegerv(GL_SAMPLES, &samples);
        std::fprintf(stderr, "OpenGL renderer: %s, %d samples per pixel\n",
                     glGetString(GL_RENDERER), samples);
        named = true;
    }
    const talvex::XWindowId windowId = talvex::nativeWindowId(panel);
    auto& server = talvex::WindowServer::shared();
    const talvex::PixelRect area{0, 0, w, h};

    std::unique_ptr<CapturedImage> image;
    r.capture = medianMs(runs, [&] { image = server.imageBelowWindow(area, windowId); });
    if (!image) {
        std::fprintf(stderr, "no capture for %dx%d\n", w, h);
        return r;
    }
    const std::vector<std::uint8_t> bytes = *image->copyBytes();

    // The stages one by one, as the renderer runs them, each finished before the next.
    {
        ContextLock lock(renderer->context());
        glUseProgram(renderer->program());
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, PixelBufferRenderer::textureName);
        const int stride = static_cast<int>(image->bytesPerRow());
        r.upload = medianMs(runs, [&] {
            upload(w, h, stride, bytes.data());
            glFinish();
        });
        glUniform1i(renderer->frameUniform(), 0);
        renderer->filter().applyParametersForTextureOfWidth(w, h);
        r.draw = medianMs(runs, [&] {
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            glFinish();
        });
        r.present = medianMs(runs, [&] { renderer->context().flushBuffer(); });
    }
    // Shared with the renderer, as the lens does: the next capture is compared in place.
    auto frame = [&] {
        std::shared_ptr<const CapturedImage> captured = server.imageBelowWindow(area, windowId);
        renderer->displayImage(captured);
    };
    const auto presented = renderer->framesPresented();
    const auto partial = renderer->partialFrames();
    r.frame = medianMs(runs, frame, [&] { backdrop.changeAll(); });
    r.partialFrame = medianMs(runs, frame, [&] { backdrop.changeSmall(); });
    if (renderer->framesPresented() - presented != 2u * (runs + 2) ||
        renderer->partialFrames() - partial != static_cast<std::uint64_t>(runs + 2))
        std::fprintf(stderr, "%dx%d: not every changed frame was drawn as expected\n", w, h);

    // The floor: a plain read of the same rectangle, drawn through a pass-through program.
    ShmRootReader reader(w, h);
    r.floorRead = medianMs(runs, [&] { reader.read(); });
    {
        ContextLock lock(renderer->context());
        const char* names[] = {"position", "texturecoordinate"};
        const GLint locations[] = {0, 1};
        GLuint program = 0;
        talvex::buildProgram(passThroughVertex, passThroughFragment, 2, names, locations, &program);
        glUseProgram(program);
        glUniform1i(talvex::uniformLocation(program, "videoframe"), 0);
        renderer->filter().applyParametersForTextureOfWidth(w, h);
        r.floorFrame = medianMs(runs, [&] {
            reader.read();
            upload(w, h, reader.image().bytes_per_line, reader.image().data);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            renderer->context().flushBuffer();
            glFinish();
        });
        glDeleteProgram(program);
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    XInitThreads();
    QApplication app(argc, argv);
    talvex::TalvexFilter::registerDefaults();
    Backdrop backdrop;

    std::printf(
        "| panel | capture | upload | draw | present | frame | 100×100 frame | floor frame | "
        "frame / floor | frames/s |\n|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& [w, h, runs] : {std::tuple{400, 300, 60}, {1200, 800, 30}, {1920, 1080, 20}}) {
        const Result r = measure(backdrop, w, h, runs);
        const double ratio = r.floorFrame > 0 ? r.frame / r.floorFrame : 0;
        std::printf("| %d×%d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.1f |\n",
                    r.w, r.h, r.capture, r.upload, r.draw, r.present, r.frame, r.partialFrame,
                    r.floorFrame, ratio, r.frame > 0 ? 1000.0 / r.frame : 0.0);
        std::fflush(stdout);
    }
    std::printf(
        "(milliseconds, median; every window beneath changes before each frame; frames/s "
        "= 1000 / frame)\n");
    return 0;
}
