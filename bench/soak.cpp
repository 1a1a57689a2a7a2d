// A churn soak of the real talvex program: for a while (600 s by default) windows come,
// go, move and restack beneath and around the panel, settings flip through the
// keyboard shortcuts and through rewrites of defaults.json, and the panel is dragged
// and resized with synthetic pointer input. Every 10 s a Markdown row reports the
// process's memory, descriptors, threads, shared-memory segments and the X errors it
// printed; a verdict line closes the run (exit status 0 on PASS).
//
//   soak [--seconds N] [--seed N] [--window-manager PROGRAM] PATH/TO/talvex
//
// Runs on the current X display; --window-manager starts one there first and waits
// until it manages windows. Not a test: it takes minutes and depends on the machine.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Panel layout, as the app's Window draws it.
constexpr int borderWidth = 1;
constexpr int titleBarHeight = 24;
constexpr int gripSide = 8;

constexpr int rowPeriodSeconds = 10;
constexpr int baselineSeconds = 60;
constexpr double rssGrowthBound = 0.10;
constexpr int countSlack = 2;
constexpr std::size_t maxChurnWindows = 14;

void pause(milliseconds ms) {
    std::this_thread::sleep_for(ms);
}

// Polls `done` every 10 ms until it holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& done, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        pause(milliseconds(10));
    }
    return true;
}

// --- the process under watch --------------------------------------------------------

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "talvex-soak-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A child program with stdout and stderr going to `log`; terminated (then killed) if
// it still runs when this goes.
class Child {
public:
    Child(const std::vector<std::string>& argv, const fs::path& log,
          const std::vector<std::pair<std::string, std::string>>& environment = {}) {
        pid_ = fork();
        if (pid_ == 0)
            execute(argv, log, environment);
    }
    ~Child() {
        if (!alive())
            return;
        kill(pid_, SIGTERM);
        if (!waitUntil([this] { return !alive(); }, milliseconds(5000))) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool alive() {
        if (pid_ <= 0 || exited_)
            return false;
        exited_ = waitpid(pid_, &status_, WNOHANG) == pid_;
        return !exited_;
    }
    int status() const { return status_; }

private:
    [[noreturn]] static void execute(const std::vector<std::string>& argv, const fs::path& log,
                                     const std::vector<std::pair<std::string, std::string>>& env) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
        }
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }

    pid_t pid_ = -1;
    int status_ = 0;
    bool exited_ = false;
};

// Writes `text` to `path` the way an editor saves: a temporary file beside it, synced,
// then renamed over the old one.
void writeAtomically(const fs::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".soak-tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
    fsync(fd);
    close(fd);
    if (written)
        fs::rename(temporary, path);
}

struct Sample {
    int seconds = 0;
    long rssKb = 0, privateKb = 0;
    int descriptors = 0, threads = 0, segments = 0, xErrors = 0;
    std::optional<double> pingMs;
};

// The first number after `key` in a /proc "Key:  value kB" file, or 0.
long procField(const fs::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    }
    return 0;
}

int entriesIn(const fs::path& directory) {
    std::error_code error;
    int count = 0;
    for (auto it = fs::directory_iterator(directory, error); !error && it != fs::end(it);
         it.increment(error))
        ++count;
    return count;
}

// SysV shared-memory segments the process created or last attached or detached.
int sharedSegmentsOf(pid_t pid) {
    std::ifstream in("/proc/sysvipc/shm");
    std::string line;
    std::getline(in, line);  // header
    int count = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long key, id, perms, size, cpid, lpid;
        if (fields >> key >> id >> perms >> size >> cpid >> lpid && (cpid == pid || lpid == pid))
            ++count;
    }
    return count;
}

