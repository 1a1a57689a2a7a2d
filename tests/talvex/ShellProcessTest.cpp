// The talvex program itself, run as a child process on an X server of its own and
// looked at from outside: command line, stacking under a window manager, keyboard
// shortcuts, one instance per display, and the end of the process when the panel
// closes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>

#include "SettingsMenuTarget.h"
#include "ShellTestSupport.h"
#include "platform/UserDefaults.h"
#include "platform/gl/GLXWindowContext.h"
#include "platform/x11/XDisplay.h"
#include "settings/Settings.h"
#include "support/TestEnvironment.h"
#include "talvex/MainMenu.h"

namespace talvex {
namespace {

using test::ChildProcess;
using test::PrivateXServer;
using test::waitUntil;
using test::XClient;

constexpr int launchTimeoutMs = 15000;
const QString panelTitle = QStringLiteral("Talvex");

bool haveProgram(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

// What the child has stored, read afresh from its settings file.
std::optional<std::int64_t> storedValue(const std::filesystem::path& configHome, const char* key) {
    UserDefaults store(configHome / "Talvex" / "defaults.json");
    const auto value = store.persistentValueForKey(key);
    if (!value)
        return std::nullopt;
    return std::visit([](auto v) { return static_cast<std::int64_t>(v); }, *value);
}

bool eventuallyStored(const std::filesystem::path& configHome, const char* key,
                      std::int64_t expected) {
    return waitUntil([&] { return storedValue(configHome, key) == expected; }, 5000);
}

std::string describe(ChildProcess& talvex) {
    std::string text =
        talvex.running() ? "running" : "ended with " + std::to_string(talvex.exitCode());
    return text + "; output: " + talvex.output().toStdString();
}

// The panel of a running talvex, once it is on screen.
std::uint64_t waitForPanel(XClient& x, const ChildProcess& talvex) {
    std::vector<std::uint64_t> panels;
    waitUntil(
        [&] {
            panels = x.viewableWindowsOf(talvex.pid(), panelTitle);
            return !panels.empty() || !talvex.running();
        },
        launchTimeoutMs);
    return panels.size() == 1 ? panels.front() : 0;
}

std::ptrdiff_t indexIn(const std::vector<std::uint64_t>& stacking, std::uint64_t window) {
    const auto at = std::find(stacking.begin(), stacking.end(), window);
    return at == stacking.end() ? -1 : at - stacking.begin();
}

void pressKeys(const QString& display, const QString& keys) {
    ASSERT_EQ(test::runOn(display, QStringLiteral("xdotool"), {QStringLiteral("key"), keys}), 0);
}

#define REQUIRE_PRIVATE_X_SERVER(server) \
    if (!haveProgram("Xvfb"))            \
        GTEST_SKIP() << "no Xvfb";       \
    PrivateXServer server;               \
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start"

TEST(ShellProcess, CommandLineAnswersHelpAndVersionAndRefusesUnknownOptions) {
    ChildProcess help(QString{});
    help.start(test::talvexProgram(), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForExit(10000));
    EXPECT_EQ(help.exitCode(), 0);
    const QString usage = help.output();
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Usage: talvex"))) << usage.toStdString();
    EXPECT_TRUE(usage.contains(QStringLiteral("--version")));
    // The manual page is made from this text: it must list every shortcut the menus have.
    UserDefaults store(test::makeTempDir("talvex-help") / "defaults.json");
    test::SettingsMenuTarget target(store);
    MainMenu menus(target);
    for (const QAction* action : menus.shortcutActions()) {
        const QString keys = action->shortcut().toString();
        EXPECT_TRUE(usage.contains(QStringLiteral("\n  ") + keys + QLatin1Char(' ')))
            << keys.toStdString();
    }

    // The synopsis names every option of the filter command's own.
    ChildProcess filterHelp(QString{});
    filterHelp.start(test::talvexProgram(), {QStringLiteral("filter"), QStringLiteral("--help")});
    ASSERT_TRUE(filterHelp.waitForExit(10000));
    const QString synopsis = usage.section(QStringLiteral("\n\n"), 0, 0);
    const QString filterSynopsis = filterHelp.output().section(QStringLiteral("\n\n"), 0, 0);
    auto options = QRegularExpression(QStringLiteral("\\[--[a-z]+")).globalMatch(filterSynopsis);
    ASSERT_TRUE(options.hasNext()) << filterSynopsis.toStdString();
    while (options.hasNext()) {
        const QString option = options.next().captured();
        EXPECT_TRUE(synopsis.contains(option)) << option.toStdString();
    }

    ChildProcess version(QString{});
    version.start(test::talvexProgram(), {QStringLiteral("--version")});
    ASSERT_TRUE(version.waitForExit(10000));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_EQ(version.output().trimmed(), QStringLiteral("talvex " TALVEX_VERSION));

    ChildProcess unknown(QString{});
    unknown.start(test::talvexProgram(), {QStringLiteral("--frobnicate")});
    ASSERT_TRUE(unknown.waitForExit(10000));
    EXPECT_EQ(unknown.exitCode(), 2);
    EXPECT_TRUE(unknown.output().contains(QStringLiteral("--frobnicate")));
}

TEST(ShellProcess, UnderOpenboxThePanelStaysAboveTakesShortcutsAndClosingEndsTheProcess) {
    if (!haveProgram("openbox") || !haveProgram("xdotool"))
        GTEST_SKIP() << "needs openbox and xdotool";
    REQUIRE_PRIVATE_X_SERVER(server);
    ChildProcess openbox(server.name());
    if (!startOpenbox(openbox, server.name()))
        GTEST_SKIP() << "openbox did not start: " << openbox.output().toStdString();

    const auto config = test::makeTempDir("talvex-shell");
    ChildProcess talvex(server.name(), config);
    talvex.start(test::talvexProgram());
    XClient x(server.name());
    ASSERT_TRUE(x.isOpen());
    const std::uint64_t panel = waitForPanel(x, talvex);
    ASSERT_NE(panel, 0u) << describe(talvex);
    EXPECT_TRUE(x.netWmState(panel).contains(QStringLiteral("_NET_WM_STATE_ABOVE")));

    // Another application's window, activated over the panel's place.
    const QRect panelArea = x.rootGeometry(panel);
    const std::uint64_t other = x.createNormalWindow(panelArea.adjusted(-80, -80, 80, 80),
                                                     QStringLiteral("Another application"));
    ASSERT_TRUE(waitUntil([&] { return indexIn(x.clientStacking(), other) >= 0; }, 5000));
    test::waitUntil([] { return false; }, 800);
    const auto stacking = x.clientStacking();
    EXPECT_GT(indexIn(stacking, panel), indexIn(stacking, other)) << "the panel went below";
    EXPECT_TRUE(x.isViewable(panel));
    EXPECT_TRUE(x.netWmState(panel).contains(QStringLiteral("_NET_WM_STATE_ABOVE")));

    // A click on the title bar makes the panel active; its shortcuts then fire.
    const QPoint title = x.rootGeometry(panel).topLeft() + QPoint(panelArea.width() / 2, 10);
    ASSERT_EQ(
        test::runOn(server.name(), QStringLiteral("xdotool"),
                    {QStringLiteral("mousemove"), QString::number(title.x()),
                     QString::number(title.y()), QStringLiteral("click"), QStringLiteral("1")}),
        0);
    ASSERT_TRUE(waitUntil([&] { return x.hasInputFocus(panel); })) << "the panel took no focus";
    pressKeys(server.name(), QStringLiteral("ctrl+3"));
    EXPECT_TRUE(eventuallyStored(config, keys::refreshSpeed, 1));
    pressKeys(server.name(), QStringLiteral("ctrl+1"));
    EXPECT_TRUE(eventuallyStored(config, keys::refreshSpeed, -1));
    pressKeys(server.name(), QStringLiteral("ctrl+m"));
    EXPECT_TRUE(eventuallyStored(config, keys::viewArea, 1));
    pressKeys(server.name(), QStringLiteral("ctrl+r"));
    EXPECT_TRUE(eventuallyStored(config, keys::redStripesEnabled, 0));
    pressKeys(server.name(), QStringLiteral("ctrl+r"));
    EXPECT_TRUE(eventuallyStored(config, keys::redStripesEnabled, 1));
    pressKeys(server.name(), QStringLiteral("ctrl+g"));
    EXPECT_TRUE(eventuallyStored(config, keys::greenStripesEnabled, 0));

    // The window manager's close command closes the panel, and the process ends.
    x.requestClose(panel);
    ASSERT_TRUE(talvex.waitForExit(10000)) << "still running after the panel closed";
    EXPECT_FALSE(talvex.crashed());
    EXPECT_EQ(talvex.exitCode(), 0);
}

TEST(ShellProcess, ASecondStartBringsTheFirstForwardAndEndsAndACrashLeavesNoLockBehind) {
    REQUIRE_PRIVATE_X_SERVER(server);
    const auto config = test::makeTempDir("talvex-shell");
    XClient x(server.name());
    ASSERT_TRUE(x.isOpen());
    ChildProcess first(server.name(), config);
    first.start(test::talvexProgram());
    const std::uint64_t panel = waitForPanel(x, first);
    ASSERT_NE(panel, 0u) << describe(first);

    // Without a window manager a window mapped later lies above the panel. The first
    // instance may still be finishing its start (and raise its panel once more) on a
    // busy machine, so the other window is raised until it stays on top.
    const std::uint64_t other =
        x.createNormalWindow(x.rootGeometry(panel).adjusted(-40, -40, 40, 40), "Other");
    ASSERT_TRUE(waitUntil([&] {
        x.raise(other);
        return indexIn(x.rootStacking(), other) > indexIn(x.rootStacking(), panel);
    }));

    ChildProcess second(server.name(), config);
    second.start(test::talvexProgram());
    ASSERT_TRUE(second.waitForExit(10000)) << "the second start kept running";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(waitUntil([&] {
        return indexIn(x.rootStacking(), panel) > indexIn(x.rootStacking(), other);
    })) << "the running panel was not brought forward";
    EXPECT_EQ(x.viewableWindowsOf(first.pid(), panelTitle).size(), 1u);

    // A killed instance leaves its lock and socket behind; the next start takes over.
    ::kill(static_cast<pid_t>(first.pid()), SIGKILL);
    ASSERT_TRUE(first.waitForExit(5000));
    ChildProcess third(server.name(), config);
    third.start(test::talvexProgram());
    EXPECT_NE(waitForPanel(x, third), 0u) << describe(third);
}

// The lines of `output` that contain `text`.
qsizetype linesContaining(const QString& output, const QString& text) {
    return output.split(QLatin1Char('\n')).filter(text).size();
}

TEST(ShellProcess, WithoutAnX11DisplayTheLensSaysSoInOneLineAndCommandsStillWork) {
    const QString unset;
    const QString pointingAtNothing = QStringLiteral(":4999");
    for (const QString& display : {unset, pointingAtNothing}) {
        ChildProcess talvex(display);
        talvex.setEnvironmentValue(QStringLiteral("DISPLAY"), display);
        talvex.start(test::talvexProgram());
        ASSERT_TRUE(talvex.waitForExit(10000)) << describe(talvex);
        EXPECT_FALSE(talvex.crashed());
        EXPECT_EQ(talvex.exitCode(), 1);
        EXPECT_EQ(talvex.output().toStdString(), "talvex: cannot open the X display \"" +
                                                     display.toStdString() +
                                                     "\": Talvex needs an X11 session\n");
    }

    ChildProcess filter(unset);
    filter.setEnvironmentValue(QStringLiteral("DISPLAY"), unset);
    filter.start(test::talvexProgram(), {QStringLiteral("filter"), QStringLiteral("--help")});
    ASSERT_TRUE(filter.waitForExit(10000));
    EXPECT_EQ(filter.exitCode(), 0);
    EXPECT_TRUE(filter.output().startsWith(QStringLiteral("Usage: talvex filter")));

    // A platform without X11 calls cannot host the lens.
    ChildProcess offscreen(unset);
    offscreen.setEnvironmentValue(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    offscreen.start(test::talvexProgram());
    ASSERT_TRUE(offscreen.waitForExit(10000)) << describe(offscreen);
    EXPECT_EQ(offscreen.exitCode(), 1);
    const QString refusal = offscreen.output();
    EXPECT_EQ(refusal.count(QLatin1Char('\n')), 1) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(QStringLiteral("offscreen"))) << refusal.toStdString();
}

TEST(ShellProcess, InAWaylandSessionTheLensRunsOnX11AndSaysWhatItCannotSee) {
    REQUIRE_PRIVATE_X_SERVER(server);
    const auto config = test::makeTempDir("talvex-shell");
    ChildProcess talvex(server.name(), config);
    talvex.setEnvironmentValue(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-9"));
    talvex.setEnvironmentValue(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    talvex.start(test::talvexProgram());
    XClient x(server.name());
    ASSERT_NE(waitForPanel(x, talvex), 0u) << describe(talvex);
    EXPECT_EQ(linesContaining(talvex.output(), QStringLiteral("only X11 windows")), 1);
}

// Where the server offers one, the panel's windows get a visual whose GL configuration
// has no depth or stencil buffer (a software renderer would allocate them whole).
TEST(ShellProcess, ThePanelDrawsThroughAVisualWithoutDepthOrStencil) {
    REQUIRE_PRIVATE_X_SERVER(server);
    const auto display = XDisplay::open(server.name().toLocal8Bit().constData());
    ASSERT_TRUE(display);
    const unsigned long lean = GLXWindowContext::leanVisual(*display);
    if (lean == 0)
        GTEST_SKIP() << "no such visual on this server";
    const auto config = test::makeTempDir("talvex-shell");
    ChildProcess talvex(server.name(), config);
    talvex.start(test::talvexProgram());
    XClient x(server.name());
    const std::uint64_t panel = waitForPanel(x, talvex);
    ASSERT_NE(panel, 0u) << describe(talvex);
    EXPECT_EQ(x.visualOf(panel), lean);
}

// A server that dies takes the lens with it at once, and a start on the next server
// finds nothing left in its way.
TEST(ShellProcess, ALostServerEndsTheLensAtOnceInOneLineAndTheNextStartWorks) {
    const auto config = test::makeTempDir("talvex-shell");
    const auto runtime = test::makeTempDir("talvex-runtime");
    {
        REQUIRE_PRIVATE_X_SERVER(server);
        ChildProcess talvex(server.name(), config);
        talvex.setEnvironmentValue(QStringLiteral("XDG_RUNTIME_DIR"),
                                   QString::fromStdString(runtime));
        talvex.start(test::talvexProgram());
        {
            XClient x(server.name());  // gone before its server
            ASSERT_NE(waitForPanel(x, talvex), 0u) << describe(talvex);
        }
        talvex.output();  // what it said while running does not count
        server.kill();
        ASSERT_TRUE(talvex.waitForExit(1000)) << "still running after its server died";
        EXPECT_FALSE(talvex.crashed());
        EXPECT_NE(talvex.exitCode(), 0);
        const QString farewell = talvex.output();
        EXPECT_EQ(farewell.count(QLatin1Char('\n')), 1) << farewell.toStdString();
    }
    REQUIRE_PRIVATE_X_SERVER(next);
    ChildProcess talvex(next.name(), config);
    talvex.setEnvironmentValue(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
    talvex.start(test::talvexProgram());
    XClient x(next.name());
    EXPECT_NE(waitForPanel(x, talvex), 0u) << describe(talvex);
}

// The server going away while the lens starts ends it the same way. The moment that
// matters: GL is being set up for the panel (its driver has just been loaded).
TEST(ShellProcess, AServerLostWhileTheLensSetsUpGLEndsItTheSameWay) {
    const auto config = test::makeTempDir("talvex-shell");
    const auto runtime = test::makeTempDir("talvex-runtime");
    for (int trial = 0; trial < 3; ++trial) {
        REQUIRE_PRIVATE_X_SERVER(server);
        ChildProcess talvex(server.name(), config);
        talvex.setEnvironmentValue(QStringLiteral("XDG_RUNTIME_DIR"),
                                   QString::fromStdString(runtime));
        talvex.start(test::talvexProgram());
        const QString maps = QStringLiteral("/proc/%1/maps").arg(talvex.pid());
        const auto settingUpGL = [&] {
            QFile file(maps);
            const QByteArray mapped = file.open(QIODevice::ReadOnly) ? file.readAll() : "";
            return mapped.contains("_dri.so") || mapped.contains("libgallium");
        };
        if (!waitUntil([&] { return settingUpGL() || !talvex.running(); }, launchTimeoutMs) ||
            !talvex.running()) {
            GTEST_SKIP() << "no GL driver loaded: " << describe(talvex);
        }
        server.kill();
        ASSERT_TRUE(talvex.waitForExit(launchTimeoutMs)) << "still running after its server died";
        EXPECT_FALSE(talvex.crashed()) << "trial " << trial;
        EXPECT_EQ(talvex.exitCode(), 1) << describe(talvex);
        const QString farewell = talvex.output();
        EXPECT_EQ(farewell.count(QLatin1Char('\n')), 1) << farewell.toStdString();
    }
}

// Another user can write into the shared temporary folder, not into the user's own.
TEST(ShellProcess, TheInstanceLockLivesInThePrivateFolderWhereNoOneElseCanPlantIt) {
    REQUIRE_PRIVATE_X_SERVER(server);
    const auto config = test::makeTempDir("talvex-shell");
    const auto runtime = test::makeTempDir("talvex-runtime");
    QFile planted(
        QDir(QDir::tempPath())
            .filePath(QStringLiteral("talvex-%1-%2.lock").arg(getuid()).arg(server.name())));
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.write("not a lock of a running talvex\n");
    planted.close();

    ChildProcess talvex(server.name(), config);
    talvex.setEnvironmentValue(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
    talvex.start(test::talvexProgram());
    XClient x(server.name());
    EXPECT_NE(waitForPanel(x, talvex), 0u) << describe(talvex);
    planted.remove();
    EXPECT_TRUE(
        std::filesystem::exists(runtime / ("talvex-" + server.name().toStdString() + ".lock")));
}

// Where the server lacks shared memory and GL cannot draw, the lens says each once.
TEST(ShellProcess, WithoutSharedMemoryOrOpenGLTheLensSaysEachOnce) {
    if (!haveProgram("Xvfb"))
        GTEST_SKIP() << "no Xvfb";
    PrivateXServer server({QStringLiteral("-extension"), QStringLiteral("MIT-SHM")});
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start";
    const auto config = test::makeTempDir("talvex-shell");
    ChildProcess talvex(server.name(), config);
    talvex.setEnvironmentValue(QStringLiteral("LIBGL_DRIVERS_PATH"),
                               QStringLiteral("/nonexistent"));
    talvex.setEnvironmentValue(QStringLiteral("__GLX_VENDOR_LIBRARY_NAME"),
                               QStringLiteral("nonexistent"));
    talvex.start(test::talvexProgram());
    XClient x(server.name());
    ASSERT_NE(waitForPanel(x, talvex), 0u) << describe(talvex);
    QString said;
    const auto saidTwice = [&](const char* text) {
        said += talvex.output();
        return linesContaining(said, QString::fromLatin1(text)) > 1;
    };
    // Both complaints come with the first captures; a repeat would follow right after.
    waitUntil([&] {
        saidTwice("");
        return said.contains(QStringLiteral("MIT-SHM")) && said.contains(QStringLiteral("OpenGL"));
    });
    waitUntil([&] { return saidTwice("MIT-SHM") || saidTwice("OpenGL"); }, 1000);
    EXPECT_EQ(linesContaining(said, QStringLiteral("MIT-SHM")), 1) << said.toStdString();
    EXPECT_EQ(linesContaining(said, QStringLiteral("OpenGL")), 1) << said.toStdString();
}

// Ctrl+Alt+L works while another application has the keyboard: the panel goes, and
// comes back where it was with a picture of what lies beneath it now (never the one it
// showed before), and the other application keeps the keyboard throughout.
TEST(ShellProcess, UnderOpenboxCtrlAltLFromAnotherApplicationHidesThePanelAndBringsItBackFresh) {
    if (!haveProgram("openbox") || !haveProgram("xdotool"))
        GTEST_SKIP() << "needs openbox and xdotool";
    REQUIRE_PRIVATE_X_SERVER(server);
    ChildProcess openbox(server.name());
    if (!startOpenbox(openbox, server.name()))
        GTEST_SKIP() << "openbox did not start: " << openbox.output().toStdString();

    ChildProcess talvex(server.name(), test::makeTempDir("talvex-shell"));
    talvex.start(test::talvexProgram());
    XClient x(server.name());
    ASSERT_TRUE(x.isOpen());
    const std::uint64_t panel = waitForPanel(x, talvex);
    ASSERT_NE(panel, 0u) << describe(talvex);
    const QRect panelArea = x.rootGeometry(panel);
    const std::uint64_t other = x.createNormalWindow(panelArea.adjusted(-80, -80, 80, 80),
                                                     QStringLiteral("Another application"));
    // Asked again until it holds: a window manager still managing the new window, or the
    // panel's own first activation, may come in between.
    ASSERT_TRUE(waitUntil(
        [&] {
            if (x.hasInputFocus(other))
                return true;
            x.activate(other);
            return test::waitUntil([&] { return x.hasInputFocus(other); }, 200);
        },
        launchTimeoutMs));
    constexpr std::uint32_t white = 0xffffff, blue = 0x0000ff;
    const QPoint inPicture = panelArea.center() + QPoint(0, 20);
    ASSERT_TRUE(waitUntil([&] { return x.pixelAt(inPicture) == white; }, launchTimeoutMs))
        << std::hex << x.pixelAt(inPicture);

    pressKeys(server.name(), QStringLiteral("ctrl+alt+l"));
    ASSERT_TRUE(waitUntil([&] { return !x.isViewable(panel); })) << describe(talvex);
    x.fill(other, blue);
    EXPECT_TRUE(x.hasInputFocus(other));

    pressKeys(server.name(), QStringLiteral("ctrl+alt+l"));
    ASSERT_TRUE(waitUntil([&] { return x.isViewable(panel); })) << describe(talvex);
    bool staleSeen = false;
    EXPECT_TRUE(waitUntil([&] {
        const std::uint32_t pixel = x.pixelAt(inPicture);
        staleSeen = staleSeen || pixel == white;
        return pixel == blue;
    })) << std::hex
        << x.pixelAt(inPicture);
    EXPECT_FALSE(staleSeen) << "the picture from before the panel went showed again";
    EXPECT_EQ(x.rootGeometry(panel), panelArea) << describe(talvex);
    EXPECT_TRUE(x.hasInputFocus(other)) << "the panel took the keyboard";
}

TEST(ShellProcess, AShortcutKeyAnotherApplicationHoldsIsSaidOnceAndTheLensRunsOn) {
    REQUIRE_PRIVATE_X_SERVER(server);
    XClient x(server.name());
    ASSERT_TRUE(x.isOpen());
    x.grabCtrlAltL();
    ChildProcess talvex(server.name(), test::makeTempDir("talvex-shell"));
    talvex.start(test::talvexProgram());
    ASSERT_NE(waitForPanel(x, talvex), 0u) << describe(talvex);
    const QString inUse = QStringLiteral("in use by another application");
    QString said;
    waitUntil([&] {
        said += talvex.output();
        return said.contains(inUse);
    });
    EXPECT_EQ(linesContaining(said, inUse), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("Ctrl+Alt+L"))) << said.toStdString();
}

}  // namespace
}  // namespace talvex
