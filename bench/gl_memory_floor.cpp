// What the OpenGL implementation alone keeps in private dirty memory: the least any
// program that shows a W×H picture through it can use. Plain Xlib and GLX, no toolkit:
// one W×H window, one W×H texture drawn ten times through a pass-through program, the
// heap trimmed, then this process's Private_Dirty (kB) printed.
//
//   gl_memory_floor W H            the default visual's configuration (the one a
//                                  toolkit's window gets; on Mesa's X servers it has
//                                  a 24-bit depth and 8-bit stencil buffer)
//   gl_memory_floor W H no-depth   a double-buffered configuration without depth,
//                                  stencil, accumulation or multisample buffers
#define GL_GLEXT_PROTOTYPES
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

namespace {

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};

int attribute(Display* dpy, GLXFBConfig config, int name) {
    int value = 0;
    glXGetFBConfigAttrib(dpy, config, name, &value);
    return value;
}

// The configuration to draw with, or none.
GLXFBConfig chooseConfig(Display* dpy, bool noDepth) {
    int count = 0;
    std::unique_ptr<GLXFBConfig, XFreeDeleter> configs(
        glXGetFBConfigs(dpy, DefaultScreen(dpy), &count));
    const auto defaultVisual = static_cast<int>(XVisualIDFromVisual(DefaultVisual(dpy, 0)));
    for (int i = 0; i < count; ++i) {
        GLXFBConfig c = configs.get()[i];
        const int visual = attribute(dpy, c, GLX_VISUAL_ID);
        if (visual == 0 || !attribute(dpy, c, GLX_DOUBLEBUFFER))
            continue;
        const bool bare =
            attribute(dpy, c, GLX_DEPTH_SIZE) == 0 && attribute(dpy, c, GLX_STENCIL_SIZE) == 0 &&
            attribute(dpy, c, GLX_ACCUM_RED_SIZE) == 0 && attribute(dpy, c, GLX_SAMPLES) == 0;
        if (noDepth ? bare : visual == defaultVisual)
            return c;
    }
    return nullptr;
}

Window createWindow(Display* dpy, GLXFBConfig config, int width, int height) {
    std::unique_ptr<XVisualInfo, XFreeDeleter> info(glXGetVisualFromFBConfig(dpy, config));
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(dpy, DefaultRootWindow(dpy), info->visual, AllocNone);
    const Window window =
        XCreateWindow(dpy, DefaultRootWindow(dpy), 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, info->depth, InputOutput, info->visual,
                      CWColormap, &attributes);
    XMapWindow(dpy, window);
    XSync(dpy, False);
    return window;
}

GLuint passThroughProgram() {
    const char* vertex =
        "attribute vec2 position; varying vec2 coordinate;"
        "void main() { coordinate = position * 0.5 + 0.5; gl_Position = vec4(position, 0, 1); }";
    const char* fragment =
        "uniform sampler2D picture; varying vec2 coordinate;"
        "void main() { gl_FragColor = texture2D(picture, coordinate); }";
    const GLuint program = glCreateProgram();
    for (auto [type, source] :
         {std::pair{GL_VERTEX_SHADER, vertex}, {GL_FRAGMENT_SHADER, fragment}}) {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
        glDeleteShader(shader);
    }
    glBindAttribLocation(program, 0, "position");
    glLinkProgram(program);
    return program;
}

void uploadPicture(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4, 100);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels.data());
}

long privateDirtyKiB() {
    std::ifstream rollup("/proc/self/smaps_rollup");
    for (std::string line; std::getline(rollup, line);) {
        if (line.rfind("Private_Dirty:", 0) == 0)
            return std::strtol(line.c_str() + 14, nullptr, 10);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s W H [no-depth]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    const bool noDepth = argc > 3 && std::strcmp(argv[3], "no-depth") == 0;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    GLXFBConfig config = chooseConfig(dpy, noDepth);
    if (!config) {
        std::fprintf(stderr, "no such configuration\n");
        return 1;
    }
    const Window window = createWindow(dpy, config, width, height);
    GLXContext context = glXCreateNewContext(dpy, config, GLX_RGBA_TYPE, nullptr, True);
    glXMakeContextCurrent(dpy, window, window, context);

    glUseProgram(passThroughProgram());
    uploadPicture(width, height);
    const float quad[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, quad);
    for (int frame = 0; frame < 10; ++frame) {
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glXSwapBuffers(dpy, window);
    }
    glFinish();
    malloc_trim(0);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::printf("%ld\n", privateDirtyKiB());

    glXMakeContextCurrent(dpy, None, None, nullptr);
    glXDestroyContext(dpy, context);
    XCloseDisplay(dpy);
    return 0;
}