// Counts the lines of the child's log that report an X error, reading only what was
// appended since the last call.
class XErrorLog {
public:
    explicit XErrorLog(fs::path path) : path_(std::move(path)) {}
    int count() {
        std::ifstream in(path_, std::ios::binary);
        in.seekg(offset_);
        std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto end = chunk.rfind('\n');
        if (end == std::string::npos)
            return count_;
        offset_ += std::streamoff(end + 1);
        std::istringstream lines(chunk.substr(0, end));
        std::string line;
        while (std::getline(lines, line)) {
            if (!std::regex_search(line, pattern_))
                continue;
            ++count_;
            if (examples_.size() < 5)
                examples_.push_back(line);
        }
        return count_;
    }
    const std::vector<std::string>& examples() const { return examples_; }

private:
    fs::path path_;
    std::streamoff offset_ = 0;
    int count_ = 0;
    std::vector<std::string> examples_;
    const std::regex pattern_{
        R"(X ?Error|XCB error|X server error|XIO|\bBad(Window|Drawable|Match|Pixmap|Access|Value|)"
        R"(Alloc|Atom|GC|Picture|Shm|ShmSeg|Length|Implementation|Request|IDChoice|Cursor|Damage)\b)"};
};

// --- the X side ---------------------------------------------------------------------

int ownErrors = 0;
int countOwnError(Display*, XErrorEvent*) {
    ++ownErrors;  // a window vanished between being listed and being looked at: harmless
    return 0;
}

class XConnection {
public:
    XConnection() : display_(XOpenDisplay(nullptr)) {
        if (!display_)
            throw std::runtime_error("cannot open the X display");
        XSetErrorHandler(countOwnError);
    }
    ~XConnection() { XCloseDisplay(display_); }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    Display* get() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }
    Atom atom(const char* name) const { return XInternAtom(display_, name, False); }

private:
    Display* display_;
};

// The raw bytes of a window property, empty when it is missing.
std::vector<unsigned char> property(const XConnection& x, Window window, const char* name,
                                    int* formatOut = nullptr) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned char> bytes;
    if (XGetWindowProperty(x.get(), window, x.atom(name), 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        const std::size_t unit = format == 32 ? sizeof(long) : std::size_t(format / 8);
        bytes.assign(data, data + count * unit);
    }
    if (data)
        XFree(data);
    if (formatOut)
        *formatOut = format;
    return bytes;
}

std::vector<long> longs(const std::vector<unsigned char>& bytes) {
    std::vector<long> values(bytes.size() / sizeof(long));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(long));
    return values;
}

std::vector<Window> childrenOf(const XConnection& x, Window parent) {
    Window root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> out;
    if (XQueryTree(x.get(), parent, &root, &up, &children, &count) && children)
        out.assign(children, children + count);
    if (children)
        XFree(children);
    return out;
}

// A plain window of solid colour; override-redirect ones escape the window manager.
class ChurnWindow {
public:
    ChurnWindow(const XConnection& x, XRectangle area, unsigned long pixel, bool overrideRedirect)
        : display_(x.get()), overrideRedirect_(overrideRedirect) {
        XSetWindowAttributes attributes{};
        attributes.background_pixel = pixel;
        attributes.override_redirect = overrideRedirect;
        window_ = XCreateWindow(display_, x.root(), area.x, area.y, area.width, area.height, 0,
                                CopyFromParent, InputOutput, CopyFromParent,
                                CWBackPixel | CWOverrideRedirect, &attributes);
        XStoreName(display_, window_, "soak");
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        XSetWMNormalHints(display_, window_, &hints);
    }
    ~ChurnWindow() { XDestroyWindow(display_, window_); }
    ChurnWindow(const ChurnWindow&) = delete;
    ChurnWindow& operator=(const ChurnWindow&) = delete;

    Window id() const { return window_; }
    bool overrideRedirect() const { return overrideRedirect_; }

private:
    Display* display_;
    Window window_;
    bool overrideRedirect_;
};

// Waits until a window manager runs and manages new windows: it announces itself
// before its start-up is done, and may miss a window mapped meanwhile, so a fresh
// probe goes up every second until one gets its WM_STATE.
bool waitForWindowManager(const XConnection& x, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        ChurnWindow probe(x, {0, 0, 10, 10}, 0, false);
        XMapWindow(x.get(), probe.id());
        XSync(x.get(), False);
        if (waitUntil([&] { return !property(x, probe.id(), "WM_STATE").empty(); },
                      milliseconds(1000)))
            return true;
    }
    return false;
}

std::string windowName(const XConnection& x, Window window) {
    for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
        const auto bytes = property(x, window, name);
        if (!bytes.empty())
            return std::string(bytes.begin(), bytes.end());
    }
    return {};
}

bool viewable(const XConnection& x, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(x.get(), window, &attributes) && attributes.map_state == IsViewable;
}

// The viewable top-level window of `pid` named "Talvex" (a child of the root, or of a
// window manager's frame), or 0.
Window findPanel(const XConnection& x, pid_t pid) {
    for (Window top : childrenOf(x, x.root())) {
        std::vector<Window> candidates{top};
        for (Window child : childrenOf(x, top))
            candidates.push_back(child);
        for (Window window : candidates) {
            const auto pids = longs(property(x, window, "_NET_WM_PID"));
            if (!pids.empty() && pids[0] == pid && windowName(x, window) == "Talvex" &&
                viewable(x, window))
                return window;
        }
    }
    return 0;
}

// The panel's ancestor among the root's children: what stacking is relative to.
Window topLevelOf(const XConnection& x, Window window) {
    for (;;) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x.get(), window, &root, &parent, &children, &count))
            return window;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            return window;
        window = parent;
    }
}

XRectangle rootArea(const XConnection& x, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(x.get(), window, &attributes);
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(x.get(), window, x.root(), 0, 0, &rx, &ry, &child);
    return {short(rx), short(ry), (unsigned short)attributes.width,
            (unsigned short)attributes.height};
}

// Sends the window manager's liveness ping to the panel and waits for the answer.
std::optional<double> ping(const XConnection& x, Window panel, milliseconds timeout) {
    static long stamp = 1;
    const long sent = ++stamp;
    const Atom pingAtom = x.atom("_NET_WM_PING");
    XSelectInput(x.get(), x.root(), StructureNotifyMask | SubstructureNotifyMask);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = panel;
    event.xclient.message_type = x.atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(pingAtom);
    event.xclient.data.l[1] = sent;
    event.xclient.data.l[2] = long(panel);
    const auto start = Clock::now();
    XSendEvent(x.get(), panel, False, NoEventMask, &event);
    XFlush(x.get());
    std::optional<double> answered;
    while (!answered && Clock::now() < start + timeout) {
        while (!answered && XPending(x.get())) {
            XNextEvent(x.get(), &event);
            if (event.type == ClientMessage && event.xclient.data.l[0] == long(pingAtom) &&
                event.xclient.data.l[1] == sent)
                answered = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        pollfd fd{ConnectionNumber(x.get()), POLLIN, 0};
        if (!answered)
            poll(&fd, 1, 10);
    }
    XSelectInput(x.get(), x.root(), NoEventMask);
    XSync(x.get(), True);  // drop the notifications collected meanwhile
    return answered;
}

// --- the churn ----------------------------------------------------------------------

struct Tally {
    int created = 0, destroyed = 0, moved = 0, restacked = 0, shortcuts = 0, rewrites = 0,
        drags = 0, resizes = 0, menus = 0, focusMissed = 0;
};

class Churn {
public:
    Churn(const XConnection& x, Window panel, fs::path defaults, unsigned seed)
        : x_(x), panel_(panel), defaults_(std::move(defaults)), random_(seed) {
        screenWidth_ = DisplayWidth(x.get(), DefaultScreen(x.get()));
        screenHeight_ = DisplayHeight(x.get(), DefaultScreen(x.get()));
    }

    void step() {
        const int roll = pick(0, 99);
        if (roll < 40)
            windowStep();
        else if (roll < 50)
            shortcut();
        else if (roll < 55)
            rewriteDefaults();
        else if (roll < 60)
            drag();
        else if (roll < 64)
            resize();
        else if (roll < 66)
            openAndCloseMenu();
        else
            wanderPointer();
        XSync(x_.get(), False);
    }
    void clear() {
        windows_.clear();
        XSync(x_.get(), False);
    }
    const Tally& tally() const { return tally_; }
    std::size_t windowCount() const { return windows_.size(); }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    XRectangle panelArea() const { return rootArea(x_, panel_); }

    // Somewhere overlapping the panel or just around it.
    XRectangle areaNearPanel() {
        const XRectangle p = panelArea();
        const int width = pick(60, 500), height = pick(60, 400);
        const int x = pick(p.x - width + 20, p.x + p.width + 150);
        const int y = pick(p.y - height + 20, p.y + p.height + 150);
        return {short(x), short(y), (unsigned short)width, (unsigned short)height};
    }

    unsigned long colour() {
        static constexpr unsigned long palette[] = {0xdc1e1e, 0x1eaa28, 0xfa8200, 0x008282,
                                                    0xc8c8c8, 0x8b0000, 0x00ff66, 0x3050e0};
        return palette[pick(0, std::size(palette) - 1)];
    }

    void windowStep() {
        const int roll = pick(0, 3);
        if (windows_.empty() || (roll == 0 && windows_.size() < maxChurnWindows))
            return createWindow();
        auto& window = windows_[std::size_t(pick(0, int(windows_.size()) - 1))];
        if (roll == 1) {
            std::swap(window, windows_.back());
            windows_.pop_back();
            ++tally_.destroyed;
        } else if (roll == 2) {
            const XRectangle area = areaNearPanel();
            XMoveWindow(x_.get(), window->id(), area.x, area.y);
            ++tally_.moved;
        } else {
            raiseBeneathPanel(*window);
            ++tally_.restacked;
        }
    }

    void createWindow() {
        windows_.push_back(
            std::make_unique<ChurnWindow>(x_, areaNearPanel(), colour(), pick(0, 1) == 0));
        XMapWindow(x_.get(), windows_.back()->id());
        raiseBeneathPanel(*windows_.back());
        ++tally_.created;
    }

    // Override-redirect windows go straight below the panel; managed ones are raised
    // through the window manager, which keeps them under the stays-on-top panel.
    void raiseBeneathPanel(const ChurnWindow& window) {
        if (!window.overrideRedirect()) {
            XRaiseWindow(x_.get(), window.id());
            return;
        }
        XWindowChanges changes{};
        changes.sibling = topLevelOf(x_, panel_);
        changes.stack_mode = Below;
        XConfigureWindow(x_.get(), window.id(), CWSibling | CWStackMode, &changes);
    }

    void pointerTo(int x, int y) {
        XTestFakeMotionEvent(x_.get(), -1, x, y, CurrentTime);
        XFlush(x_.get());
    }
    void button(unsigned number, bool down) {
        XTestFakeButtonEvent(x_.get(), number, down, CurrentTime);
        XFlush(x_.get());
    }
    void key(KeySym symbol, bool down) {
        XTestFakeKeyEvent(x_.get(), XKeysymToKeycode(x_.get(), symbol), down, CurrentTime);
        XFlush(x_.get());
    }
    void controlChord(KeySym symbol) {
        key(XK_Control_L, true);
        key(symbol, true);
        key(symbol, false);
        key(XK_Control_L, false);
    }

    // A point in the title bar between the menu button and the three value buttons.
    std::pair<int, int> titlePoint() const {
        const XRectangle p = panelArea();
        return {p.x + p.width / 2, p.y + borderWidth + titleBarHeight / 2};
    }

    bool hasFocus() const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(x_.get(), &focus, &revert);
        if (focus == None || focus == PointerRoot)
            return false;
        return focus == panel_ || topLevelOf(x_, focus) == topLevelOf(x_, panel_);
    }

    // Clicks the title bar and waits for the keyboard focus to arrive.
    bool focusPanel() {
        const auto [x, y] = titlePoint();
        pointerTo(x, y);
        button(1, true);
        button(1, false);
        if (waitUntil([this] { return hasFocus(); }, milliseconds(1000)))
            return true;
        ++tally_.focusMissed;
        return false;
    }

    void shortcut() {
        static constexpr KeySym keys[] = {XK_r, XK_g, XK_1, XK_2, XK_3, XK_3, XK_b, XK_m, XK_b};
        if (!focusPanel())
            return;
        controlChord(keys[pick(0, std::size(keys) - 1)]);
        ++tally_.shortcuts;
    }

    // Another program edits the settings: fast speed most of the time.
    void rewriteDefaults() {
        const int speed = pick(0, 2) == 0 ? pick(-1, 0) : 1;
        std::ostringstream json;
        json << "{\n    \"GreenStripesEnabled\": " << (pick(0, 3) ? "true" : "false")
             << ",\n    \"RefreshSpeed\": " << speed
             << ",\n    \"TalvexsEnabled\": " << (pick(0, 3) ? "true" : "false")
             << ",\n    \"ViewArea\": " << (pick(0, 2) == 0 ? 1 : 0) << "\n}\n";
        writeAtomically(defaults_, json.str());
        ++tally_.rewrites;
    }

    // Presses at `from`, moves in steps to `to`, releases.
    void dragPointer(int fromX, int fromY, int toX, int toY) {
        constexpr int steps = 12;
        pointerTo(fromX, fromY);
        button(1, true);
        for (int i = 1; i <= steps; ++i) {
            pause(milliseconds(15));
            pointerTo(fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps);
        }
        button(1, false);
    }

    void drag() {
        const XRectangle p = panelArea();
        const int left = pick(0, std::max(0, screenWidth_ - p.width));
        const int top = pick(0, std::max(0, screenHeight_ - p.height));
        const auto [x, y] = titlePoint();
        dragPointer(x, y, x + left - p.x, y + top - p.y);
        ++tally_.drags;
    }

    void resize() {
        const XRectangle p = panelArea();
        const int width = std::min(pick(260, 560), screenWidth_ - p.x);
        const int height = std::min(pick(200, 420), screenHeight_ - p.y);
        const int gripX = p.x + p.width - borderWidth - gripSide / 2;
        const int gripY = p.y + p.height - borderWidth - gripSide / 2;
        dragPointer(gripX, gripY, gripX + width - p.width, gripY + height - p.height);
        ++tally_.resizes;
    }

    // The title bar's context menu, opened and dismissed.
    void openAndCloseMenu() {
        const auto [x, y] = titlePoint();
        pointerTo(x, y);
        button(3, true);
        button(3, false);
        pause(milliseconds(150));
        key(XK_Escape, true);
        key(XK_Escape, false);
        ++tally_.menus;
    }

    void wanderPointer() {
        const XRectangle area = areaNearPanel();
        pointerTo(area.x + area.width / 2, area.y + area.height / 2);
    }

    const XConnection& x_;
    Window panel_;
    fs::path defaults_;
    std::mt19937 random_;
    int screenWidth_ = 0, screenHeight_ = 0;
    std::vector<std::unique_ptr<ChurnWindow>> windows_;
    Tally tally_;
};

// --- the run ------------------------------------------------------------------------

struct Options {
    std::string talvex;
    int seconds = 600;
    unsigned seed = 1;
    std::string windowManager;
};

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seconds" && hasValue)
            options.seconds = std::atoi(argv[++i]);
        else if (arg == "--seed" && hasValue)
            options.seed = unsigned(std::atol(argv[++i]));
        else if (arg == "--window-manager" && hasValue)
            options.windowManager = argv[++i];
        else if (arg.rfind("--", 0) != 0 && options.talvex.empty())
            options.talvex = arg;
        else
            return std::nullopt;
    }
    if (options.talvex.empty() || options.seconds < baselineSeconds)
        return std::nullopt;
    return options;
}

Sample sample(pid_t pid, int seconds, XErrorLog& log, const XConnection& x, Window panel) {
    const fs::path proc = "/proc/" + std::to_string(pid);
    Sample s;
    s.seconds = seconds;
    s.rssKb = procField(proc / "status", "VmRSS:");
    // Dirty only: clean private pages are library pages that no other process happens to
    // map at the moment, and come and go with whatever else runs.
    s.privateKb = procField(proc / "smaps_rollup", "Private_Dirty:");
    s.descriptors = entriesIn(proc / "fd");
    s.threads = entriesIn(proc / "task");
    s.segments = sharedSegmentsOf(pid);
    s.xErrors = log.count();
    s.pingMs = ping(x, panel, milliseconds(5000));
    return s;
}

void printHeader() {
    std::printf(
        "| s | RSS MiB | private dirty MiB | fds | threads | shm segments | X errors | ping ms "
        "|\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
}

void printRow(const Sample& s) {
    char pingText[32] = "none";
    if (s.pingMs)
        std::snprintf(pingText, sizeof pingText, "%.1f", *s.pingMs);
    std::printf("| %d | %.1f | %.1f | %d | %d | %d | %d | %s |\n", s.seconds, s.rssKb / 1024.0,
                s.privateKb / 1024.0, s.descriptors, s.threads, s.segments, s.xErrors, pingText);
    std::fflush(stdout);
}

// Empty when the run passes, else the reasons.
std::string judge(bool alive, const Sample& baseline, const Sample& last) {
    std::ostringstream why;
    if (!alive)
        why << " the process died;";
    if (!last.pingMs)
        why << " no answer to the last ping;";
    if (last.rssKb >= baseline.rssKb * (1 + rssGrowthBound))
        why << " RSS grew from " << baseline.rssKb << " to " << last.rssKb << " kB;";
    if (last.descriptors > baseline.descriptors + countSlack)
        why << " descriptors " << baseline.descriptors << " -> " << last.descriptors << ";";
    if (last.threads > baseline.threads + countSlack)
        why << " threads " << baseline.threads << " -> " << last.threads << ";";
    if (last.segments > baseline.segments + 1)
        why << " shm segments " << baseline.segments << " -> " << last.segments << ";";
    if (last.xErrors > 0)
        why << " " << last.xErrors << " X error lines;";
    return why.str();
}

void printTally(const Tally& t) {
    std::printf(
        "churn: %d windows created, %d destroyed, %d moved, %d restacked; %d shortcuts "
        "(%d clicks left the panel without focus), %d settings-file rewrites, %d drags, %d "
        "resizes, %d menus; %d X errors on the soak's own connection\n",
        t.created, t.destroyed, t.moved, t.restacked, t.shortcuts, t.focusMissed, t.rewrites,
        t.drags, t.resizes, t.menus, ownErrors);
}

int soak(const Options& options) {
    TempDir home;
    const fs::path defaults = home.path() / "Talvex" / "defaults.json";
    fs::create_directories(defaults.parent_path());
    writeAtomically(defaults, "{\n    \"RefreshSpeed\": 1\n}\n");
    XConnection x;

    std::unique_ptr<Child> windowManager;
    if (!options.windowManager.empty()) {
        windowManager = std::make_unique<Child>(std::vector<std::string>{options.windowManager},
                                                home.path() / "window-manager.log");
        if (!waitForWindowManager(x, milliseconds(30000))) {
            std::printf("verdict: FAIL: %s never managed a window\n",
                        options.windowManager.c_str());
            return 1;
        }
    }
    const fs::path log = home.path() / "talvex.log";
    Child talvex({options.talvex}, log, {{"XDG_CONFIG_HOME", home.path().string()}});
    Window panel = 0;
    if (!waitUntil([&] { return (panel = findPanel(x, talvex.pid())) != 0; },
                   milliseconds(30000))) {
        std::printf("verdict: FAIL: no Talvex panel appeared\n");
        return 1;
    }

    XErrorLog errors(log);
    Churn churn(x, panel, defaults, options.seed);
    printHeader();
    const auto start = Clock::now();
    std::vector<Sample> samples;
    for (int next = rowPeriodSeconds; next <= options.seconds && talvex.alive();
         next += rowPeriodSeconds) {
        while (Clock::now() < start + std::chrono::seconds(next) && talvex.alive()) {
            churn.step();
            pause(milliseconds(40));
        }
        if (!talvex.alive())
            break;
        samples.push_back(sample(talvex.pid(), next, errors, x, panel));
        printRow(samples.back());
    }
    churn.clear();
    printTally(churn.tally());
    for (const auto& line : errors.examples())
        std::printf("talvex: %s\n", line.c_str());

    const bool alive = talvex.alive();
    if (samples.size() < std::size_t(baselineSeconds / rowPeriodSeconds)) {
        std::printf("verdict: FAIL: the process ended after %zu rows (status %d)\n", samples.size(),
                    talvex.status());
        return 1;
    }
    const std::string why =
        judge(alive, samples[baselineSeconds / rowPeriodSeconds - 1], samples.back());
    std::printf(
        "bounds: after the first minute RSS grows < %.0f %%, descriptors and threads +%d, "
        "shm segments +1; no X errors\n",
        rssGrowthBound * 100, countSlack);
    std::printf("verdict: %s%s\n", why.empty() ? "PASS" : "FAIL:", why.c_str());
    return why.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: soak [--seconds N (>= 60, default 600)] [--seed N] "
                     "[--window-manager PROGRAM] PATH/TO/talvex\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    try {
        return soak(*options);
    } catch (const std::exception& error) {
        std::printf("verdict: FAIL: %s\n", error.what());
        return 1;
    }
}
